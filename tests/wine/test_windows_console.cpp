// The Windows program at a console and playing live, under Wine. Wine's
// console runs on a pseudo-terminal here: keys typed there reach the program
// as console input records. Wine's ALSA driver plays into a file through
// ALSA's own file plugin, so what WinMM was given can be compared with the
// conversion's samples. console_run (tests/wine/helper) notes the console's
// modes and code page before and after the program, in the same console.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "support/device_stream.hpp"
#include "support/harness.hpp"
#include "support/terminal.hpp"
#include "support/tzx.hpp"

namespace {

using device_stream::splice, device_stream::same_before;
using terminal_run::AtTerminal;

const std::string kWine = std::string(REELWRIGHT_SOURCE_DIR) + "/scripts/wine-reelwright";

std::string exe() {
  const char *e = std::getenv("REELWRIGHT_WINDOWS_EXE");
  return e ? e : "";
}

// A Linux path as Wine's drive Z: names it.
std::string on_z(std::string p) {
  std::replace(p.begin(), p.end(), '/', '\\');
  return "Z:" + p;
}

// What the console shows without Wine's control sequences: a move of the
// cursor n columns right counts as n blanks.
std::string shown(const std::string &screen) {
  std::string s;
  for (size_t i = 0; i < screen.size(); i++) {
    if (screen[i] != '\x1b' || i + 1 >= screen.size() || screen[i + 1] != '[') {
      s += screen[i];
      continue;
    }
    size_t end = i + 2;
    while (end < screen.size() && (screen[end] < 0x40 || screen[end] > 0x7E)) end++;
    if (end < screen.size() && screen[end] == 'C') s.append(std::max(1, std::atoi(screen.c_str() + i + 2)), ' ');
    i = end;
  }
  return s;
}

bool wait_shown(AtTerminal &t, const std::string &text, double seconds = 30) {
  for (double waited = 0; shown(t.screen).find(text) == std::string::npos; waited += 0.05) {
    if (waited > seconds) return false;
    t.pause_for(0.05);
  }
  return true;
}

struct Wine : testing::Test {
  void SetUp() override {
    if (exe().empty()) GTEST_SKIP() << "no REELWRIGHT_WINDOWS_EXE: make test-windows runs it";
  }
};

// A tape, and an ALSA set-up whose default output writes what it is given to
// a file (16-bit stereo at 44100 Hz); no PulseAudio server is reached.
struct Played {
  harness::TempDir dir;
  std::string tape = dir.file("t.tzx"), device = dir.file("device.raw"), alsa = dir.file("asound.conf"),
              console = dir.file("console.txt");
  explicit Played(const tzx::Tzx &t) : Played() { t.save(tape); }
  explicit Played(const char *file) : Played() { std::filesystem::copy_file(file, tape); }
  Played() {
    std::ofstream(alsa) << "pcm.!default { type plug; slave { pcm \"rec\"; format S16_LE; rate 44100; channels 2 } }\n"
                        << "pcm.rec { type file; slave { pcm { type null } }; file \"" << device
                        << "\"; format \"raw\" }\n";
  }
  std::vector<std::string> env() const { return {"ALSA_CONFIG_PATH=" + alsa, "PULSE_SERVER=unix:/nonexistent"}; }

  // The samples of the Linux program's conversion of the tape.
  std::string conversion(std::vector<std::string> args = {}) const {
    const std::string au = dir.file("c.au");
    args.insert(args.end(), {"-au", tape, au});
    EXPECT_EQ(harness::run_here(args).status, 0);
    return harness::read_file(au).substr(32);
  }
  // What WinMM was given, as sample bytes of one channel (both must be the
  // same), from the first sample of the tape on.
  std::string played() const {
    const std::string raw = harness::read_file(device);
    std::string s;
    for (size_t i = 0; i + 4 <= raw.size(); i += 4) {
      int16_t left, right;
      std::memcpy(&left, raw.data() + i, 2), std::memcpy(&right, raw.data() + i + 2, 2);
      if (left != right) return "channels differ at frame " + std::to_string(i / 4);
      s += static_cast<char>(128 + (left + (left < 0 ? -128 : 128)) / 256);
    }
    return s.substr(std::min(s.size(), s.find_first_not_of('\x80')));
  }

