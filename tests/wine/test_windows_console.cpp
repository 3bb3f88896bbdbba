// The Windows program playing live and at a console, under Wine. Wine's ALSA
// driver plays into a file through ALSA's file plugin, so what WinMM was
// given can be compared with the conversion; Wine's console runs on a
// pseudo-terminal, where keys typed reach the program as console input
// records. tests/wine/helper/console_run notes the console before and after.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/device.hpp"
#include "support/terminal.hpp"

namespace {

using terminal_run::AtTerminal;

const std::string kWine = std::string(REELWRIGHT_SOURCE_DIR) + "/scripts/wine-reelwright";
const std::string kExe = std::getenv("REELWRIGHT_WINDOWS_EXE") ? std::getenv("REELWRIGHT_WINDOWS_EXE") : "";

std::string on_z(std::string p) {  // a Linux path as Wine's drive Z: names it
  std::replace(p.begin(), p.end(), '/', '\\');
  return "Z:" + p;
}

// Wine's device takes samples faster than real time, and on a busy machine
// it may run dry now and then: the player then holds the level, or Wine's
// mixer plays silence (sample byte 128, which no tape sample is), until
// samples come. dry_spells() counts such stretches in `got` against `want`
// run by run (the same levels in the same order, no run shorter), or gives
// -1 when it differs otherwise. Its last run may be any length when `whole`
// is false (it may end anywhere in `want`), else it ends at `want`'s end,
// whose last level may hold for any time after.
size_t run(std::string_view s, size_t at) {  // the length of the run at `at`
  const size_t end = s.find_first_not_of(s[at], at);
  return (end == s.npos ? s.size() : end) - at;
}

int dry_spells(std::string_view got, std::string_view want, bool whole = true) {
  int spells = 0;
  for (size_t g = 0, w = 0; g < got.size(); g += run(got, g), w += run(want, w)) {
    if (w >= want.size() || got[g] != want[w]) return -1;
    const size_t gn = run(got, g), wn = run(want, w);
    if (g + gn == got.size()) return !whole || (w + wn == want.size() && gn >= wn) ? spells : -1;
    if (gn < wn) return -1;
    spells += gn > wn;
  }
  return whole ? -1 : spells;
}

std::string without_silence(std::string s, int &spells) {
  for (size_t at = 0; (at = s.find('\x80', at)) != s.npos; spells++) s.erase(at, run(s, at));
  return s;
}

// A tape, and ALSA's default output writing what it is given to a file
// (16-bit stereo, 44100 Hz); Wine's other sound drivers are not loaded.
struct Played : testing::Test, device::Tape {
  std::string alsa = dir.file("asound.conf"), notes = dir.file("console.txt");
  std::vector<std::string> env = {"ALSA_CONFIG_PATH=" + alsa, "WINEDLLOVERRIDES=winepulse.drv,wineoss.drv=d"};
  void SetUp() override {
    if (kExe.empty()) GTEST_SKIP() << "no REELWRIGHT_WINDOWS_EXE: make test-windows runs it";
    std::ofstream(alsa) << "pcm.!default { type plug; slave { pcm \"rec\"; format S16_LE; rate 44100; channels 2 } }\n"
                        << "pcm.rec { type file; slave.pcm { type null }; file \"" << device << "\"; format raw }\n";
  }
  std::unique_ptr<AtTerminal> at_console(std::vector<std::string> args) const {
    args.insert(args.begin(), {on_z(notes), on_z(kExe)});
    std::vector<std::string> e = env;
    e.push_back("REELWRIGHT_WINDOWS_EXE=" + kExe.substr(0, kExe.rfind('/')) + "/console_run.exe");
    return std::make_unique<AtTerminal>(args, e, "", kWine);
  }
  // The console as it was before the program, and the program's status.
  void console_left_alone(const std::string &status) const {
    const std::string n = harness::read_file(notes);
    const size_t first = n.find('\n'), second = n.find('\n', first + 1);
    EXPECT_TRUE(second != n.npos && n.substr(0, first + 1) == n.substr(first + 1, second - first)) << n;
    EXPECT_EQ(n.substr(second + 1), status + "\n") << n;
  }
};

TEST_F(Played, LivePlayGivesWinMMTheSamplesOfTheConversion) {
  tzx::Tzx().tone(2168, 1500).pulses({667, 735}).standard(500, {0xFF, 0x18, 0xE7}).save(tape);
  // A rate above any Windows device's plays at 44100 Hz.
  for (std::vector<std::string> args : {std::vector<std::string>{tape}, {"-freq", "3500000", tape}}) {
    std::filesystem::remove(device);
    const harness::Result r = harness::run(args, {.env = env, .seconds = 60, .program = kWine});
    EXPECT_TRUE(r.status == 0 && r.out.find("\nCoreAudio initialized\n") != r.out.npos) << r.out << r.err;
    int silent = 0;
    const int spells = dry_spells(without_silence(played(true), silent), conversion());
    EXPECT_TRUE(spells >= 0 && spells + silent <= 3) << args[0] << ": " << spells << " " << silent;
  }
}

TEST_F(Played, WithoutASoundOutputLivePlaySaysWhy) {
  tzx::Tzx().tone(2168, 100).save(tape);
  std::ofstream(alsa) << "# no output\n";
  const harness::Result r = harness::run({tape}, {.env = env, .seconds = 60, .program = kWine});
  EXPECT_TRUE(r.status == 1 && r.out.ends_with("\n-- Error: No sound output could be opened! Use -voc or -au to "
                                               "write a sound file instead.\n")) << r.out;
  EXPECT_NE(r.err.find("get kAudioHardwarePropertyDefaultOutputDevice error -1\nWinMM: no sound output device"),
            r.err.npos) << r.err;
}

// ALSA's file plugin cannot feed Wine's capture ("requested more frames than
// pcm buffer"): waveIn records silence from it. What Wine allows is checked:
// waveIn opens and records, the meter shows, q ends it, and a recording that
// holds no block makes no tape.
TEST_F(Played, RecordingOpensWaveInAndEndsAtAKey) {
  std::ofstream(dir.file("heard.raw"), std::ios::binary) << std::string(4 * 44100, '\0');
  std::ofstream(alsa) << "pcm.!default { type plug; slave { pcm \"line\"; format S16_LE; rate 44100; channels 2 } }\n"
                      << "pcm.line { type file; slave.pcm { type null }; file \"/dev/null\"; infile \""
                      << dir.file("heard.raw") << "\"; format raw }\n";
  auto t = at_console({"-rec", on_z(dir.file("rec.tzx"))});
  ASSERT_TRUE(t->wait_for(" dB [", 30, 0, true)) << t->text();
  t->type("q");
  EXPECT_EQ(t->end(10), 0) << t->text();
  EXPECT_NE(t->text().find("-- Error: No block was found in the recording: no tape is made!"), std::string::npos)
      << t->text();
  console_left_alone("1");
  EXPECT_FALSE(harness::exists(dir.file("rec.tzx")));
}

// Windows' status for a program Ctrl-C ends is STATUS_CONTROL_C_EXIT; Wine's is 0.
std::string ctrl_c_status(const std::string &notes) { return notes.ends_with("c000013a\n") ? "c000013a" : "0"; }

TEST_F(Played, KeysAtTheConsoleNeedNoEnterAndTheConsoleIsLeftAsItWas) {
  std::filesystem::copy_file(REELWRIGHT_SOURCE_DIR "/examples/demo.tzx", tape);
  for (auto [key, then, status] : {std::tuple{"x", "Block   6 (  104)", "0"},               // any key goes on
                                   {"\x1b", "-- Error: ESCAPE key pressed!", "1"},       // ESC at once
                                   {"\x03", "", ""}}) {                                   // Ctrl-C ends it
    SCOPED_TRACE(key);
    auto t = at_console({"-info", "-p", "-b", "3", on_z(tape)});
    ASSERT_TRUE(t->wait_for("scroll?", 30, 0, true)) << t->text();
    t->pause_for(0.3);
    EXPECT_EQ(t->text().find("Block   6"), std::string::npos);
    t->type(key);
    EXPECT_TRUE(t->wait_for(then, 5, 0, true)) << t->text();
    EXPECT_EQ(t->end(10), 0) << t->text();
    if (*key != 'x') {
      EXPECT_EQ(t->text().find("Block   6"), std::string::npos) << t->text();
    }
    console_left_alone(*status ? status : ctrl_c_status(harness::read_file(notes)));
  }
}

TEST_F(Played, TheRightArrowSkipsToTheNextBlockAndCtrlCEndsAPause) {
  // About 6 s with its pause, then 4.3 s.
  tzx::Tzx().standard(1000, tzx::spectrum_header(0, "BorderDemo", 19, 10, 19)).tone(1000, 15000).save(tape);
  const std::string all = conversion(), from2 = conversion({"-b", "2"});
  for (auto [key, then] : {std::pair{"\x1b[C", ""}, {" ", "\x03"}}) {
    SCOPED_TRACE(key);
    auto t = at_console({on_z(tape)});
    // Fitted to the console's 80 columns: the text cut between words, a bar
    // of 10.
    ASSERT_TRUE(t->wait_for("  1 Program : BorderDemo ...  block 0:00/0:06", 30, 0, true)) << t->text();
    EXPECT_TRUE(t->wait_for("  [----------]", 30, 0, true)) << t->text();
    t->type(key);
    if (*then) {  // paused, then Ctrl-C: the end, long before block 2
      ASSERT_TRUE(t->wait_for("  paused", 30, 0, true)) << t->text();
      t->type(then);
      EXPECT_EQ(t->end(5), 0) << t->text();
      EXPECT_EQ(t->text().find("  2 Pure Tone"), std::string::npos) << t->text();
      console_left_alone(ctrl_c_status(harness::read_file(notes)));
      continue;
    }
    EXPECT_TRUE(t->wait_for("  2 Pure Tone", 30, 0, true)) << t->text();
    EXPECT_EQ(t->end(30), 0) << t->text();
    console_left_alone("0");
    // Block 1 up to the skip, then all of block 2 (a few dry spells at most):
    // the first place block 2 begins.
    int silent = 0, spells = -1;
    const std::string got = without_silence(played(true), silent);
    size_t cut = 0;
    for (; cut < got.size(); cut += run(got, cut))
      if ((spells = dry_spells(std::string_view(got).substr(cut), from2)) >= 0 && spells + silent <= 3) break;
    EXPECT_TRUE(cut > 0 && cut < all.size() - from2.size()) << cut << " " << silent;
    const int before = dry_spells(std::string_view(got).substr(0, cut), all, false);
    EXPECT_TRUE(spells >= 0 && before >= 0 && spells + before + silent <= 3) << spells << before << silent;
  }
}

}  // namespace
