// Live replay through SDL's own test drivers: "disk" records the float stream
// the device was given, "dummy" plays into nothing at real-time pace.
#include <gtest/gtest.h>

#include <cstring>

#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace {

using harness::run;

std::vector<float> floats(const std::string &raw) {
  std::vector<float> v(raw.size() / sizeof(float));
  std::memcpy(v.data(), raw.data(), v.size() * sizeof(float));
  return v;
}

TEST(Live, DeviceReceivesExactlyTheSamplesOfTheConversion) {
  harness::TempDir dir;
  tzx::Tzx t;
  t.tone(2168, 300).pulses({667, 735}).pure_data(855, 1710, 8, 20, {0xA5, 0x0F}).pause(100);
  t.save(dir.file("t.tzx"));

  auto conv = run({"-au", dir.file("t.tzx"), dir.file("t.au")});
  ASSERT_EQ(conv.status, 0) << conv.out;
  const std::string au = harness::read_file(dir.file("t.au")).substr(32);

  harness::Options opt;
  opt.env = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + dir.file("device.raw")};
  auto live = run({dir.file("t.tzx")}, opt);
  ASSERT_EQ(live.status, 0) << live.out << live.err;
  EXPECT_NE(live.out.find("\nStarting playback on CoreAudio using 44100 Hz frequency.\n\nCoreAudio initialized\n"),
            std::string::npos)
      << live.out;

  // Stereo frames, both channels alike.
  std::vector<float> stream = floats(harness::read_file(dir.file("device.raw")));
  ASSERT_EQ(stream.size() % 2, 0u);
  std::vector<float> mono;
  for (size_t i = 0; i < stream.size(); i += 2) {
    ASSERT_EQ(stream[i], stream[i + 1]) << "frame " << i / 2;
    mono.push_back(stream[i]);
  }
  // Leading silence, then the conversion's samples, then the last one held.
  size_t start = 0;
  while (start < mono.size() && mono[start] == 0.0f) start++;
  ASSERT_GE(mono.size() - start, au.size());
  for (size_t i = 0; i < au.size(); i++) {
    float expect = static_cast<float>(static_cast<unsigned char>(au[i]) - 128) / 128.0f;
    ASSERT_EQ(mono[start + i], expect) << "sample " << i;
  }
  const float last = mono[start + au.size() - 1];
  for (size_t i = start + au.size(); i < mono.size(); i++) ASSERT_EQ(mono[i], last) << "frame " << i;
}

TEST(Live, StopTheTapeWaitsForAKeyAndGoesOn) {
  harness::TempDir dir;
  tzx::Tzx t;
  t.tone(2168, 10).pause(0).tone(2168, 10);
  t.save(dir.file("t.tzx"));
  harness::Options opt;
  opt.env = {"SDL_AUDIODRIVER=dummy"};
  opt.input = "x\n";
  auto r = run({dir.file("t.tzx")}, opt);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("CoreAudio initialized\n"
                       "Block   1:    Pure Tone             Length:    10\n"
                       "Block   2:    Stop the tape command - Press any key to continue!\n"
                       "CoreAudio initialized\n"
                       "Block   3:    Pure Tone             Length:    10\n"),
            std::string::npos)
      << r.out;

  // ESC at the wait ends the run; no input at all counts as a key.
  opt.input = "\x1b";
  r = run({dir.file("t.tzx")}, opt);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("\n-- Error: ESCAPE key pressed!\n"), std::string::npos) << r.out;
  opt.input.clear();
  r = run({dir.file("t.tzx")}, opt);
  EXPECT_EQ(r.status, 0) << r.out;
}

TEST(Live, NoSoundDeviceEndsWithAClearError) {
  harness::TempDir dir;
  tzx::Tzx t;
  t.tone(2168, 100000);  // far longer than the ring: a hang would show
  t.save(dir.file("t.tzx"));
  harness::Options opt;
  opt.env = {"SDL_AUDIODRIVER=no-such-driver"};
  opt.seconds = 20;
  auto r = run({dir.file("t.tzx")}, opt);
  EXPECT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("\n-- Error: No sound output could be opened! Use -voc or -au to write a sound file "
                       "instead.\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.err.find("get kAudioHardwarePropertyDefaultOutputDevice error -1\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("no-such-driver"), std::string::npos) << r.err;
}

}  // namespace
