// Sound to edges: the moments a recording's square wave changes level, as
// the lengths of the pulses between them, in samples.
//
// What it must read: a computer's output straight into a sound card, which
// the coupling capacitor differentiates (each edge leaps to a peak, may ring
// once, and sags back towards zero before the next), with peaks of one
// polarity higher than the other's; and a cassette deck's sound, rounded by
// treble loss, with hiss, DC offset, level changes and dropouts. So an edge
// is found by a band around a baseline that follows the sound's centre
// slowly (hiss and rings inside the band make none), the band on each side
// scaled to that side's recent peaks; and it is placed in the steep part of
// the change that crossed the band, halfway between where the steep part
// began and where it ended, never where a slow sag crossed some middle line.
//
// The sound is first smoothed against hiss (a binomial filter, as long as
// the rate asks for a cut-off near 9 kHz), a block at a time.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace decode {

class EdgeStage {
 public:
  explicit EdgeStage(int rate);

  // Feeds samples; each pulse ended is added to `pulses`, a few samples
  // after its closing edge (the steep part must end first).
  void run(const float *s, size_t n, std::vector<double> &pulses);
  // The edge waiting to be placed, placed now with the samples there are.
  void flush(std::vector<double> &pulses);
  // Up to n more samples of the one fed last, taken as run() would take
  // them but a chunk at a time, and once the baseline and the peaks no
  // longer move, all at once. Takes none until the sound has settled (no
  // edge waiting, the smoothing's output level), and stops where the sound
  // would cross the band; returns how many it took.
  uint64_t rest(uint64_t n);

  uint64_t at() const { return at_; }  // samples seen
  // Samples since the last pulse handed over ended with no edge after it:
  // of an edge found but not yet placed, up to where the band was crossed.
  double quiet() const {
    return std::max(0.0, (pending_ ? static_cast<double>(pending_at_) : static_cast<double>(at_)) - last_);
  }

 private:
  static constexpr size_t kBlock = 4096;  // samples smoothed at a time
  static constexpr size_t kKept = 128;    // smoothed samples kept from the block before
  static constexpr unsigned kChunk = 64;  // samples between updates of the baseline and the band
  static constexpr unsigned kSettle = 4;  // samples after a crossing that the band is set again
  static constexpr unsigned kLook = 48;   // samples after the band was crossed that an edge is placed at the latest

  void block(const float *s, size_t n, std::vector<double> &pulses);
  // The band was crossed at sample `now`, going up or down (`dir`).
  void crossed(uint64_t now, int dir, float v);
  void chunk_ended(float sum);  // the baseline and the peaks move on
  void band();                  // the band from them
  bool beyond() const;
  double place();               // the pending edge's pulse: its time less the last edge's

  static constexpr float kBand = 0.3f;    // of a side's peak above the baseline: the band on that side
  static constexpr float kFloor = 0.12f;  // of the louder sound of the last seconds: the least band
  static constexpr float kMargin = 0.25f; // of the span between the peaks: how far inside them the baseline stays

  const unsigned passes_;              // of the binomial filter
  const float follow_, fade_, slow_;  // a chunk's share of the baseline's move, the peaks' and the loud sound's fade
  std::vector<float> y_;        // the smoothed sound: the samples kept, then the block
  int64_t origin_;              // the sample y_[0] is
  size_t filled_ = kBlock;      // samples of the last block
  std::vector<float> carry_;    // each pair of passes' last two inputs
  std::vector<float> scratch_;  // a block between passes
  float ext_ = 0, sum_ = 0;     // the half-cycle's extreme; the chunk's sum so far
  float base_ = 0, hi_ = 0, lo_ = 0, loud_ = 0;
  float upper_ = 1e-4f, lower_ = -1e-4f;  // the band's edges
  int state_ = 0;                          // 1 above the band, -1 below, 0 not yet either
  bool pending_ = false;
  uint64_t pending_at_ = 0, settle_ = 0;
  double last_ = 0;
  uint64_t at_ = 0;
};

}  // namespace decode
