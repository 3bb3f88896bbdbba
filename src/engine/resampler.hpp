// The one place where the pulse stream becomes samples.
//
// Ordinary pulses and pauses are rounded each on its own (stored files and
// other tools expect exactly these counts). Recordings keep exact time: the
// part of a sample left over from one stretch carries on to the next, so a
// recording lasts as long as it should within a sample, at any rate. Samples are collected in a
// chunk and handed to the output whole; runs that span whole chunks go over
// as runs. A short pulse costs one fixed-size store into the chunk, and a
// whole data byte of short pulses one copy of its samples, made once per
// byte value while the level and the bit lengths stay the same (as they do
// for a whole data block). Chunks end where the output's chunk size divides
// the sample count (unless the output asks for its samples early), so an
// output can take them as they come, without copying them.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/output.hpp"
#include "engine/pulse.hpp"

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
  uint32_t carry_rate_ = 0;           // rate of the recording being played, 0 for none
  uint64_t carry_ = 0;                // its time past the last sample, in 1/(rate * output rate) s
  std::unique_ptr<ByteSamples> bytes_;
};

}  // namespace engine
