#include "sinks/ring.hpp"

#include <chrono>
#include <semaphore>
#include <string>

#include "format/failure.hpp"
#include "sinks/device.hpp"

namespace sinks {

AudioRing audio;

namespace {

unsigned deviceBufferSize = 0;
DeviceFormat deviceFormat;

// The highest device rate the program takes: one sample per T-state.
constexpr double kMaxRate = 3500000;

unsigned successor(unsigned i) { return i + 1 == kRingSize ? 0 : i + 1; }

// How long the producer waits for a device that takes no samples at all
// before it gives up: far above any real device's buffer time.
constexpr auto kStallLimit = std::chrono::seconds(10);

// The producer sleeps until the callback has taken samples: it says it waits,
// looks once more, and sleeps; the callback wakes it when it sees the word.
std::counting_semaphore<> taken(0);
std::atomic<bool> waiting{false};

void wait_for_device(bool (*done)()) {
  unsigned last = audio.ringbuffer_read.load(std::memory_order_acquire);
  auto since = std::chrono::steady_clock::now();
  while (!done()) {
    waiting.store(true);
    if (!done()) (void)taken.try_acquire_for(std::chrono::milliseconds(200));
    waiting.store(false);
    unsigned now = audio.ringbuffer_read.load(std::memory_order_acquire);
    if (now != last) {
      last = now;
      since = std::chrono::steady_clock::now();
    } else if (std::chrono::steady_clock::now() - since > kStallLimit) {
      throw format::Failure("The sound output stopped taking samples!");
    }
  }
}

bool ring_has_room() {
  return successor(audio.ringbuffer_write.load(std::memory_order_relaxed)) !=
         audio.ringbuffer_read.load(std::memory_order_acquire);
}

bool ring_empty() {
  return audio.ringbuffer_write.load(std::memory_order_acquire) ==
         audio.ringbuffer_read.load(std::memory_order_acquire);
}

FILE *device_messages = stderr;

// The device starts once it has samples to play (the first of them, or a full
// ring): so the sound never begins by running dry while the first samples are
// still being queued.
void start() {
  if (audio.started) return;
  std::string why;
  if (!device_start(why)) {
    std::fprintf(device_messages, "%s\n", why.c_str());
    throw format::Failure("No sound output could be opened! Use -voc or -au to write a sound file instead.");
  }
  audio.started = true;
}

void queue(float f) {
  unsigned w = audio.ringbuffer_write.load(std::memory_order_relaxed);
  audio.ringbuf[w] = f;
  // Publish the slot only after the sample is stored in it.
  audio.ringbuffer_write.store(successor(w), std::memory_order_release);
  if (!ring_has_room()) {
    start();
    wait_for_device(ring_has_room);
  }
}

}  // namespace

void SetDeviceFormat(const DeviceFormat &f, unsigned bufferSize) {
  deviceFormat = f;
  deviceBufferSize = bufferSize;
}

int open_audio(int *freq, FILE *messages) {
  if (!audio.opened) {
    // A fresh start: nothing queued, nothing to drain.
    audio.ringbuffer_read.store(0);
    audio.ringbuffer_write.store(0);
    audio.finishing.store(0);
    audio.held = 0.0f;
    audio.started = false;
  }
  device_messages = messages;
  std::string why;
  unsigned size = 0;
  DeviceFormat fmt;
  switch (device_open(*freq, size, fmt, why)) {
    case DeviceStep::ok: break;
    case DeviceStep::default_device:
      std::fprintf(messages, "get kAudioHardwarePropertyDefaultOutputDevice error %ld\n", -1L);
      std::fprintf(messages, "%s\n", why.c_str());
      return -1;
    case DeviceStep::buffer_size:
      std::fprintf(messages, "get kAudioDevicePropertyBufferSize error %ld\n", -1L);
      std::fprintf(messages, "%s\n", why.c_str());
      return -1;
    case DeviceStep::stream_format:
      std::fprintf(messages, "get kAudioDevicePropertyStreamFormat error %ld\n", -1L);
      std::fprintf(messages, "%s\n", why.c_str());
      return -1;
  }
  if (fmt.mFormatID != kLinearPCM) {
    std::fprintf(messages, "mFormatID !=  kAudioFormatLinearPCM\n");
    return -1;
  }
  if (!(fmt.mFormatFlags & kFormatIsFloat)) {
    std::fprintf(messages, "Sorry, currently only works with float format....\n");
    return -1;
  }
  SetDeviceFormat(fmt, size);
  if (!(fmt.mSampleRate >= 1.0 && fmt.mSampleRate <= kMaxRate)) {
    std::fprintf(messages, "get kAudioDevicePropertyStreamFormat error %ld\n", -1L);
    std::fprintf(messages, "the device runs at an unusable rate of %g Hz\n", fmt.mSampleRate);
    return -1;
  }
  *freq = static_cast<int>(fmt.mSampleRate);
  audio.opened = true;
  return 0;
}

void play_buffer(const unsigned char *buf, size_t count) {
  for (size_t i = 0; i < count; i++) queue(SampleToFloat(buf[i]));
  if (count != 0) start();
}

void play_run(unsigned char value, unsigned long long count) {
  const float f = SampleToFloat(value);
  for (unsigned long long i = 0; i < count; i++) queue(f);
  if (count != 0) start();
}

unsigned FramesFor(unsigned bytes) {
  unsigned per_frame = deviceFormat.mBytesPerFrame;
  if (per_frame == 0 || deviceFormat.mChannelsPerFrame == 0) return 0;
  // Never more frames than the buffer holds, whatever the frame size says.
  unsigned frames = bytes / per_frame;
  unsigned floats_fit = bytes / static_cast<unsigned>(sizeof(float));
  if (frames * deviceFormat.mChannelsPerFrame > floats_fit) frames = floats_fit / deviceFormat.mChannelsPerFrame;
  return frames;
}

int appIOProc(float *out, unsigned bytes) {
  const unsigned frames = FramesFor(bytes);
  const unsigned channels = deviceFormat.mChannelsPerFrame;
  unsigned r = audio.ringbuffer_read.load(std::memory_order_relaxed);
  unsigned w = audio.ringbuffer_write.load(std::memory_order_acquire);
  if (audio.finishing.load(std::memory_order_acquire) && successor(r) == w) {
    // The last sample of the run: count it as played, and hold it.
    audio.held = audio.ringbuf[r];
    audio.ringbuffer_write.store(r, std::memory_order_seq_cst);
    w = r;
  }
  for (unsigned f = 0; f < frames; f++) {
    if (r != w) audio.held = audio.ringbuf[r];
    for (unsigned c = 0; c < channels; c++) *out++ = audio.held;
    // The newest sample is consumed only once another follows it, so a
    // producer that falls behind leaves its level sounding.
    if (r == w || successor(r) == w) w = audio.ringbuffer_write.load(std::memory_order_acquire);
    if (r != w && successor(r) != w) {
      r = successor(r);
      audio.ringbuffer_read.store(r, std::memory_order_seq_cst);
    }
  }
  if (waiting.exchange(false)) taken.release();
  return 0;
}

void close_audio() {
  if (!audio.opened) {
    // No device ever took samples: there is nothing to drain.
    audio.ringbuffer_read.store(0);
    audio.ringbuffer_write.store(0);
    return;
  }
  audio.finishing.store(1, std::memory_order_release);
  if (!ring_empty()) {
    start();
    wait_for_device(ring_empty);
  }
  if (audio.opened && device_stop()) device_close();
  audio.opened = false;
}

void abandon_audio() {
  if (audio.opened && device_stop()) device_close();
  audio.opened = false;
  audio.ringbuffer_read.store(0);
  audio.ringbuffer_write.store(0);
}

}  // namespace sinks
