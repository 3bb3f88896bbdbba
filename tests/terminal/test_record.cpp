// Recording from the line input at a terminal. SDL's "disk" driver makes the
// capture device hear a file: the program's own sound of a known tape, a
// little faster than real time.
#include <gtest/gtest.h>

#include <cstring>

#include "format/tape.hpp"
#include "support/cassette.hpp"
#include "support/device.hpp"
#include "support/terminal.hpp"

namespace {

using terminal_run::AtTerminal, terminal_run::same;

// The tape, its sound as the line input hears it (32-bit float stereo, a
// second of silence after; through a cassette deck if asked; on the left
// channel alone if asked), the same as a WAV file, and the files recorded.
struct Line : device::Tape {
  std::string heard = dir.file("heard.raw"), wav = dir.file("heard.wav");
  explicit Line(const cassette::Damage *deck = nullptr, bool left_only = false) : device::Tape(tzx::Tzx()) {
    std::filesystem::copy_file(REELWRIGHT_SOURCE_DIR "/examples/demo.tzx", tape,
                               std::filesystem::copy_options::overwrite_existing);
    std::vector<float> sound;
    for (char c : conversion() + std::string(44100, '\0')) sound.push_back(static_cast<int8_t>(c) / 128.0f);
    if (deck) sound = cassette::play(sound, 44100, *deck);
    std::string raw;
    const float none = 0;
    for (float f : sound) raw.append(reinterpret_cast<const char *>(&f), 4).append(reinterpret_cast<const char *>(left_only ? &none : &f), 4);
    std::ofstream(heard, std::ios::binary) << raw;
    cassette::write_wav(wav, {sound}, 44100, 32, true, false);
  }
  std::vector<std::string> env() const {
    return {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILEIN=" + heard, "SDL_DISKAUDIOFILE=/dev/null",
            "SDL_DISKAUDIODELAY=4"};
  }
};

TEST(Record, TheTapeWrittenIsTheOneDecodedFromTheSameSound) {
  // Clean; through a worn deck: 26 dB of hiss, treble cut at 5 kHz, 2 %
  // fast, 0.4 % wow, AC coupled, inverted, with a DC offset; and a
  // computer's output straight into the line input (its coupling's 1 kHz
  // high-pass, the positive peaks a quarter higher, a ring at each edge).
  const cassette::Damage worn{.speed = 0.02, .wow = 0.004, .treble_hz = 5000, .ac_hz = 25, .level = 0.3,
                              .dc = 0.05, .invert = true, .snr_db = 26};
  const cassette::Damage direct{.computer_hz = 1000, .peak_ratio = 1.25, .ring = 0.6, .treble_hz = 12000, .snr_db = 40};
  for (const cassette::Damage *deck : {static_cast<const cassette::Damage *>(nullptr), &worn, &direct}) {
    Line line(deck);
    AtTerminal t({"-rec", line.dir.file("rec.tzx")}, line.env());
    // Each block's line comes as it ends: the last, too, before the end.
    ASSERT_TRUE(t.wait_for("Length:    22", 30)) << t.screen;
    EXPECT_NE(t.screen.find("  1  0:00.0 good:    Program : BorderDemo  Length:    19"), std::string::npos) << t.screen;
    EXPECT_NE(t.screen.find(" dB ["), std::string::npos) << "a status line: " << t.screen;
    t.type("q");
    ASSERT_EQ(t.end(), 0) << t.screen;
    EXPECT_TRUE(same(t.settings(), t.before));
    // The sound as a file, decoded.
    ASSERT_EQ(harness::run_here({"-tzx", line.wav, line.dir.file("dec.tzx")}).status, 0);
    // Up to the last block of the tape: after it the deck's hiss goes on
    // for as long as each recording lasts.
    auto upto_last = [](std::string s) { return s.substr(0, s.find("Length:    22") + 13); };
    const std::string rec = device::blocks(line.dir.file("rec.tzx")), dec = device::blocks(line.dir.file("dec.tzx"));
    if (!deck) {
      EXPECT_EQ(std::count(rec.begin(), rec.end(), '\n'), 4) << rec;
    }
    EXPECT_EQ(deck ? upto_last(rec) : rec, deck ? upto_last(dec) : dec);
  }
}

TEST(Record, EveryWayOutLeavesAValidTapeOfTheBlocksFinished) {
  Line line;
  const struct {
    std::string keys;
    int sig;
  } rows[] = {{"\x1b", 0}, {"", SIGTERM}, {"", SIGHUP}, {"\x03", 0}};
  for (const auto &r : rows) {
    const std::string out = line.dir.file("rec" + std::to_string(&r - rows) + ".tzx");
    SCOPED_TRACE(out);
    AtTerminal t({"-rec", out}, line.env());
    ASSERT_TRUE(t.wait_for("  2  0:0", 30)) << t.screen;
    t.type(r.keys);
    if (r.sig) t.signal(r.sig);
    ASSERT_EQ(t.end(), 0) << t.screen;
    EXPECT_TRUE(same(t.settings(), t.before));
    // Every block whose line was shown is in the file, after the description.
    const std::string bytes = harness::read_file(out);
    const format::Tape tape = format::Tape::FromTzx(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    int shown = 0;
    for (const char *check : {" good:", " BAD :", " -   :"})
      for (size_t at = 0; (at = t.screen.find(check, at)) != std::string::npos; at++) shown++;
    EXPECT_FALSE(tape.truncated());
    EXPECT_GE(shown, 2);
    EXPECT_EQ(tape.size(), 1 + shown) << t.screen;
    EXPECT_NE(t.screen.find(" blocks, "), std::string::npos) << t.screen;
  }
}

TEST(Record, RawRecordingsAndNoInput) {
  // The tape on the left channel, silence on the right: the left is decoded.
  Line line(nullptr, true);
  for (const std::vector<std::string> &args : {std::vector<std::string>{"-rec", "-16", line.dir.file("rec.wav")},
                                                {"-rec", line.dir.file("rec.csw")}, {"-rec", line.dir.file("rec.voc")},
                                                {"-rec", "-16", line.dir.file("rec.au")}}) {
    AtTerminal t(args, line.env());
    ASSERT_TRUE(t.wait_for("  4  0:15.", 30)) << t.screen;
    t.type("q");
    ASSERT_EQ(t.end(), 0) << t.screen;
  }
  // The CSW file is the square wave of the tape.
  ASSERT_EQ(harness::run_here({"-tzx", line.dir.file("rec.csw"), line.dir.file("csw.tzx")}).status, 0);
  ASSERT_EQ(harness::run_here({"-tzx", line.wav, line.dir.file("dec.tzx")}).status, 0);
  EXPECT_EQ(device::blocks(line.dir.file("csw.tzx")), device::blocks(line.dir.file("dec.tzx")));
  // 16-bit samples of what was heard on each channel, from the first on.
  const std::string wav = harness::read_file(line.dir.file("rec.wav")), heard = harness::read_file(line.heard);
  ASSERT_GT(wav.size(), 44 + 4 * 44100 * 17u);  // up to the last block, 17.5 s
  EXPECT_EQ(wav.substr(0, 4), "RIFF");
  for (size_t i = 0; i < 2 * 44100 * 17; i += 997) {
    float f;
    int16_t s;
    std::memcpy(&f, &heard[4 * i], 4), std::memcpy(&s, &wav[44 + 2 * i], 2);
    ASSERT_EQ(s, static_cast<int16_t>(f * 32768)) << i;
  }
  // The VOC file: a block of type 9 (44100 Hz, 8 bits, 2 channels) and the
  // sound after it, which decodes as the tape.
  EXPECT_EQ(harness::read_file(line.dir.file("rec.voc")).substr(26, 12),
            std::string("\x09\x0C\x00\x00\x44\xAC\x00\x00\x08\x02\x00\x00", 12));
  ASSERT_EQ(harness::run_here({"-tzx", line.dir.file("rec.voc"), line.dir.file("voc.tzx")}).status, 0);
  EXPECT_EQ(device::blocks(line.dir.file("voc.tzx")), device::blocks(line.dir.file("dec.tzx")));
  // The AU file: 16-bit linear samples (coding 3), 44100 Hz, 2 channels.
  EXPECT_EQ(harness::read_file(line.dir.file("rec.au")).substr(12, 12), std::string("\0\0\0\3\0\0\xAC\x44\0\0\0\2", 12));
  // No input device: a clear error, and no file.
  const harness::Result r = harness::run({"-rec", line.dir.file("none.tzx")}, {.env = {"SDL_AUDIODRIVER=none"}});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("-- Error: No sound input could be opened! Record into a sound file with another "
                              "program, then decode that.\n")) << r.out;
  EXPECT_FALSE(harness::exists(line.dir.file("none.tzx")));
}

}  // namespace
