// Live replays on SDL's own test drivers: "disk" records the float stream the
// device was given; "dummy" plays into nothing in real time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace {

TEST(Live, TheDeviceReceivesExactlyTheSamplesOfTheConversion) {
  harness::TempDir dir;
  tzx::Tzx().tone(2168, 300).pulses({667, 735}).pure_data(855, 1710, 8, 20, {0xA5, 0x0F}).pause(100).save(dir.file("t.tzx"));
  ASSERT_EQ(harness::run({"-au", dir.file("t.tzx"), dir.file("t.au")}).status, 0);
  const std::string au = harness::read_file(dir.file("t.au")).substr(32);
  harness::Result live =
      harness::run({dir.file("t.tzx")}, {.env = {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + dir.file("device.raw")}});
  ASSERT_EQ(live.status, 0) << live.out << live.err;
  EXPECT_NE(live.out.find("\nStarting playback on CoreAudio using 44100 Hz frequency.\n\nCoreAudio initialized\n"),
            std::string::npos);
  const std::string raw = harness::read_file(dir.file("device.raw"));
  std::vector<float> stream(raw.size() / sizeof(float));
  std::memcpy(stream.data(), raw.data(), stream.size() * sizeof(float));
  // Stereo frames alike; silence, the conversion's samples, then the last held.
  size_t i = 0;
  while (i < stream.size() && stream[i] == 0.0f) i += 2;
  ASSERT_GE(stream.size(), i + 2 * au.size());
  for (size_t k = 0; k < au.size(); k++, i += 2) {
    const float want = static_cast<float>(static_cast<uint8_t>(au[k]) - 128) / 128.0f;
    ASSERT_EQ(stream[i], want) << "sample " << k;
    ASSERT_EQ(stream[i + 1], want) << "sample " << k;
  }
  for (; i < stream.size(); i++) ASSERT_EQ(stream[i], stream[i - 1]);
}

TEST(Live, AStopWaitsForAKeyAndNoDeviceEndsWithAClearError) {
  harness::TempDir dir;
  tzx::Tzx().tone(2168, 10).pause(0).tone(2168, 10).save(dir.file("t.tzx"));
  harness::Options opt{.input = "x\n", .env = {"SDL_AUDIODRIVER=dummy"}};
  harness::Result r = harness::run({dir.file("t.tzx")}, opt);
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("CoreAudio initialized\nBlock   1:    Pure Tone             Length:    10\n"
                       "Block   2:    Stop the tape command - Press any key to continue!\nCoreAudio initialized\n"
                       "Block   3:    Pure Tone             Length:    10\n"),
            std::string::npos)
      << r.out;
  opt.input = "\x1b";
  EXPECT_EQ(harness::run({dir.file("t.tzx")}, opt).status, 1);

  // No device: the program's own words only, not the sound system's chatter
  // (ALSA without its configuration prints several lines of its own).
  for (std::string driver : {"no-such-driver", "alsa"}) {
    opt.env = {"SDL_AUDIODRIVER=" + driver, "ALSA_CONFIG_PATH=/nonexistent"};
    r = harness::run({dir.file("t.tzx")}, opt);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with(
        "\n-- Error: No sound output could be opened! Use -voc or -au to write a sound file instead.\n"));
    EXPECT_TRUE(r.err.starts_with("get kAudioHardwarePropertyDefaultOutputDevice error -1\nSDL: ")) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
  }
}

}  // namespace
