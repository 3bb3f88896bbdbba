#include "front/recording_line.hpp"

#include <algorithm>
#include <cmath>

#include "decode/recording.hpp"
#include "format/failure.hpp"

namespace front {

using format::strprintf;

namespace {

constexpr float kClip = 0.99f;    // a peak this high is clipping
constexpr double kQuietDb = -30;  // a peak below this ...
constexpr double kQuietFor = 2;   // ... for this long (seconds) is too quiet

double Db(float peak) { return peak > 1e-5f ? 20 * std::log10(peak) : -100; }

}  // namespace

void Meter::add(const float *s, size_t n, double seconds_each) {
  for (size_t i = 0; i < n; i++) {
    peak = std::max(peak, std::fabs(s[i]));
    if (++in_window < window) continue;
    shown = peak, clipping = peak >= kClip;
    quiet_for = Db(peak) < kQuietDb ? quiet_for + static_cast<double>(window) * seconds_each : 0;
    peak = 0, in_window = 0;
  }
}

std::string RecordingLine(double seconds, bool paused, const Meter &meter, const decode::Decoder *chosen, int number,
                          int good, int bad) {
  const double db = Db(meter.shown);
  const int filled = static_cast<int>(std::clamp((db + 60) / 60 * 16, 0.0, 16.0));
  std::string line = strprintf("REC %s  %s%4.0f dB [%s%s]", decode::Clock(seconds).c_str(), paused ? "paused  " : "", db,
                               std::string(static_cast<size_t>(filled), '#').c_str(),
                               std::string(static_cast<size_t>(16 - filled), '-').c_str());
  if (chosen) {
    const decode::Underway u = chosen->underway();
    if (u.pilot) line += strprintf("  block %d: pilot", number + 1);
    else if (u.bytes > 0) line += strprintf("  block %d: %llu bytes", number + 1, static_cast<unsigned long long>(u.bytes));
  }
  line += strprintf("  %d good, %d bad", good, bad);
  if (meter.clipping) line += "  CLIPPING: turn it down";
  else if (meter.quiet_for >= kQuietFor) line += "  too quiet: turn it up";
  return line;
}

}  // namespace front
