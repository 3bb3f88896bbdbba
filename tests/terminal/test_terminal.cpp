// Live play at a terminal, driven as a person would drive it: keys without
// Enter, pause, skip and back, the status line, and the terminal's settings
// put back on every way out. SDL's "disk" driver records what the device is
// given, to compare with the conversion's samples.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/device.hpp"
#include "support/terminal.hpp"

namespace {

using terminal_run::AtTerminal, terminal_run::same;

constexpr size_t kRate = 44100;

using Live = device::Tape;

// Runs of equal samples: value and length.
std::vector<std::pair<char, size_t>> runs(const std::string &s) {
  std::vector<std::pair<char, size_t>> r;
  for (char c : s) {
    if (r.empty() || r.back().first != c) r.push_back({c, 0});
    r.back().second++;
  }
  return r;
}

// Where `got` goes on with all of `then`, its last level held after it; npos
// when it does not.
size_t splice(const std::string &got, const std::string &then) {
  for (size_t cut = got.size() >= then.size() ? got.size() - then.size() + 1 : 0; cut-- > 0;)
    if (got.compare(cut, then.size(), then) == 0 && got.find_first_not_of(then.back(), cut + then.size()) == got.npos)
      return cut;
  return std::string::npos;
}

// The samples before `cut` are those of the conversion.
bool same_before(const std::string &got, const std::string &all, size_t cut) {
  return cut <= got.size() && cut <= all.size() && got.compare(0, cut, all, 0, cut) == 0;
}

// Three tones of about 0.6 s, each an even number of pulses: every block
// begins low, as one begun on its own does.
tzx::Tzx three_tones() { return tzx::Tzx().tone(2168, 1000).tone(1000, 2000).tone(3000, 600); }

TEST(Terminal, APauseHoldsTheLevelAndLosesNothing) {
  Live live(tzx::Tzx().tone(2168, 2000));
  AtTerminal t({live.tape}, live.sdl());
  ASSERT_TRUE(t.wait_for("CoreAudio initialized")) << t.screen;
  t.pause_for(0.4);
  t.type(" ");
  EXPECT_TRUE(t.wait_for("  paused", 2)) << t.screen;
  t.pause_for(0.6);
  t.type(" ");
  ASSERT_EQ(t.end(), 0) << t.screen;
  // One run of the level is longer by the pause; every other sample as converted.
  const auto want = runs(live.conversion()), got = runs(live.played());
  ASSERT_EQ(got.size(), want.size());
  size_t longer = 0;
  for (size_t i = 0; i + 1 < got.size(); i++) {
    EXPECT_EQ(got[i].first, want[i].first);
    if (got[i].second == want[i].second) continue;
    EXPECT_GT(got[i].second, want[i].second + kRate * 3 / 10) << "run " << i;
    longer++;
  }
  EXPECT_EQ(longer, 1u);
}

TEST(Terminal, SkipPlaysOnFromTheNextBlockAndBackBeginsTheBlockAgainOrTheOneBefore) {
  Live live(three_tones());
  const std::string all = live.conversion(), from2 = live.conversion({"-b", "2"}), from3 = live.conversion({"-b", "3"});
  const size_t start2 = all.size() - from2.size(), start3 = all.size() - from3.size(), none = std::string::npos;
  const struct {
    double at;
    std::string keys;  // "~": 0.3 s later
    const std::string &then;
    size_t after, before, same;  // where the cut must lie; the conversion's samples up to it (0: the cut)
  } rows[] = {
      {0.25, "n", from2, 0, start2, 0},          // in block 1: the rest of it is not played
      {0.85, "\x1b[C", from3, start2, start3, 0},  // the right arrow in block 2
      {0.85, "p", from2, start2, start3, 0},      // block 2 again from its start
      {0.85, "\x1b[D", from2, start2, start3, 0},  // the left arrow
      {0.85, "\x1b[1;5C", from3, start2, start3, 0},  // Ctrl and the right arrow: still the right arrow
      // Twice in block 3: begun again, cut short by the second press, then block 2 and on.
      {1.45, "p~p", from2, start3 + kRate / 4, none, start3},
  };
  for (const auto &r : rows) {
    SCOPED_TRACE(r.keys);
    AtTerminal t({live.tape}, live.sdl());
    ASSERT_TRUE(t.wait_for("CoreAudio initialized")) << t.screen;
    t.pause_for(r.at);
    for (size_t k = 0, end; k < r.keys.size(); k = end + 1) {
      end = std::min(r.keys.find('~', k), r.keys.size());
      t.type(r.keys.substr(k, end - k));
      if (end < r.keys.size()) t.pause_for(0.3);
    }
    ASSERT_EQ(t.end(), 0) << t.screen;
    const std::string got = live.played();
    const size_t cut = splice(got, r.then);
    EXPECT_GT(cut, r.after);
    EXPECT_LT(cut, r.before);
    EXPECT_TRUE(same_before(got, all, r.same ? r.same : cut));
  }
}

TEST(Terminal, BackTwiceInALoopStaysInItsRound) {
  // In the second round of a loop, back twice from its second tone: the
  // first tone of the same round, and the loop then ends as it would have.
  Live loop(tzx::Tzx().tone(2168, 800).loop(2).tone(1000, 1700).tone(3000, 600).loop_end());
  AtTerminal l({loop.tape}, loop.sdl());
  ASSERT_TRUE(l.wait_for("CoreAudio initialized")) << l.screen;
  l.pause_for(2.2);  // each tone about half a second: the second round's second tone
  l.type("pp");
  ASSERT_EQ(l.end(), 0) << l.screen;
  const size_t back = l.screen.find("Block   3:", l.screen.find("Still To Go 1"));
  EXPECT_NE(back, std::string::npos) << l.screen;
  EXPECT_NE(l.screen.find("Block   4:", back), std::string::npos) << l.screen;
  EXPECT_NE(l.screen.find("Loop End, Finished", back), std::string::npos) << l.screen;
  EXPECT_EQ(l.screen.find("Still To Go", back), std::string::npos) << l.screen;
}

TEST(Terminal, KeysWorkWithoutEnterAndAreNotEchoed) {
  // A stop, then a choice of two: a key alone goes on, a digit alone chooses.
  Live live(tzx::Tzx().tone(1000, 10).pause(0).select({{1, "One"}, {2, "Two"}}).tone(1000, 10).tone(2000, 10));
  AtTerminal t({live.tape}, live.sdl());
  ASSERT_TRUE(t.wait_for("Press any key to continue!\r\n")) << t.screen;
  t.type("n");  // a control key keeps the stop's meaning: it goes on
  ASSERT_TRUE(t.wait_for(">> Press the number!\r\n")) << t.screen;
  t.type("2");
  ASSERT_EQ(t.end(), 0) << t.screen;
  EXPECT_NE(t.screen.find("Block   5:"), std::string::npos) << t.screen;
  EXPECT_EQ(t.screen.find("Block   4:"), std::string::npos) << t.screen;
  EXPECT_EQ(t.screen.find("n"
                          "CoreAudio"),
            std::string::npos);
  EXPECT_EQ(t.screen.find("\r\n2"), std::string::npos) << t.screen;

  // The page prompt of a listing.
  harness::TempDir dir;
  tzx::Tzx many;
  for (int i = 0; i < 30; i++) many.text("line");
  many.save(dir.file("many.tzx"));
  AtTerminal pages({"-one", "-p", dir.file("many.tzx")}, {});
  ASSERT_TRUE(pages.wait_for("scroll?\r\n")) << pages.screen;
  pages.type("x");
  ASSERT_EQ(pages.end(), 0) << pages.screen;
  EXPECT_NE(pages.screen.find(" 30-"), std::string::npos);
  EXPECT_TRUE(same(pages.settings(), pages.before));
}

TEST(Terminal, TheSettingsComeBackOnEveryWayOut) {
  Live live(tzx::Tzx().tone(2168, 1500));
  const struct {
    std::string name, keys;
    int sig, status;
  } rows[] = {
      {"end", "", 0, 0},         {"ESC", "\x1b", 0, 1},          {"q", "q", 0, 1},
      {"Ctrl-C", "\x03", 0, -SIGINT}, {"SIGTERM", "", SIGTERM, -SIGTERM}, {"SIGHUP", "", SIGHUP, -SIGHUP},
  };
  for (const auto &r : rows) {
    SCOPED_TRACE(r.name);
    AtTerminal t({live.tape}, live.sdl());
    ASSERT_TRUE(t.wait_for("CoreAudio initialized")) << t.screen;
    t.pause_for(0.3);
    EXPECT_FALSE(t.settings().c_lflag & (ICANON | ECHO));  // keys one at a time, while it plays
    if (!r.keys.empty()) t.type(r.keys);
    if (r.sig) t.signal(r.sig);
    EXPECT_EQ(t.end(), r.status) << t.screen;
    EXPECT_TRUE(same(t.settings(), t.before));
    if (r.status < 0) {
      EXPECT_TRUE(t.screen.ends_with("\r\x1b[K")) << "the status line is cleared";
    }
    if (r.status == 1) {
      EXPECT_NE(t.screen.find("-- Error: ESCAPE key pressed!"), std::string::npos) << t.screen;
    }
  }
  {  // Ctrl-Z: the settings as they were while stopped, the program's own when it goes on.
    AtTerminal t({live.tape}, live.sdl());
    ASSERT_TRUE(t.wait_for("CoreAudio initialized")) << t.screen;
    t.pause_for(0.3);
    t.type("\x1a");
    ASSERT_TRUE(t.stopped()) << t.screen;
    EXPECT_TRUE(same(t.settings(), t.before));
    t.go_on();
    t.pause_for(0.3);
    EXPECT_FALSE(t.settings().c_lflag & (ICANON | ECHO));
    t.type("q");
    EXPECT_EQ(t.end(), 1) << t.screen;
    EXPECT_TRUE(same(t.settings(), t.before));
  }
  {  // The terminal goes away: the program ends by the hang-up, not by a fault.
    AtTerminal t({live.tape}, live.sdl());
    ASSERT_TRUE(t.wait_for("CoreAudio initialized")) << t.screen;
    t.pause_for(0.3);
    t.hang_up();
    EXPECT_EQ(t.end(10), -SIGHUP);
  }
}

TEST(Terminal, TheStatusLineShowsWhereTheTapeIsOnlyAtATerminal) {
  Live live(tzx::Tzx().tone(2168, 3000).pause(0).tone(2168, 1000));
  {
    AtTerminal t({live.tape}, live.sdl());
    ASSERT_TRUE(t.wait_for("CoreAudio initialized")) << t.screen;
    // Block 1 of 1.86 s, and the tape up to the stop, the same.
    EXPECT_TRUE(t.wait_for("  1 Pure Tone Length: 3000  block 0:00/0:01  tape 0:00/0:01 to the stop\x1b[K")) << t.screen;
    t.type(" ");
    EXPECT_TRUE(t.wait_for("to the stop  paused\x1b[K", 2)) << t.screen;
    t.resize(40);
    const size_t resized = t.screen.size();
    t.type(" ");
    ASSERT_TRUE(t.wait_for("Press any key to continue!")) << t.screen;
    EXPECT_TRUE(t.wait_for("  waiting\x1b[K", 2)) << t.screen;
    t.type("x");
    ASSERT_EQ(t.end(), 0) << t.screen;
    // Past the stop, the total is the whole tape: 2.48 s.
    EXPECT_NE(t.screen.find("/0:02", t.screen.find("Block   3:")), std::string::npos) << t.screen;
    // Every line drawn after the resize fits in 39 columns.
    for (size_t at = t.screen.find('\r', resized); at != std::string::npos; at = t.screen.find('\r', at + 1)) {
      const size_t end = t.screen.find("\x1b[K", at);
      if (end != std::string::npos && t.screen.find('\n', at) > end) {
        EXPECT_LE(end - at - 1, 39u) << t.screen.substr(at, end - at);
      }
    }
    EXPECT_TRUE(t.screen.ends_with("\r\x1b[K")) << "the line is cleared at the end: " << t.screen.substr(t.screen.size() - 20);
  }
  {  // Standard error to a file: nothing of it.
    AtTerminal t({live.tape}, live.sdl(), live.dir.file("err"));
    ASSERT_TRUE(t.wait_for("Press any key to continue!")) << t.screen;
    t.type("x");
    ASSERT_EQ(t.end(), 0) << t.screen;
    EXPECT_EQ(harness::read_file(live.dir.file("err")), "");
    EXPECT_EQ(t.screen.find("\x1b[K"), std::string::npos);
  }
}

TEST(Terminal, KeysInAHurryAndNoDeviceEndWell) {
  Live live(tzx::Tzx().text("no sound").tone(2168, 1000).tone(1000, 2000).tone(3000, 600));
  {  // more skips and backs than there are blocks, at once
    AtTerminal t({live.tape}, live.sdl());
    ASSERT_TRUE(t.wait_for("CoreAudio initialized")) << t.screen;
    t.type("pp\x1b[D");
    t.pause_for(0.2);
    t.type("nnnnnnnnn");
    EXPECT_EQ(t.end(), 0) << t.screen;
    EXPECT_TRUE(same(t.settings(), t.before));
    EXPECT_EQ(t.screen.find("pp"), std::string::npos) << "no key is echoed";
    // No block before the first tone makes a sound: back goes no further.
    EXPECT_EQ(t.screen.find("Block   1:", t.screen.find("Block   2:")), std::string::npos) << t.screen;
  }
  {  // a key while no sound output opens
    AtTerminal t({live.tape}, {"SDL_AUDIODRIVER=none"});
    t.type(" n");
    EXPECT_EQ(t.end(), 1) << t.screen;
    EXPECT_NE(t.screen.find("-- Error: No sound output could be opened!"), std::string::npos) << t.screen;
    EXPECT_TRUE(same(t.settings(), t.before));
  }
}

}  // namespace
