// Tapes of two tones (Acorn's machines, the MSX): every bit is whole cycles,
// a 0 one cycle of the low tone and a 1 two cycles of the high tone at twice
// its frequency (at Acorn's 300 baud four and eight); bytes are framed by a
// 0 start bit and 1 stop bits; blocks follow a run of the high tone (a
// carrier, a leader). The pulses (half cycles) are split into those runs and
// the stretches between them, silence apart; a stretch is sliced into bit
// cells on its own edges, and the cells framed into bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace decode::twotone {

struct Cell {
  uint8_t bit = 0;
  bool resync = false;  // the cells before it lost their step: it begins again at a start bit
  uint32_t at = 0;      // the index of its first half cycle
};

// One way of slicing a stretch into cells.
struct Slicing {
  double high = 0;  // the high tone's half cycle, samples
  int waves = 1;    // cycles of the low tone in a 0 bit: 1, or 4 at Acorn's 300 baud
  double start = 1.25;  // of `high`: the least half cycle that begins a start bit
};

// The cells of a stretch of half cycles. Each cell begins at an edge (every
// bit is whole cycles): the one of 2 x waves half cycles or of 4 x waves
// whose length is the nearer to a bit's, so that uneven halves (a deck's,
// or a skewed duty cycle) cancel out in the sum. Slicing begins, and begins
// again where a cell fits neither, at a half cycle of the low tone.
std::vector<Cell> Slice(std::span<const float> halves, const Slicing &s);

// The high tone's half cycle in a stretch of both tones: the shorter of two
// means, from a first guess.
double HighHalf(std::span<const float> halves, double guess);

// The share of half cycles that are of either tone (hiss makes them of
// any length).
double InTones(std::span<const float> halves, double high);

struct Framing {
  uint8_t bits = 8;
  uint8_t parity = 0;  // 0 none, 1 even, 2 odd
  uint8_t stop = 1;
};

// Bytes framed from cells: each after its start bit, its data bits least
// significant first. A byte whose parity or stop bits are wrong is taken as
// it is and counted an error (as a machine's serial line reads it); one cut
// by a loss of step is lost, and counted. 1 bits between bytes are idle.
struct Framed {
  std::vector<uint8_t> bytes;
  std::vector<uint32_t> first;  // each byte's start cell
  std::vector<uint8_t> error;   // 1: that byte was misframed
  size_t errors = 0;            // misframed and lost bytes
  size_t end = 0;               // cells up to the end of the last byte's stop bits
};
Framed Frame(const std::vector<Cell> &cells, const Framing &f);

// Splits pulses into runs of a tone, the stretches between them and silence.
class Splitter {
 public:
  struct Tone {
    double lo = 0, hi = 0;  // the tone's half cycle may lie in this range, samples
    size_t halves = 0;      // half cycles of it that make a run
    size_t tail = 0;        // of them, those a stretch before it keeps (the 1 bits its last byte may end with)
  };
  Splitter(Tone tone, double silence) : tone_(tone), silence_(silence) {}
  virtual ~Splitter() = default;

  void pulse(double p);
  void idle(double quiet);
  void finish(double last);

 protected:
  // A run of the tone: its half cycles, their mean, where it began and ended (samples).
  virtual void tone(size_t halves, double mean, double start, double end) = 0;
  // The half cycles between runs, with a few of the run before and after
  // (for the bits that begin and end there).
  struct Stretch {
    std::vector<float> halves;
    double start = 0;   // where the first began, samples
    double before = 0;  // the mean half cycle of the run before; 0 when silence came before
    size_t lead = 0, tail = 0;  // half cycles of the run before and of the run after
  };
  virtual void stretch(Stretch s) = 0;
  // No edge from `start` for `length` samples.
  virtual void silence(double start, double length) = 0;

  bool in_tone() const { return run_ >= tone_.halves; }
  size_t stretch_halves() const { return data_.size(); }

 private:
  static constexpr size_t kLead = 8;         // half cycles of the run before a stretch that it keeps
  static constexpr size_t kMaxData = 4 << 20;  // half cycles of a stretch at most

  void close();  // a run or a stretch under way ends
  void flush(size_t n, size_t tail);

  const Tone tone_;
  const double silence_;
  double now_ = 0;  // samples: the last edge
  size_t run_ = 0;
  double run_sum_ = 0, run_start_ = 0, before_ = 0;
  std::vector<float> data_;
  double data_start_ = 0;
  size_t lead_in_ = 0;  // half cycles of data_ that are the run's before it
  float lead_[kLead] = {};
  size_t leads_ = 0;  // half cycles in lead_, the last at (leads_ - 1) % kLead
  bool closed_ = true;
};

}  // namespace decode::twotone
