// The sound device layer: the one part of live output that knows the
// platform's sound interface. The ring and its callback logic (audio.cpp)
// call only these functions, so another platform's layer can replace it.
#pragma once

#include <string>

namespace sinks {

// What the logic needs to know of the device's stream.
struct DeviceFormat {
  double mSampleRate = 0.0;
  unsigned mFormatID = 0;          // kLinearPCM for linear PCM
  unsigned mFormatFlags = 0;       // bit 0: samples are floats
  unsigned mBytesPerFrame = 0;     // all channels of one frame
  unsigned mChannelsPerFrame = 0;  // floats per frame
};
constexpr unsigned kLinearPCM = 0x6C70636D;  // 'lpcm'
constexpr unsigned kFormatIsFloat = 1;

enum class DeviceStep { ok, default_device, buffer_size, stream_format };

// Opens the default output device, asking for `rate` and accepting the
// device's own. Fills the buffer size (bytes) and stream format. When it
// fails it says at which step and why. Opening an open device reports it again.
DeviceStep device_open(int rate, unsigned &bufferSize, DeviceFormat &format, std::string &why);
// Starts calling appIOProc on the device's thread. Returns false on failure.
bool device_start(std::string &why);
// Stops the callbacks. Returns false when the device was not running.
bool device_stop();
// Releases the device.
void device_close();

}  // namespace sinks
