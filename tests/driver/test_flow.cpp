// Flow control in conversion: jumps, loops, calls, selections, stops and the
// guard against tapes that go round for ever, run in-process.
#include <gtest/gtest.h>

#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace {

// The text of a conversion to /dev/null after the announcement, and its status.
std::string flow(const tzx::Tzx &t, const std::string &keys = "", std::vector<std::string> extra = {}) {
  harness::TempDir dir;
  t.save(dir.file("t.tzx"));
  extra.insert(extra.end(), {"-au", "-freq", "8000", dir.file("t.tzx"), "/dev/null"});
  harness::Result r = harness::run_here(extra, keys);
  const std::string mark = "frequency.\n\n";
  return r.out.substr(r.out.find(mark) + mark.size()) + "status " + std::to_string(r.status);
}

const std::string T = "    Pure Tone             Length:     1\n";  // a tone of one pulse

TEST(Flow, JumpsAndLoops) {
  tzx::Tzx jumps;
  jumps.jump(2).tone(1, 1).tone(1, 1).jump(-3);
  // The guard sees the circle within its second round.
  const std::string round = "Block   1:    Jump Relative: 2 (To Block 3)\nBlock   3:" + T +
                            "Block   4:    Jump Relative: -3 (To Block 1)\n";
  EXPECT_EQ(flow(jumps), round + round + "\n-- Error: The tape loops for ever!\nstatus 1");
  tzx::Tzx loop;
  loop.loop(3).tone(1, 1).loop_end().loop_end();
  EXPECT_EQ(flow(loop), "Block   1:    Loop Start, Counter: 3\nBlock   2:" + T +
                            "Block   3:    Loop End, Still To Go 2 Time(s)!\nBlock   2:" + T +
                            "Block   3:    Loop End, Still To Go 1 Time(s)!\nBlock   2:" + T +
                            "Block   3:    Loop End, Finished\nBlock   4:    Loop End, Finished\nstatus 0");
  tzx::Tzx self;
  self.jump(0).jump(-9);
  EXPECT_EQ(flow(self), "Block   1:    Jump Relative: 0 (To Block 1)\n\n-- Warning: Block 1 jumps to itself - ignored!\n"
                        "Block   2:    Jump Relative: -9 (To Block -7)\n"
                        "\n-- Warning: Block 2 jumps to a block before the start of the tape - ignored!\nstatus 0");
}

TEST(Flow, CallsReturnToTheBlockAfterTheirSequence) {
  tzx::Tzx t;
  t.call({2, 4}).jump(5).tone(1, 1).ret().tone(1, 1).ret().ret();
  EXPECT_EQ(flow(t), "Block   1:    Call Sequence, Number of Calls : 2, First: 2 (To Block 3)\nBlock   3:" + T +
                         "Block   4:    Return from Call, Calls Left: 1, Next: 4 (To Block 5)\nBlock   5:" + T +
                         "Block   6:    Return from Call, Last Call Finished\n"
                         "Block   2:    Jump Relative: 5 (To Block 7)\nBlock   7:"
                         "\n-- Warning: Block 7 returns without a Call Sequence before it - ignored!\nstatus 0");
}

TEST(Flow, SelectionsStopsAndTheKeysThatAnswerThem) {
  tzx::Tzx t;
  t.select({{2, "one"}, {3, "two"}}).tone(1, 1).tone(1, 1).pause(0).stop48k();
  const std::string menu = "Block   1:    Select :\n    1 : one\n    2 : two\n>> Press the number!\n";
  const std::string stops = "Block   4:    Stop the tape command!\nBlock   5:    Stop the tape in 48k mode!\n";
  EXPECT_EQ(flow(t, "2"), menu + stops + "status 0");
  EXPECT_EQ(flow(t, "1"), menu + "Block   3:" + T + stops + "status 0");
  EXPECT_EQ(flow(t, "3"), menu + "Illegal Selection... Continuing...\nBlock   2:" + T + "Block   3:" + T + stops +
                              "status 0");
  EXPECT_EQ(flow(t, "\x1b"), menu + "\n-- Error: ESCAPE key pressed!\nstatus 1");
  EXPECT_EQ(flow(t, "1", {"-128"}), menu + "Block   3:" + T +
                                        "Block   4:    Stop the tape command!\n"
                                        "Block   5:    Stop the tape only in 48k mode!\nstatus 0");
}

TEST(Flow, AKeyBetweenTwoRoundsIsNoEndlessLoop) {
  // A selection that leads back to itself goes round as long as keys come.
  tzx::Tzx t;
  t.select({{0, "again"}, {1, "on"}}).tone(1, 1);
  const std::string menu = "Block   1:    Select :\n    1 : again\n    2 : on\n>> Press the number!\n";
  EXPECT_EQ(flow(t, "112"), menu + menu + menu + "Block   2:" + T + "status 0");
}

TEST(Flow, StopsInAConversionAddFiveSecondsAndLeaveTheLevelLow) {
  harness::TempDir dir;
  tzx::Tzx t;
  t.tone(1000, 1).stop48k().tone(1000, 1).pause(0);
  t.save(dir.file("t.tzx"));
  ASSERT_EQ(harness::run_here({"-au", "-freq", "8000", dir.file("t.tzx"), dir.file("t.au")}).status, 0);
  const std::string f = harness::read_file(dir.file("t.au")).substr(32);
  // Tone pulses of 2 samples; 5 s of stop at the level the tone left (high),
  // then low; 5 s low for the stop-the-tape block; the closing second low.
  const std::string want = std::string(2, '\x10') + std::string(40000, '\xF0') + std::string(2, '\x10') +
                           std::string(40000 + 8000, '\x10');
  EXPECT_TRUE(f == want) << f.size();
}

}  // namespace
