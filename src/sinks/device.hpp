// The sound device: the one part of live output that knows the system's sound
// interface. One file per system implements it (SDL2 where there is SDL2, a
// build without sound output elsewhere); the player above it only queues
// samples and fills the frames the device asks for.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

namespace sinks {

// Where opening the device failed; each step has its own message.
enum class DeviceStep { ok, default_device, buffer_size, stream_format };

// What the device plays: its rate, its channels (every frame holds one float
// per channel, interleaved) and the frames it asks for at a time.
struct DeviceSpec {
  int rate = 0;
  unsigned channels = 0;
  unsigned period = 0;  // frames a call of fill() asks for, at most
  int bits = 32;        // what the device is given: 32-bit floats, or 16-bit signed samples
};

// Fills frames for the device, on the device's own thread. It must never block.
class DeviceFeed {
 public:
  virtual void fill(float *out, unsigned frames, unsigned channels) = 0;

 protected:
  ~DeviceFeed() = default;
};

class SoundDevice {
 public:
  virtual ~SoundDevice() = default;
  // Opens the default output device, asking for `rate` and accepting the
  // device's own, for samples of `bits` bits (32: floats; 16: signed 16-bit
  // samples, which the device makes of the feed's floats, full scale being
  // 32768); the feed fills its frames once it is started. When it fails it
  // says at which step and why.
  virtual DeviceStep open(int rate, int bits, DeviceFeed &feed, DeviceSpec &format, std::string &why) = 0;
  // The device starts (or goes on) asking for frames.
  virtual bool start(std::string &why) = 0;
  // No more calls of the feed once this returns.
  virtual void stop() = 0;
  virtual void close() = 0;
};

// A float sample as a signed 16-bit one: times 32768, rounded, within range.
inline int16_t Sample16(float f) {
  const long v = std::lround(f * 32768.0f);
  return static_cast<int16_t>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
}

// The default sound device of this build.
std::unique_ptr<SoundDevice> DefaultSoundDevice();

}  // namespace sinks
