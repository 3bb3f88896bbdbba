// Live output's ring of float samples: filled by the main thread, drained by
// the sound device's callback thread, with no locks. The ring and its indices
// are the process's one shared state: the callback's thread needs them.
#pragma once

#include <atomic>
#include <cstdio>

namespace sinks {

constexpr unsigned kRingSize = 22050;

struct AudioRing {
  float ringbuf[kRingSize]{};
  std::atomic<unsigned> ringbuffer_read{0};   // written by the callback
  std::atomic<unsigned> ringbuffer_write{0};  // written by the producer (and the final drain)
  std::atomic<int> finishing{0};              // set by close_audio: drain to empty
  bool opened = false;                        // a device was opened in this run
  bool started = false;                       // and has been started
  float held = 0.0f;                          // callback only: the level an empty ring repeats
};
extern AudioRing audio;

// The float for a sample byte: (byte - 128) / 128.
inline float SampleToFloat(unsigned char b) { return static_cast<float>(static_cast<int>(b) - 128) * 0.0078125f; }

// Opens the default output device (it starts once samples come); stores its
// rate in *freq. Returns 0 on success, -1 on failure (the reason on `messages`).
int open_audio(int *freq, FILE *messages);
// Queues count samples; waits while the ring is full.
void play_buffer(const unsigned char *buf, size_t count);
// Queues count copies of one sample.
void play_run(unsigned char value, unsigned long long count);
// The device callback: fills `bytes` bytes of output frames. Never blocks.
int appIOProc(float *out, unsigned bytes);
// Drains the ring, stops the device, unregisters the callback.
void close_audio();
// Stops and releases the device at once, dropping what is queued.
void abandon_audio();
// Frames the callback fills for a buffer of `bytes` bytes.
unsigned FramesFor(unsigned bytes);
// The device's format as the layer reported it (tests set it directly).
struct DeviceFormat;
void SetDeviceFormat(const DeviceFormat &f, unsigned bufferSize);

}  // namespace sinks
