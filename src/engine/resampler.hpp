// The one place where the pulse stream becomes samples.
//
// Two policies, chosen by the time base's Timing. By the per-pulse rule
// ordinary pulses and pauses are rounded each on its own (stored files and
// other tools expect exactly these counts), and only recordings keep exact
// time: the part of a sample left over from one stretch carries on to the
// next, so a recording lasts as long as it should within a sample, at any
// rate. In exact time everything carries so, on one clock, and every edge
// falls on the sample nearest to it. Samples are collected in a chunk and
// handed to the output whole; runs that span whole chunks go over as runs. A
// short pulse costs one fixed-size store into the chunk. A whole data byte of
// short pulses costs one copy of its samples, made once per byte value while
// the level and the bit lengths stay the same (as they do for a whole data
// block); in exact time its pulses may each be a sample longer, as the carry
// falls, and it costs 16 stores whose places a table per byte value gives,
// none waiting for another. Chunks end where the output's chunk size divides
// the sample count (unless the output asks for its samples early), so an
// output can take them as they come, without copying them.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/output.hpp"
#include "engine/pulse.hpp"
#include "format/ids.hpp"

namespace engine {

class Resampler final : public PulseConsumer {
 public:
  Resampler(SampleOutput &out, const TimeBase &time);
  ~Resampler() override;

  void take(std::span<const Pulse> pulses) override;
  // Hands the collected samples to the output.
  void flush();
  // Forgets them.
  void drop() { pos_ = 0; }

 private:
  struct ByteSamples;
  // The samples of a whole data byte of 8 bits whose bits are n0 or n1
  // samples a pulse (at most 32), starting at `level`; returns their number.
  const uint8_t *byte_samples(Level level, uint32_t n0, uint32_t n1, uint8_t byte, size_t &len);
  // The 16 pulses of a data byte in exact time, bits of t0 or t1 T-states
  // each, short ones (else null): where the k-th pulse ends, from the byte's
  // start, is end[k] samples, one more when the units carried into the byte
  // are `at[k]` or more.
  struct ExactByte {
    uint32_t at[16];
    uint16_t end[16];
  };
  struct ExactBytes;
  const ExactByte *exact_byte(uint32_t t0, uint32_t t1, uint8_t byte);
  // Any run: fills the chunk, hands it over when full, and checks the
  // output's capacity.
  void emit(uint8_t value, uint64_t n);
  void hand_over();

  static constexpr size_t kShort = 32;  // pulses up to this long take the short way
  static constexpr size_t kByte = 16 * kShort;  // the samples of a byte of short pulses
  SampleOutput &out_;
  const TimeBase &time_;
  std::unique_ptr<uint8_t[]> chunk_;
  size_t size_ = 0;  // the output's chunk size
  size_t end_ = 0;   // samples the chunk takes before it is handed over
  size_t pos_ = 0;
  uint64_t handed_ = 0;  // samples handed over
  uint64_t capacity_ = 0, left_ = 0;  // of the output, all in all and still free
  // The per-pulse rule: the recording being played (its rate, 0 for none) and
  // its time past the last sample, in 1/(its rate * output rate * speed / 100) s.
  uint32_t carry_rate_ = 0;
  uint64_t carry_ = 0;
  // Exact time: per_ units make a T-state, or a sample of a recording; tden_
  // units make an output sample when T-states play, den_ while anything plays
  // (a recording's rate * speed); rem_ is how far past the last sample the
  // signal has come, in units (it starts at half a sample: each edge falls
  // on the sample nearest to it).
  const uint64_t per_ = uint64_t(time_.rate()) * 100;
  const uint64_t tden_ = uint64_t(format::kTstatesPerSecond) * time_.timing().speed;
  uint64_t den_ = tden_, rem_ = tden_ / 2;
  std::unique_ptr<ExactBytes> exact_;
  std::unique_ptr<ByteSamples> bytes_;
};

}  // namespace engine
