// Live replays on SDL's own test drivers: "disk" records the stream the
// device was given; "dummy" plays into nothing in real time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "support/device.hpp"

namespace {

TEST(Live, TheDeviceReceivesExactlyTheSamplesOfTheConversion) {
  device::Tape t(tzx::Tzx().tone(2168, 300).pulses({667, 735}).pure_data(855, 1710, 8, 20, {0xA5, 0x0F}).pause(100));
  const std::string au = t.conversion();
  harness::Result live = harness::run({t.tape}, {.env = t.sdl()});
  ASSERT_EQ(live.status, 0) << live.out << live.err;
  EXPECT_NE(live.out.find("\nStarting playback on CoreAudio using 44100 Hz frequency.\n\nCoreAudio initialized\n"),
            std::string::npos);
  // Silence, the conversion's samples, then the last held.
  const std::string played = t.played();
  EXPECT_EQ(played.substr(0, au.size()), au);
  EXPECT_EQ(played.find_first_not_of(au.back(), au.size()), std::string::npos);

  // With -16 the device is given 16-bit samples, the same as a 16-bit AU
  // file's (big-endian there): here half of full scale, upside down.
  const std::vector<std::string> signal = {"-16", "-vol", "50", "-invert"};
  const std::string au16 = t.conversion(signal);
  std::vector<std::string> args = signal;
  args.push_back(t.tape);
  live = harness::run(args, {.env = t.sdl()});
  ASSERT_EQ(live.status, 0) << live.out << live.err;
  const std::string raw = harness::read_file(t.device);
  std::vector<int16_t> frames(raw.size() / 2);
  std::memcpy(frames.data(), raw.data(), frames.size() * 2);
  size_t i = 0;
  while (i < frames.size() && frames[i] == 0) i += 2;
  ASSERT_GE(frames.size(), i + au16.size());
  for (size_t k = 0; k < au16.size(); k += 2, i += 2) {
    const int16_t want = static_cast<int16_t>(static_cast<uint8_t>(au16[k]) << 8 | static_cast<uint8_t>(au16[k + 1]));
    ASSERT_TRUE(want == 16384 || want == -16384) << want;
    ASSERT_TRUE(frames[i] == want && frames[i + 1] == want) << "sample " << k / 2;
  }
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
