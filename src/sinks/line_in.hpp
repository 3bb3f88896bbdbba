// The line input, live: the device's thread hands over what it has recorded
// into a ring, and the run's own thread reads it from there as from a sound
// file, a channel a plane. The ring holds a few seconds: a slow moment of
// the reader (a full disk, a busy machine) loses nothing; a longer one loses
// the oldest frames and counts them.
#pragma once

#include <atomic>
#include <cstdio>
#include <memory>
#include <semaphore>

#include "sinks/capture.hpp"

namespace sinks {

class LineInput final : private CaptureFeed {
 public:
  explicit LineInput(std::unique_ptr<CaptureDevice> device = DefaultCaptureDevice(), FILE *messages = stderr);
  ~LineInput();
  LineInput(const LineInput &) = delete;
  LineInput &operator=(const LineInput &) = delete;

  // Opens the default input at `rate` (or the device's own, which it
  // returns) and starts recording. Fails when no input opens, after a line
  // on `messages` that says why.
  int begin(int rate);
  int rate() const { return format_.rate; }
  // The channels the device records: 1 or 2 (of more, the first two).
  int channels() const { return format_.channels < 2 ? 1 : 2; }

  // Up to n frames recorded and not read yet: the first channel into `a`,
  // the second into `b` (a copy of the first when there is one). Waits at
  // most `ms` milliseconds for the first; 0 when none came.
  size_t read(float *a, float *b, size_t n, int ms);
  // Frames lost because the reader fell behind by more than the ring holds.
  uint64_t lost() const { return lost_.load(std::memory_order_relaxed); }
  // Stops recording and closes the device.
  void finish();

 private:
  void take(const float *frames, unsigned count, unsigned channels) override;

  std::unique_ptr<CaptureDevice> device_;
  FILE *messages_;
  DeviceSpec format_;
  bool open_ = false;
  // Two floats a frame; the device writes at written_, the reader reads at read_.
  std::unique_ptr<float[]> ring_;
  uint64_t frames_ = 0;                  // the ring's length in frames
  std::atomic<uint64_t> written_{0};     // by the device's thread
  std::atomic<uint64_t> read_{0};        // by the reader
  std::atomic<uint64_t> lost_{0};
  std::counting_semaphore<> recorded_{0};
  std::atomic<bool> waiting_{false};
};

}  // namespace sinks
