// The live output's ring and device callback, driven by a fake device: the
// test calls the callback itself with buffers of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "driver/run.hpp"
#include "sinks/audio.hpp"
#include "sinks/device.hpp"

namespace {

class Ring : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetState();
    device(2);
    audio.opened = true;  // a device is "running": the test is its thread
  }
  void TearDown() override { audio.opened = false; }

  static void device(unsigned channels) {
    DeviceFormat f;
    f.mSampleRate = 44100, f.mFormatID = kLinearPCM, f.mFormatFlags = kFormatIsFloat;
    f.mChannelsPerFrame = channels, f.mBytesPerFrame = 4 * channels;
    SetDeviceFormat(f, 4096);
  }
  // One callback of `frames` stereo frames; returns the floats it wrote.
  static std::vector<float> callback(unsigned frames, unsigned channels = 2) {
    std::vector<float> out(frames * channels + 4, 99.0f);  // guard floats after the buffer
    appIOProc(out.data(), static_cast<unsigned>(frames * channels * sizeof(float)));
    for (size_t i = frames * channels; i < out.size(); i++) EXPECT_EQ(out[i], 99.0f) << "wrote past the buffer";
    out.resize(frames * channels);
    return out;
  }
  static unsigned queued() {
    unsigned r = audio.ringbuffer_read, w = audio.ringbuffer_write;
    return (w + kRingSize - r) % kRingSize;
  }
};

TEST_F(Ring, BytesBecomeFloatsAroundTheMidpoint) {
  EXPECT_FLOAT_EQ(SampleToFloat(16), -0.875f);
  EXPECT_FLOAT_EQ(SampleToFloat(240), 0.875f);
  EXPECT_FLOAT_EQ(SampleToFloat(128), 0.0f);
  EXPECT_FLOAT_EQ(SampleToFloat(0), -1.0f);
}

TEST_F(Ring, ProducerWaitsWhenTheRingHoldsItsMost) {
  std::vector<unsigned char> samples(kRingSize - 1, 240);
  std::atomic<bool> done{false};
  std::thread producer([&] {
    play_buffer(samples.data(), static_cast<int>(samples.size()));
    done = true;
  });
  while (audio.ringbuffer_write != kRingSize - 1) std::this_thread::yield();
  EXPECT_EQ(queued(), kRingSize - 1u);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(done) << "the producer went on although the ring was full";
  callback(1);  // the device takes one sample: room for the producer
  producer.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(audio.ringbuffer_read, 1u);
  EXPECT_EQ(audio.ringbuffer_write, kRingSize - 1);
}

TEST_F(Ring, SilenceBeforeTheFirstSampleThenTheLastOneHeld) {
  for (float v : callback(3)) EXPECT_EQ(v, 0.0f);
  const unsigned char one = 240;
  play_buffer(&one, 1);
  // A single queued sample is repeated on both channels; it stays queued.
  for (int i = 0; i < 3; i++)
    for (float v : callback(4)) EXPECT_FLOAT_EQ(v, 0.875f);
  EXPECT_EQ(audio.ringbuffer_read, 0u);
  EXPECT_EQ(queued(), 1u);

  // A second one lets the first go; the second then repeats.
  const unsigned char two = 16;
  play_buffer(&two, 1);
  std::vector<float> out = callback(3);
  EXPECT_EQ(out, (std::vector<float>{0.875f, 0.875f, -0.875f, -0.875f, -0.875f, -0.875f}));
  EXPECT_EQ(audio.ringbuffer_read, 1u);
}

TEST_F(Ring, FinishingDrainsTheLastSampleAndCloseReturns) {
  const unsigned char s[3] = {16, 240, 16};
  play_buffer(s, 3);
  audio.finishing = 1;
  std::vector<float> out = callback(2);  // two samples played, one left
  EXPECT_EQ(queued(), 1u);
  out = callback(3);  // the last one counts as played at the next call, then repeats
  EXPECT_EQ(queued(), 0u);
  for (float v : out) EXPECT_FLOAT_EQ(v, -0.875f);
  close_audio();  // nothing queued: returns without waiting
  EXPECT_FALSE(audio.opened);
}

TEST_F(Ring, CloseWithNothingQueuedReturnsAtOnce) {
  close_audio();
  EXPECT_EQ(audio.ringbuffer_read, audio.ringbuffer_write);
}

TEST_F(Ring, FeedsWhateverChannelCountTheDeviceHas) {
  const unsigned char s[4] = {240, 16, 240, 16};
  play_buffer(s, 4);
  device(1);
  EXPECT_EQ(callback(2, 1), (std::vector<float>{0.875f, -0.875f}));
  device(6);
  std::vector<float> six = callback(1, 6);
  EXPECT_EQ(six, std::vector<float>(6, 0.875f));
  // A buffer that is no whole number of frames gets only the whole frames.
  std::vector<float> odd(7, 99.0f);
  device(2);
  appIOProc(odd.data(), 5 * sizeof(float));
  EXPECT_EQ(odd[4], 99.0f);
  EXPECT_EQ(odd[3], -0.875f);  // 2 frames = 4 floats written, the 5th untouched
}

}  // namespace
