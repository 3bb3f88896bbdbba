// The line input: the one part of recording that knows the system's sound
// interface. One file per system implements it, beside the sound output
// (SDL2's capture, WinMM's waveIn, none); the input above it only takes the
// frames the device hands over.
#pragma once

#include <memory>
#include <string>

#include "sinks/device.hpp"

namespace sinks {

// Takes the frames the device has recorded, on the device's own thread. It
// must never block.
class CaptureFeed {
 public:
  virtual void take(const float *frames, unsigned count, unsigned channels) = 0;

 protected:
  ~CaptureFeed() = default;
};

class CaptureDevice {
 public:
  virtual ~CaptureDevice() = default;
  // Opens the default input device, asking for `rate` and two channels and
  // accepting what the device has (frames of 32-bit floats, interleaved).
  // When it fails it says why.
  virtual bool open(int rate, CaptureFeed &feed, DeviceSpec &format, std::string &why) = 0;
  // The device starts handing over frames.
  virtual bool start(std::string &why) = 0;
  // No more calls of the feed once this returns.
  virtual void stop() = 0;
  virtual void close() = 0;
};

// The default input device of this build.
std::unique_ptr<CaptureDevice> DefaultCaptureDevice();

}  // namespace sinks
