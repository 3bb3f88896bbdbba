// Live output: the samples are played on the default sound device, through
// the ring that its callback drains.
#pragma once

#include <cstdio>

#include "engine/output.hpp"

namespace sinks {

class LiveOutput final : public engine::SampleOutput {
 public:
  // The sound system's messages go to `messages`.
  explicit LiveOutput(FILE *messages = stderr) : messages_(messages) {}

  // Opens the device (again, after a wait for a key: it keeps running) and
  // returns the rate it plays at. Fails when no sound output opens.
  int begin(int rate) override;
  void run(uint8_t value, uint64_t count) override;
  void samples(std::span<const uint8_t> s) override;
  // Plays what is queued to its end, then stops the device.
  void finish() override;
  void abandon() override;
  // The device is fed in small pieces, so that the sound keeps close to the
  // text on the screen.
  size_t chunk() const override { return 4096; }

 private:
  FILE *messages_;
};

}  // namespace sinks
