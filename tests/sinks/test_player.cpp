// The live player against a sound device the test drives: what the device
// is given, sample for sample, through pauses and drops; and a slow device
// that is no stalled one.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "format/failure.hpp"
#include "sinks/line_in.hpp"
#include "sinks/live.hpp"

namespace {

using sinks::DeviceFeed, sinks::DeviceSpec, sinks::DeviceStep, sinks::LiveOutput;

// A device of one channel that plays when the test says so.
struct TestDevice final : sinks::SoundDevice {
  DeviceFeed *feed = nullptr;
  int rate = 8000;
  unsigned period = 1024;
  DeviceStep open(int, int, DeviceFeed &f, DeviceSpec &format, std::string &) override {
    feed = &f;
    format = {rate, 1, period, 32};
    return DeviceStep::ok;
  }
  bool start(std::string &) override { return true; }
  void stop() override {}
  void close() override {}
  // The device plays n frames: as sample bytes.
  std::string play(unsigned n) {
    std::vector<float> f(n);
    feed->fill(f.data(), n, 1);
    std::string s;
    for (float x : f) s += static_cast<char>(static_cast<int>(x * 128.0f + 128.0f));
    return s;
  }
};

TEST(Player, PauseHoldsTheLastSampleAndDiscardGoesOnAtOnce) {
  auto owned = std::make_unique<TestDevice>();
  TestDevice &device = *owned;
  LiveOutput out(std::move(owned));
  ASSERT_EQ(out.begin(44100), 8000);
  EXPECT_EQ(out.queue_length(), 4096u);  // four periods: more than a quarter of a second at 8000 Hz
  const std::string tape = std::string(300, '\x10') + std::string(300, '\xF0') + "\x10\xF0\x10";
  out.samples(std::span(reinterpret_cast<const uint8_t *>(tape.data()), tape.size()));
  EXPECT_EQ(device.play(400), tape.substr(0, 400));
  out.pause(true);
  EXPECT_EQ(device.play(50), std::string(50, '\xF0'));  // the level holds, nothing is taken
  EXPECT_EQ(out.played(), 400u);
  out.pause(false);
  EXPECT_EQ(device.play(250), tape.substr(400) + std::string(47, '\x10'));  // then the last sample holds
  // Dropped samples are never played; what is queued next plays at once.
  out.run(0xF0, 100);
  EXPECT_EQ(device.play(10), std::string(10, '\xF0'));
  out.discard();
  EXPECT_EQ(out.played(), out.queued());
  out.run(0x10, 20);
  EXPECT_EQ(device.play(30), std::string(30, '\x10'));
  EXPECT_EQ(out.played(), 603u + 100 + 20);
  out.finish();
}

TEST(Player, ASlowDeviceIsNoStalledOne) {
  // The device takes a period every 300 ms, longer than the player waits at
  // a time: it goes on waiting.
  auto owned = std::make_unique<TestDevice>();
  TestDevice &device = *owned;
  LiveOutput out(std::move(owned));
  out.begin(8000);
  std::atomic<bool> done{false};
  std::thread player([&] {
    while (!done) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      device.play(device.period);
    }
  });
  EXPECT_NO_THROW(out.run(0xF0, out.queue_length() + 2 * device.period));
  done = true;
  player.join();
  out.abandon();
}

// A line input the test speaks into: `channels` channels at 8000 Hz, or
// none that opens.
struct TestInput final : sinks::CaptureDevice {
  unsigned channels = 2;
  bool opens = true;
  sinks::CaptureFeed *feed = nullptr;
  bool open(int, sinks::CaptureFeed &f, DeviceSpec &format, std::string &why) override {
    feed = &f, format = {8000, channels, 256, 32}, why = "no line here";
    return opens;
  }
  bool start(std::string &) override { return true; }
  void stop() override {}
  void close() override {}
};

TEST(LineInput, FramesComeAsPlanesAndWhatTheRingCannotHoldIsLostOldestFirst) {
  for (unsigned channels : {1u, 2u}) {
    auto owned = std::make_unique<TestInput>();
    TestInput &device = *owned;
    device.channels = channels;
    sinks::LineInput in(std::move(owned));
    ASSERT_EQ(in.begin(44100), 8000);
    EXPECT_EQ(in.channels(), static_cast<int>(channels));
    const float frames[] = {1, 2, 3, 4, 5, 6};
    device.feed->take(frames, 6 / channels, channels);
    float a[8], b[8];
    ASSERT_EQ(in.read(a, b, 8, 0), 6 / channels);
    EXPECT_EQ(std::vector<float>(a, a + 2), (channels == 2 ? std::vector<float>{1, 3} : std::vector<float>{1, 2}));
    EXPECT_EQ(std::vector<float>(b, b + 2), (channels == 2 ? std::vector<float>{2, 4} : std::vector<float>{1, 2}));
    EXPECT_EQ(in.read(a, b, 8, 10), 0u);  // nothing more came
  }
  // The ring holds 4 s at 8000 Hz; the reader keeps a device's period (1024
  // frames at least) clear of it: of 40000 frames the first 9024 are lost.
  auto owned = std::make_unique<TestInput>();
  TestInput &device = *owned;
  sinks::LineInput in(std::move(owned));
  in.begin(8000);
  std::vector<float> many(80000);
  for (size_t i = 0; i < many.size(); i++) many[i] = static_cast<float>(i / 2);
  device.feed->take(many.data(), 40000, 2);
  float a[1], b[1];
  ASSERT_EQ(in.read(a, b, 1, 0), 1u);
  EXPECT_EQ(a[0], 9024.0f);
  EXPECT_EQ(in.lost(), 9024u);
}

TEST(LineInput, NoInputSaysWhy) {
  auto owned = std::make_unique<TestInput>();
  owned->opens = false;
  char *text = nullptr;
  size_t size = 0;
  FILE *messages = open_memstream(&text, &size);
  sinks::LineInput in(std::move(owned), messages);
  EXPECT_THROW(in.begin(44100), format::Failure);
  std::fclose(messages);
  EXPECT_EQ(std::string(text, size), "no line here\n");
  std::free(text);
}

}  // namespace