  // The program at a console, through console_run.
  std::unique_ptr<AtTerminal> at_console(std::vector<std::string> args) const {
    args.insert(args.begin(), {on_z(console), on_z(exe())});
    std::vector<std::string> e = env();
    e.push_back("REELWRIGHT_WINDOWS_EXE=" + exe().substr(0, exe().rfind('/')) + "/console_run.exe");
    return std::make_unique<AtTerminal>(args, e, "", kWine);
  }
  // console_run's notes: whether the console was left as it was found, and
  // the program's exit status.
  void console_left_alone(const std::string &status) const {
    const std::string notes = harness::read_file(console);
    const size_t before = notes.find("before "), after = notes.find("\nafter "), exit = notes.find("\nexit ");
    ASSERT_TRUE(before == 0 && after != notes.npos && exit != notes.npos) << notes;
    EXPECT_EQ(notes.substr(before + 7, after - before - 7), notes.substr(after + 7, exit - after - 7)) << notes;
    EXPECT_EQ(notes.substr(exit + 6), status + "\n") << notes;
  }
};

TEST_F(Wine, LivePlayGivesWinMMTheSamplesOfTheConversion) {
  Played p(tzx::Tzx().tone(2168, 1500).pulses({667, 735}).standard(500, {0xFF, 0x18, 0xE7}));
  const harness::Result r = harness::run({p.tape}, {.env = p.env(), .seconds = 60, .program = kWine});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("\nCoreAudio initialized\n"), std::string::npos) << r.out;
  const std::string all = p.conversion(), got = p.played();
  EXPECT_EQ(splice(got, all), 0u) << got.size() << " samples played, " << all.size() << " converted";
}

TEST_F(Wine, WithoutASoundOutputLivePlaySaysWhy) {
  Played p(tzx::Tzx().tone(2168, 100));
  std::ofstream(p.alsa) << "# no output at all\n";
  const harness::Result r = harness::run({p.tape}, {.env = p.env(), .seconds = 60, .program = kWine});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("\n-- Error: No sound output could be opened! Use -voc or -au to write a sound file "
                              "instead.\n"))
      << r.out;
  EXPECT_NE(r.err.find("get kAudioHardwarePropertyDefaultOutputDevice error -1\nWinMM: no sound output device"),
            std::string::npos)
      << r.err;
}

TEST_F(Wine, KeysAtTheConsoleNeedNoEnterAndTheConsoleIsLeftAsItWas) {
  const struct {
    std::string key, then, status;
  } rows[] = {
      {"x", "Block   6 (  104)", "0"},           // any key goes on, without Enter
      {"\x1b", "-- Error: ESCAPE key pressed!", "1"},  // ESC alone ends the run at once
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.then);
    Played p(REELWRIGHT_SOURCE_DIR "/examples/demo.tzx");
    auto t = p.at_console({"-info", "-p", "-b", "3", on_z(p.tape)});
    ASSERT_TRUE(wait_shown(*t, "scroll?")) << shown(t->screen);
    t->pause_for(0.3);
    EXPECT_EQ(shown(t->screen).find("Block   6"), std::string::npos);
    t->type(row.key);
    EXPECT_TRUE(wait_shown(*t, row.then, 5)) << shown(t->screen);
    EXPECT_EQ(t->end(10), 0) << shown(t->screen);
    p.console_left_alone(row.status);
  }
}

// Tones of about 3.7 s and 4.3 s.
tzx::Tzx two_tones() { return tzx::Tzx().tone(2168, 6000).tone(1000, 15000); }

TEST_F(Wine, TheRightArrowSkipsToTheNextBlockWithTheStatusLineShown) {
  Played p(two_tones());
  auto t = p.at_console({on_z(p.tape)});
  ASSERT_TRUE(wait_shown(*t, "block 0:00/0:03")) << shown(t->screen);
  t->type("\x1b[C");
  EXPECT_TRUE(wait_shown(*t, "  2 Pure Tone")) << shown(t->screen);
  EXPECT_EQ(t->end(30), 0) << shown(t->screen);
  p.console_left_alone("0");
  const std::string all = p.conversion(), from2 = p.conversion({"-b", "2"}), got = p.played();
  const size_t cut = splice(got, from2);
  EXPECT_GT(cut, 0u);
  EXPECT_LT(cut, all.size() - from2.size());
  // Wine's device takes samples faster than real time: after the skip it
  // may hold the level a moment before the next block comes.
  const size_t kept = std::mismatch(got.begin(), got.begin() + std::min(cut, all.size()), all.begin()).first - got.begin();
  EXPECT_TRUE(kept > 0 && same_before(got, all, kept) && got.find_first_not_of(got[kept - 1], kept) >= cut)
      << kept << " samples of the conversion, then a cut at " << cut;
}

TEST_F(Wine, CtrlCWhilePausedEndsThePlayAndTheConsoleIsLeftAsItWas) {
  Played p(two_tones());
  auto t = p.at_console({on_z(p.tape)});
  ASSERT_TRUE(wait_shown(*t, "block 0:00/0:03")) << shown(t->screen);
  t->type(" ");
  ASSERT_TRUE(wait_shown(*t, "  paused")) << shown(t->screen);
  t->type("\x03");
  EXPECT_EQ(t->end(5), 0) << shown(t->screen);
  // Windows ends a program on Ctrl-C with STATUS_CONTROL_C_EXIT; Wine with 0.
  const std::string notes = harness::read_file(p.console);
  p.console_left_alone(notes.find("exit c000013a") != notes.npos ? "c000013a" : "0");
  // It ended long before the tape's end: block 2 never began.
  EXPECT_EQ(shown(t->screen).find("  2 Pure Tone"), std::string::npos) << shown(t->screen);
}

}  // namespace
