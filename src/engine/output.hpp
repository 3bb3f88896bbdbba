// Where samples go: a sound file or the sound device. The engine hands every
// output the same runs of 8-bit samples, one byte for each of its two levels,
// and never knows which one it feeds (nor what values the levels take there).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace engine {

class SampleOutput {
 public:
  virtual ~SampleOutput() = default;

  // Opens the output for samples at `rate` Hz and returns the rate it will
  // play them at (a sound device may impose its own).
  virtual int begin(int rate) = 0;
  // `count` samples of one value.
  virtual void run(uint8_t value, uint64_t count) = 0;
  // Ready-made samples, in order.
  virtual void samples(std::span<const uint8_t> s) = 0;
  // The run is complete (or cut short by an error, for a file): everything
  // handed over is written or played, and the output is closed.
  virtual void finish() = 0;
  // The run ends early: stop at once. A file keeps what it was given and is
  // finished as a valid sound file; the device drops what is queued.
  virtual void abandon() = 0;

  // Most samples the output can hold in all.
  virtual uint64_t capacity() const { return UINT64_MAX; }
  // Samples the engine collects before handing them over (the lag between
  // the text on the screen and the sound, for the device).
  virtual size_t chunk() const { return 256 * 1024; }
  // What the output holds before its first sample (a file's header), in
  // samples (its bytes over the bytes a sample): chunks end where these and
  // the samples before make a multiple of the chunk size.
  virtual size_t lead() const { return 0; }
};

}  // namespace engine
