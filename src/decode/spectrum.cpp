// The ZX Spectrum's and the Amstrad CPC's blocks: a pilot tone, sync pulses,
// then bits decided on whole cycles against centres that follow the tape's
// speed; a block is handed over once its pause is known (the next block
// begins, or the recording ends), as one TZX block. What is no block is
// kept as it sounds, as a CSW recording block.
#include "decode/spectrum.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

#include "format/ids.hpp"

namespace decode {

namespace {

constexpr double kTstates = format::kTstatesPerSecond;
constexpr size_t kMinPilot = 200;        // pulses of a tone before it counts as a pilot
constexpr size_t kMinJunk = 64;          // pulses of an unknown stretch worth keeping
constexpr double kSilence = 0.02;        // s: a pulse this long is silence
constexpr size_t kMaxPulses = 8u << 20;  // pulses of a block at most (a little over 64 KiB of bits)
constexpr unsigned kGlitches = 16;       // dropouts a pilot may have

uint16_t clip16(double v) { return static_cast<uint16_t>(std::lround(std::clamp(v, 0.0, 65535.0))); }

// A timing within `tolerance` (a fraction) of the nominal one.
bool near(double v, double nominal, double tolerance) { return std::fabs(v - nominal) <= tolerance * nominal; }

// One way of deciding the bits of a block from its pulses.
struct Decision {
  size_t first = 2;        // pulses before the first bit (the sync pulses)
  double follow = 0.03;    // how fast the centres follow the tape's speed
  int half = -1;           // -1: a bit by its whole cycle; 0 or 1: by that half alone
  bool lone = false;       // the first bit lost its first pulse to the sync: it is its second alone
};
constexpr Decision kDecisions[] = {{2, 0.03, -1}, {2, 0, -1},    {2, 0.15, -1},       {2, 0.03, 0},
                                   {2, 0.03, 1},  {1, 0.03, -1}, {1, 0.03, -1, true}, {3, 0.03, -1}};

struct Bits {
  std::vector<uint8_t> bytes;
  unsigned last_bits = 8;
  double bit0 = 0, bit1 = 0;  // mean pulse of each, T-states
  size_t used = 0;            // pulses that made the sync and the bits
  size_t tail = 0;            // 1: the last bit is its first pulse alone
  size_t unsure = 0;          // bits whose cycle lay near the middle between a 0's and a 1's
};

// The centres of the cycle lengths of 0 and 1 bits: the 10th and 90th
// percentile, refined by a few rounds of two-means; a block of one kind of
// bit only is told by the cycle against its pilot.
void Centres(const std::vector<float> &cycles, double pilot, double &c0, double &c1) {
  std::vector<float> s(cycles);
  auto at = [&s](double q) {
    auto it = s.begin() + static_cast<long>(q * static_cast<double>(s.size() - 1));
    std::nth_element(s.begin(), it, s.end());
    return static_cast<double>(*it);
  };
  const double lo = at(0.1), hi = at(0.9), mid = at(0.5);
  if (hi < 1.35 * lo) {
    if (mid > 1.2 * pilot) c1 = mid, c0 = mid / 2;
    else c0 = mid, c1 = 2 * mid;
    return;
  }
  c0 = lo, c1 = hi;
  for (int round = 0; round < 4; round++) {
    double sum[2] = {}, n[2] = {};
    const double thr = (c0 + c1) / 2;
    for (float v : cycles) sum[v > thr] += v, n[v > thr]++;
    if (n[0] > 0) c0 = sum[0] / n[0];
    if (n[1] > 0) c1 = sum[1] / n[1];
  }
}

Bits Decide(const std::vector<float> &data, double pilot, const Decision &d) {
  Bits b;
  // The pulses of the bits: a lone first one counts twice.
  std::vector<float> p(data.begin() + static_cast<long>(std::min(d.first, data.size())), data.end());
  if (d.lone && !p.empty()) p.insert(p.begin(), p[0]);
  size_t pairs = p.size() / 2;
  std::vector<float> cycles(pairs);
  for (size_t k = 0; k < pairs; k++) {
    const float a = p[2 * k], z = p[2 * k + 1];
    cycles[k] = d.half < 0 ? a + z : 2 * (d.half == 0 ? a : z);
  }
  if (pairs == 0) return b;
  double c0 = 0, c1 = 0;
  Centres(cycles, pilot, c0, c1);
  // The pause's first edge may follow the last bit: a cycle far longer than a 1 is none.
  while (pairs > 0 && cycles[pairs - 1] > 1.6 * c1) pairs--;
  double sum[2] = {}, n[2] = {};
  unsigned bit = 0;
  uint8_t byte = 0;
  for (size_t k = 0; k < pairs; k++) {
    const double v = cycles[k];
    const int one = v > (c0 + c1) / 2;
    b.unsure += std::fabs(v - (c0 + c1) / 2) < 0.15 * (c1 - c0);
    sum[one] += p[2 * k] + p[2 * k + 1], n[one] += 2;
    const double f = std::clamp(v / (one ? c1 : c0), 0.8, 1.25);
    c0 *= 1 + d.follow * (f - 1), c1 *= 1 + d.follow * (f - 1);
    byte = static_cast<uint8_t>(byte << 1 | one);
    if (++bit == 8) b.bytes.push_back(byte), bit = 0, byte = 0;
  }
  // The recording may end before the last bit's closing edge: that bit by
  // its first pulse alone, when it is the last of a byte.
  if (bit == 7 && p.size() % 2 == 1 && pairs == p.size() / 2 && d.half < 0) {
    const float v = 2 * p.back();
    if (v < 1.6 * c1) byte = static_cast<uint8_t>(byte << 1 | (v > (c0 + c1) / 2)), bit = 0, b.bytes.push_back(byte), b.tail = 1;
  }
  if (bit > 0) b.bytes.push_back(static_cast<uint8_t>(byte << (8 - bit))), b.last_bits = bit;
  b.bit0 = n[0] > 0 ? sum[0] / n[0] : (n[1] > 0 ? sum[1] / n[1] / 2 : 0);
  b.bit1 = n[1] > 0 ? sum[1] / n[1] : 2 * b.bit0;
  b.used = d.first + 2 * pairs - (d.lone && pairs > 0) + b.tail;
  return b;
}

// Where the pilot of a block that follows at once begins among a block's
// pulses (their number when none does): 256 or more pulses of one length,
// which the bits before them hardly have, and a shorter sync pulse after.
size_t NextPilot(const std::vector<float> &d) {
  size_t j = 2;
  double sum = d.size() > 2 ? d[2] : 0;
  for (size_t i = 3; i < d.size(); i++) {
    const double mean = sum / static_cast<double>(i - j);
    if (std::fabs(d[i] - mean) <= 0.15 * mean) {
      sum += d[i];
      continue;
    }
    if (i - j >= 256 && d[i] < 0.85 * mean && j > 18) {
      size_t like = 0;
      for (size_t k = 2; k < j; k++) like += std::fabs(d[k] - mean) <= 0.12 * mean;
      if (like * 20 < j) return j;
    }
    j = i, sum = d[i];
  }
  return d.size();
}

// Whether the pulses after a block's first one are more of its pilot: a
// sync is followed by a second one and by bits, whose pulses are off the
// pilot's length (a ROM block's 1 by a fifth), not by a pilot's worth.
bool PilotGoesOn(const std::vector<float> &d, double pilot) {
  constexpr size_t kLook = 64;
  if (d.size() <= kLook + 2) return false;
  size_t like = 0;
  for (size_t i = 1; i <= kLook + 2; i++) like += near(d[i], pilot, 0.12);
  return like >= kLook;
}

}  // namespace

bool XorGood(format::Bytes data) {
  uint8_t x = 0;
  for (uint8_t c : data) x ^= c;
  return data.size() >= 2 && x == 0;
}

uint16_t CpcCrc(format::Bytes segment) {
  uint16_t crc = 0xFFFF;
  for (uint8_t c : segment) {
    crc ^= static_cast<uint16_t>(c << 8);
    for (int i = 0; i < 8; i++) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return static_cast<uint16_t>(~crc);
}

bool CpcGood(format::Bytes data) {
  if (data.size() < 1 + 258) return false;
  const size_t segments = (data.size() - 1) / 258;
  if (data.size() - 1 - 258 * segments > 5) return false;  // at most the trailer after the last
  for (size_t s = 0; s < segments; s++) {
    const format::Bytes seg = data.subspan(1 + 258 * s, 256);
    if (CpcCrc(seg) != (data[1 + 258 * s + 256] << 8 | data[1 + 258 * s + 257])) return false;
  }
  return true;
}

namespace {

class SpectrumFamily : public Family {
 public:
  explicit SpectrumFamily(int rate) : rate(rate), tps(kTstates / rate) {}

  void pulse(double samples) override { step(samples); }
  void idle(double quiet) override {
    if (in_data && quiet * tps > end_limit) end_data();
  }
  void finish(double last) override {
    step(last);
    while (in_data) end_data();
    silence();
    resolve(now);
  }
  std::vector<Found> take() override {
    std::vector<Found> f;
    f.swap(out);
    return f;
  }
  std::optional<Found> waiting(double quiet) const override {
    if (!pending) return std::nullopt;
    return encoded(now + quiet);
  }
  Underway underway() const override {
    if (in_data) return {false, data.size() / 16};
    return {run.size() >= kMinPilot, 0};
  }

 private:

  // A block found, waiting for its pause.
  struct Pending {
    Found found;
    bool raw = false;
    format::TurboData timing;
    bool standard = false;
    std::vector<uint8_t> bytes;
    std::vector<uint32_t> samples;  // a raw block's pulses
    double end = 0;                 // samples: its last edge
  };

  void step(double samples) {
    const double t = samples * tps, start = now;
    now += samples;
    if (in_data) {
      if (t <= end_limit && data.size() < kMaxPulses) return data.push_back(static_cast<float>(t));
      while (in_data) end_data();  // and a block found in its pulses
    }
    if (samples > kSilence * rate) return silence();
    tone(t, start);
  }

  // A pulse while no block's data is under way: of the tone being heard, or not.
  void tone(double t, double start) {
    if (run.empty()) return begin_run(t, start);
    const double avg = run_sum / static_cast<double>(run_n);
    if (odd > 0) {
      const double first = odd;
      odd = 0;
      // Two pulses off the tone's length that make one cycle of it: a cycle
      // of skewed duty (as the first ones of a tone can be), or one a
      // dropout or a spike pulled apart. The tone goes on.
      if (near(first + t, 2 * avg, 0.15) && run.size() + 2 <= kMaxPulses) {
        run.push_back(static_cast<float>(first)), run.push_back(static_cast<float>(t));
        run_sum += first + t, run_n += 2;
        return;
      }
      // A shorter pulse after a pilot, and no cycle of it: the sync.
      if (run_n >= kMinPilot && first < 0.85 * avg) {
        begin_data(first, odd_start, avg);
        return pulse_in_data(t);
      }
      // A long pulse in a pilot (a dropout): kept, and the pilot goes on.
      if (run_n >= kMinPilot && first > avg && glitches < kGlitches + run_n / 64) {
        run.push_back(static_cast<float>(first)), glitches++;
      } else {
        to_junk();
        begin_run(first, odd_start);
        return tone(t, start);
      }
    }
    if (std::fabs(t - avg) <= 0.3 * avg && run.size() < kMaxPulses) {
      run.push_back(static_cast<float>(t)), run_sum += t, run_n++;
      return;
    }
    odd = t, odd_start = start;  // decided by the next pulse
  }

  void begin_run(double t, double start) {
    run = {static_cast<float>(t)}, run_sum = t, run_n = 1, glitches = 0, run_start = start;
  }

  void pulse_in_data(double t) {
    if (t <= end_limit) return data.push_back(static_cast<float>(t));
    while (in_data) end_data();
    tone(t, now - t / tps);
  }

  void silence() {
    to_junk();
    end_junk();
  }

  void to_junk() {
    if (odd > 0) run.push_back(static_cast<float>(odd)), odd = 0;
    if (junk.empty() && !run.empty()) junk_start = run_start;
    junk.insert(junk.end(), run.begin(), run.end());
    run.clear(), run_sum = 0, run_n = 0;
  }

  // A block whose checksum holds but whose data stopped for a moment and
  // went on (a dropout cut it): what follows at once is more of its bits,
  // and the block is not the tape's. Its checksum held by chance.
  void cut_check() {
    if (!pending || pending->raw || pending->found.check != Check::good || junk.empty()) return;
    if (junk_start - pending->end > kSilence * rate) return;
    const double lo = 0.6 * pending->timing.bit0, hi = 1.4 * pending->timing.bit1;
    const size_t n = std::min<size_t>(junk.size(), 25);
    size_t like = 0;
    for (size_t i = 1; i < n; i++) like += junk[i] >= lo && junk[i] <= hi;
    if (n > 16 && like * 4 >= (n - 1) * 3) pending->found.check = Check::bad;
  }

  // A stretch that is no block: kept as it sounds when it is more than a few clicks.
  void end_junk() {
    cut_check();
    if (junk.size() >= kMinJunk) {
      resolve(junk_start);
      Pending p;
      p.raw = true;
      p.found.check = Check::sound;
      p.found.start = junk_start / rate;
      double acc = 0;
      uint64_t made = 0;
      for (float t : junk) {
        acc += t / tps;
        const uint64_t to = static_cast<uint64_t>(std::llround(acc));
        p.samples.push_back(static_cast<uint32_t>(std::max<uint64_t>(to - made, 1)));
        made = to > made ? to : made + 1;
      }
      p.end = junk_start + acc;
      pending = std::move(p);
    }
    junk.clear();
  }

  void begin_data(double t, double start, double avg) {
    pilot = avg, pilot_count = run_n + 1;
    // The pilot's first pulse joins the silence before it: the block begins a pulse earlier.
    block_start = run_start - avg / tps;
    end_junk();
    resolve(block_start);
    in_data = true;
    pilot_run.swap(run), pilot_sum = run_sum, pilot_n = run_n;
    run.clear(), run_sum = 0, run_n = 0;
    data = {static_cast<float>(t)};
    data_start = start;
    end_limit = 2.5 * avg;
  }

  void end_data() {
    in_data = false;
    // A block that runs into the next with no pause: the next one's pulses
    // are decoded on their own, from where its pilot begins.
    const size_t split = NextPilot(data);
    std::vector<float> rest(data.begin() + static_cast<long>(split), data.end());
    data.resize(split);
    double rest_at = data_start;
    for (float t : data) rest_at += t / tps;
    decide();
    if (rest.empty()) return;
    const double was = now;
    now = rest_at;
    for (float t : rest) step(t / tps);
    now = was;
  }

  void decide() {
    // A pulse cut short in a pilot (a dropout) looked like its sync: the
    // pilot goes on after it, and so does the tone being heard.
    if (glitches < kGlitches && PilotGoesOn(data, pilot)) return rejoin();
    Bits best;
    bool good = false, cpc = false, best_cpc = false;
    std::vector<float> cycles;
    for (const Decision &d : kDecisions) {
      Bits b = Decide(data, pilot, d);
      if (b.bytes.empty()) continue;
      // The Amstrad CPC's block: a pilot of 1 bits, a 0 bit as the sync.
      cpc = data.size() > 2 && near(pilot, b.bit1, 0.1) && near(data[0], b.bit0, 0.25) && near(data[1], b.bit0, 0.25);
      // A checksum that holds over bits that are no whole bytes holds by
      // chance: the bits are shifted (a sync pulse lost or one too many).
      // So does one over bits many of which could have been either: a block
      // read well has hardly any (one in a few thousand).
      good = b.last_bits == 8 && b.unsure * 256 <= 8 * b.bytes.size() + 256 && (cpc ? CpcGood(b.bytes) : XorGood(b.bytes));
      const bool first = best.bytes.empty();
      if (first || good) best = std::move(b), best_cpc = cpc;
      if (good) break;
    }
    // Not even a byte, or bits no loader writes (their two lengths not
    // about one and twice the other, or slower than 40 % of the ROM's, as
    // a tune's notes make them): a stretch of unknown sound.
    const double ratio = best.bit1 / std::max(best.bit0, 1.0);
    if (best.bytes.empty() || ratio < 1.4 || ratio > 3.2 || best.bit0 > 2.5 * format::rom::bit0) {
      run.assign(std::min<size_t>(pilot_count - 1, kMaxPulses), static_cast<float>(pilot));
      run_start = block_start + pilot / tps;
      to_junk();
      junk.insert(junk.end(), data.begin(), data.end());
      data.clear();
      return;
    }
    Pending p;
    p.found.start = block_start / rate;
    p.found.check = good ? Check::good : Check::bad;
    double used = 0;
    for (size_t i = 0; i < best.used && i < data.size(); i++) used += data[i];
    p.end = data_start + used / tps;
    format::TurboData &t = p.timing;
    t.pilot = clip16(pilot), t.pilot_pulses = clip16(static_cast<double>(pilot_count));
    t.sync1 = clip16(data[0]), t.sync2 = clip16(data.size() > 1 ? data[1] : 0);
    t.bit0 = clip16(best.bit0), t.bit1 = clip16(best.bit1), t.last_bits = static_cast<uint8_t>(best.last_bits);
    // Timings the ROM loader takes: a standard-speed block.
    p.standard = !best_cpc && best.last_bits == 8 && near(pilot, format::rom::pilot, 0.12) &&
                 near(best.bit0, format::rom::bit0, 0.12) && near(best.bit1, format::rom::bit1, 0.12) &&
                 near(t.sync1 + t.sync2, format::rom::sync1 + format::rom::sync2, 0.3);
    p.bytes = std::move(best.bytes);
    pending = std::move(p);
    data.clear();
  }

  // The pilot before the false sync is heard again, the false sync a
  // dropout in it, and the pulses after it go on from there.
  void rejoin() {
    std::vector<float> after;
    after.swap(data);
    run.swap(pilot_run), run_sum = pilot_sum, run_n = pilot_n, run_start = block_start + pilot / tps;
    run.push_back(after[0]), glitches++;
    const double was = now;
    now = data_start + after[0] / tps;
    for (size_t i = 1; i < after.size(); i++) step(after[i] / tps);
    now = was;
  }

  // The pending block with its pause lasting until `next` (samples).
  Found encoded(double next) const {
    const Pending &p = *pending;
    Found f = p.found;
    f.sure = f.check == Check::good;
    const uint16_t pause = clip16((next - p.end) / rate * 1000);
    if (p.raw) {
      f.block = format::EncodeCsw(pause, static_cast<uint32_t>(rate), p.samples);
    } else if (p.standard) {
      f.block = format::EncodeStandard(pause, p.bytes);
    } else {
      format::TurboData t = p.timing;
      t.pause = pause, t.data = p.bytes;
      f.block = format::EncodeTurbo(t);
    }
    return f;
  }

  // The pending block's pause lasts until `next` (samples); it is handed over.
  void resolve(double next) {
    if (!pending) return;
    out.push_back(encoded(next));
    pending.reset();
  }

  const int rate;
  const double tps;  // T-states a sample
  double now = 0;    // samples: the last edge
  std::vector<float> run;  // the tone being heard, T-states
  double run_sum = 0, run_start = 0;
  size_t run_n = 0;     // its pulses of the tone's length
  double odd = 0, odd_start = 0;  // a pulse off the tone's length, T-states: the next one decides what it is
  unsigned glitches = 0;  // and those that were not
  std::vector<float> junk;
  double junk_start = 0;
  bool in_data = false;
  std::vector<float> data;  // the block's pulses from its sync on
  double pilot = 0, block_start = 0, data_start = 0, end_limit = 0;
  size_t pilot_count = 0;
  std::vector<float> pilot_run;  // the pilot's pulses, while its block's data is under way
  double pilot_sum = 0;
  size_t pilot_n = 0;
  std::optional<Pending> pending;
  std::vector<Found> out;
};

}  // namespace

std::unique_ptr<Family> MakeSpectrum(int rate) { return std::make_unique<SpectrumFamily>(rate); }

format::Image SpectrumImage(const std::vector<Found> &blocks, std::vector<size_t> &offsets) {
  format::Image image = format::TzxHeader();
  for (const Found &f : blocks) offsets.push_back(image.size()), image.insert(image.end(), f.block.begin(), f.block.end());
  return image;
}

}  // namespace decode
