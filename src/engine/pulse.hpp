// The pulse stream: what blocks become before any sample exists. Each item
// is a stretch of signal given in the unit the tape gives it; the resampler
// is the one place that turns items into samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace engine {

// The two output levels, as the sample bytes that carry them.
enum class Level : uint16_t { low = 16, high = 240 };  // not byte-typed: stores of it alias nothing else
constexpr Level Other(Level l) { return l == Level::low ? Level::high : Level::low; }

enum class Unit : uint16_t {
  tstates,   // `count` pulses of `length` T-states, the first at `level`, the level toggling after each
  bits,      // the first `count` bits of `byte`, most significant first, each two pulses of `length`
             // (a 0) or `one` (a 1) T-states, the first at `level`: a bit ends at the level it began
  millis,    // a pause of `length` milliseconds at `level`
  samples,   // `length` output samples at `level`
  sampled,   // a stretch of a recording at `level`: `length` samples of it at `count` Hz
};

struct Pulse {
  uint32_t length = 0;
  uint32_t count = 1;
  Unit unit = Unit::tstates;
  Level level = Level::low;
  uint16_t one = 0;
  uint16_t byte = 0;
  bool operator==(const Pulse &) const = default;
};

// Takes the stream in batches.
class PulseConsumer {
 public:
  virtual ~PulseConsumer() = default;
  virtual void take(std::span<const Pulse> pulses) = 0;
};

// How the durations of a tape become samples: with today's rule or in exact
// time, at the tape's own speed or faster or slower.
struct Timing {
  bool exact = false;  // each duration's left-over part of a sample carries on to the next
  int speed = 100;     // per cent of the tape's speed: every duration is divided by speed / 100
};

// Output samples per T-state at a rate, and the sample counts of durations
// under the per-pulse rule: each duration is rounded on its own. (Recordings,
// and everything with Timing::exact, keep exact time instead: see the
// resampler.)
class TimeBase {
 public:
  explicit TimeBase(int rate, Timing timing = {})
      : rate_(rate), timing_(timing), cycle_(rate / (35000.0 * timing.speed)) {}
  int rate() const { return rate_; }
  const Timing &timing() const { return timing_; }
  double cycle() const { return cycle_; }
  // n T-states: cycle * n + 0.5, truncated.
  uint32_t samples(uint32_t tstates) const { return Samples(cycle_, tstates); }
  static uint32_t Samples(double cycle, uint32_t tstates) { return static_cast<uint32_t>(cycle * tstates + 0.5); }
  // A pause: the product of milliseconds and rate in single precision, then
  // divided by 1000 (and by speed / 100) and truncated (65535 ms at 48000 Hz
  // is 3145679 samples).
  uint32_t pause_samples(uint32_t ms) const {
    float product = static_cast<float>(ms) * static_cast<float>(rate_);
    return static_cast<uint32_t>(static_cast<double>(product) / (10.0 * timing_.speed));
  }

 private:
  int rate_;
  Timing timing_;
  double cycle_;
};

// Where block players put their signal. It keeps the current level: a pulse
// plays at it and the level toggles at its end.
class PulseStream {
 public:
  PulseStream(PulseConsumer &to, const TimeBase &time) : to_(to), time_(time) {}
  PulseStream(const PulseStream &) = delete;
  PulseStream &operator=(const PulseStream &) = delete;

  Level level() const { return level_; }
  void set_level(Level l) { level_ = l; }
  const TimeBase &time() const { return time_; }

  // A pulse of t T-states at the current level; the level toggles after it.
  void pulse(uint32_t tstates) { pulses(tstates, 1); }
  // n such pulses.
  void pulses(uint32_t tstates, uint32_t n) {
    if (n == 0) return;
    push({tstates, n, Unit::tstates, level_});
    if (n & 1) level_ = Other(level_);
  }
  // A sync pulse: left out, edge and all, when it makes no sample of its own
  // (in exact time, only when it has no length).
  void sync(uint32_t tstates) {
    if (time_.timing().exact ? tstates != 0 : time_.samples(tstates) != 0) pulse(tstates);
  }
  // A square wave: two pulses of t T-states, ending at the level it began.
  void wave(uint32_t tstates) { pulses(tstates, 2); }
  // The first n bits of a data byte, most significant first, each two pulses
  // of `zero` or `one` T-states.
  void bits(uint8_t byte, uint32_t n, uint16_t zero, uint16_t one) {
    if (n != 0) push({zero, n, Unit::bits, level_, one, byte});
  }
  // A pause of ms milliseconds at the current level.
  void pause(uint32_t ms) { push({ms, 1, Unit::millis, level_}); }
  // n output samples at the current level.
  void hold(uint32_t samples) { push({samples, 1, Unit::samples, level_}); }
  // A stretch of a recording: n samples at `rate` Hz at a level, which stays
  // the current one. Stretches of one level in a row are one item.
  void sampled(uint32_t n, uint32_t rate, Level l) {
    level_ = l;
    if (n_ != 0) {
      Pulse &last = buf_[n_ - 1];
      if (last.unit == Unit::sampled && last.count == rate && last.level == l && last.length <= UINT32_MAX - n) {
        last.length += n;
        return;
      }
    }
    push({n, rate, Unit::sampled, l});
  }

  // Hands everything on.
  void flush() {
    const size_t n = n_;
    n_ = 0;  // handed on even when the consumer fails on them
    if (n != 0) to_.take(std::span<const Pulse>(buf_, n));
  }
  // Forgets what was not handed on.
  void drop() { n_ = 0; }

 private:
  void push(const Pulse &p) {
    buf_[n_++] = p;
    if (n_ == kBatch) flush();
  }

  static constexpr size_t kBatch = 1024;
  PulseConsumer &to_;
  const TimeBase &time_;
  Level level_ = Level::low;
  size_t n_ = 0;
  Pulse buf_[kBatch];
};

}  // namespace engine
