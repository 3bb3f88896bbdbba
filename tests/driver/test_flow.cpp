// Flow-control blocks end to end: the order in which a conversion plays the
// blocks (shown by the progress lines and by the samples in the output file),
// the stops and the selection in conversion, and the listing texts, where no
// flow is followed.
#include <gtest/gtest.h>

#include "support/expect.hpp"
#include "support/samples.hpp"

namespace {

using expect::block;
using expect::fmt;
using samples::HIGH;
using samples::LOW;
using samples::Stream;

// A pure tone of `count` pulses of `tstates` each, at the stream's level.
void tone(Stream &s, int rate, int tstates, int count) {
  for (int i = 0; i < count; i++) s.pulse(samples::conv(rate, tstates));
}

// The stream followed by the closing second at the level it ended on.
std::string closed(Stream s, int rate) {
  s.run(s.level, samples::pause(rate, 1000));
  return s.bytes;
}

// Standard input holding the given keys.
harness::Options typed(const std::string &keys) {
  harness::Options o;
  o.input = keys;
  return o;
}

// True when every piece occurs in `text`, each after the previous one.
bool in_order(const std::string &text, const std::vector<std::string> &pieces) {
  size_t at = 0;
  for (const auto &p : pieces) {
    at = text.find(p, at);
    if (at == std::string::npos) return false;
    at += p.size();
  }
  return true;
}

TEST(FlowConversion, JumpsForwardAndBackFollowTheirDistances) {
  tzx::Tzx t;
  t.tone(700, 1).jump(2).jump(3).jump(-1).tone(1400, 2).tone(2100, 3);
  auto c = expect::convert(t, {"-au"}, "out.au");
  // Played order 1, 2, 4, 3, 6: block 5 is jumped over.
  EXPECT_EQ(c.run.status, 0);
  EXPECT_EQ(c.run.out, expect::au_head(6) + block(1) + expect::tone_line(1) + block(2) +
                           "    Jump Relative: 2 (To Block 4)\n" + block(4) + "    Jump Relative: -1 (To Block 3)\n" +
                           block(3) + "    Jump Relative: 3 (To Block 6)\n" + block(6) + expect::tone_line(3));
  Stream s;
  tone(s, 44100, 700, 1);
  tone(s, 44100, 2100, 3);
  EXPECT_EQ(c.file, samples::au_file(closed(s, 44100), 44100));
}

TEST(FlowConversion, LoopPlaysItsBlocksThreeTimes) {
  tzx::Tzx t;
  t.loop(3).tone(700, 1).tone(1400, 2).loop_end().tone(2100, 1);
  auto c = expect::convert(t, {"-au"}, "out.au");
  std::string body = block(2) + expect::tone_line(1) + block(3) + expect::tone_line(2);
  EXPECT_EQ(c.run.status, 0);
  EXPECT_EQ(c.run.out, expect::au_head(5) + block(1) + "    Loop Start, Counter: 3\n" + body + block(4) +
                           "    Loop End, Still To Go 2 Time(s)!\n" + body + block(4) +
                           "    Loop End, Still To Go 1 Time(s)!\n" + body + block(4) + "    Loop End, Finished\n" +
                           block(5) + expect::tone_line(1));
  Stream s;
  for (int i = 0; i < 3; i++) tone(s, 44100, 700, 1), tone(s, 44100, 1400, 2);
  tone(s, 44100, 2100, 1);
  EXPECT_EQ(c.file, samples::au_file(closed(s, 44100), 44100));
}

TEST(FlowConversion, CallSequenceRunsBothCallsThenGoesOn) {
  tzx::Tzx t;  // the called runs are blocks 4-5 and 6-7; block 3 jumps past the end
  t.call({3, 5}).tone(700, 1).jump(5).tone(1400, 1).ret().tone(2100, 2).ret();
  auto c = expect::convert(t, {"-au"}, "out.au");
  EXPECT_EQ(c.run.status, 0);
  EXPECT_EQ(c.run.out, expect::au_head(7) + block(1) +
                           "    Call Sequence, Number of Calls : 2, First: 3 (To Block 4)\n" + block(4) + expect::tone_line(1) +
                           block(5) + "    Return from Call, Calls Left: 1, Next: 5 (To Block 6)\n" + block(6) +
                           expect::tone_line(2) + block(7) + "    Return from Call, Last Call Finished\n" + block(2) +
                           expect::tone_line(1) + block(3) + "    Jump Relative: 5 (To Block 8)\n");
  Stream s;
  tone(s, 44100, 1400, 1);
  tone(s, 44100, 2100, 2);
  tone(s, 44100, 700, 1);
  EXPECT_EQ(c.file, samples::au_file(closed(s, 44100), 44100));
}

TEST(FlowConversion, SelectWaitsFiveSecondsThenFollowsTheKey) {
  tzx::Tzx t;
  t.tone(700, 1).select({{1, "one"}, {2, "two"}, {3, "three"}}).tone(1400, 1).tone(2100, 1).tone(2800, 1);
  const std::string asked = expect::au_head(5) + block(1) + expect::tone_line(1) + block(2) +
                            "    Select :\n    1 : one\n    2 : two\n    3 : three\n>> Press the number!\n";
  Stream before;  // the tone leaves the level high: the five seconds are high
  tone(before, 44100, 700, 1);
  before.run(HIGH, samples::pause(44100, 5000));
  before.level = LOW;

  auto chose2 = expect::convert(t, {"-au"}, "out.au", typed("2"));
  EXPECT_EQ(chose2.run.status, 0);
  EXPECT_EQ(chose2.run.out, asked + block(4) + expect::tone_line(1) + block(5) + expect::tone_line(1));
  Stream s = before;
  tone(s, 44100, 2100, 1), tone(s, 44100, 2800, 1);
  EXPECT_EQ(chose2.file, samples::au_file(closed(s, 44100), 44100));

  // Out of range, not a digit, and end of input: the next block follows.
  for (std::string key : {"4", "x", ""}) {
    SCOPED_TRACE("key '" + key + "'");
    auto c = expect::convert(t, {"-au"}, "out.au", typed(key));
    EXPECT_EQ(c.run.status, 0);
    EXPECT_EQ(c.run.out, asked + "Illegal Selection... Continuing...\n" + block(3) + expect::tone_line(1) + block(4) +
                             expect::tone_line(1) + block(5) + expect::tone_line(1));
    Stream r = before;
    tone(r, 44100, 1400, 1), tone(r, 44100, 2100, 1), tone(r, 44100, 2800, 1);
    EXPECT_EQ(c.file, samples::au_file(closed(r, 44100), 44100));
  }

  // ESC ends the run, but the file written so far is still complete.
  auto esc = expect::convert(t, {"-au"}, "out.au", typed("\x1b"));
  EXPECT_EQ(esc.run.status, 1);
  EXPECT_EQ(esc.run.out, asked + "\n-- Error: ESCAPE key pressed!\n");
  EXPECT_EQ(esc.file, samples::au_file(before.bytes, 44100));
}

TEST(FlowConversion, StopBlocksAddFiveSecondsUnless128kSkipsTheSecond) {
  tzx::Tzx t;
  t.tone(700, 1).pause(0).tone(1400, 1).stop48k().tone(2100, 1);

  // 48k: the stop-the-tape block is low (it sets the level first); the
  // 48k stop is at the level the tone left, high, and sets it low.
  auto c48 = expect::convert(t, {"-voc"}, "out.voc");
  EXPECT_EQ(c48.run.status, 0);
  EXPECT_EQ(c48.run.out, expect::voc_head(5) + block(1) + expect::tone_line(1) + block(2) +
                             "    Stop the tape command!\n" + block(3) + expect::tone_line(1) + block(4) +
                             "    Stop the tape in 48k mode!\n" + block(5) + expect::tone_line(1));
  Stream s;
  tone(s, 30303, 700, 1);
  s.level = LOW, s.run(LOW, samples::pause(30303, 5000));
  tone(s, 30303, 1400, 1);
  s.run(HIGH, samples::pause(30303, 5000)), s.level = LOW;
  tone(s, 30303, 2100, 1);
  EXPECT_EQ(c48.file, samples::voc_file(closed(s, 30303), 30303));

  auto c128 = expect::convert(t, {"-au", "-128"}, "out.au");
  EXPECT_EQ(c128.run.status, 0);
  EXPECT_EQ(c128.run.out, expect::au_head(5) + block(1) + expect::tone_line(1) + block(2) +
                              "    Stop the tape command!\n" + block(3) + expect::tone_line(1) + block(4) +
                              "    Stop the tape only in 48k mode!\n" + block(5) + expect::tone_line(1));
  Stream r;
  tone(r, 44100, 700, 1);
  r.level = LOW, r.run(LOW, samples::pause(44100, 5000));
  tone(r, 44100, 1400, 1);
  tone(r, 44100, 2100, 1);  // starts high: nothing was played and the level kept
  EXPECT_EQ(c128.file, samples::au_file(closed(r, 44100), 44100));
}

TEST(FlowListing, EveryFlowBlockIsListedInFileOrder) {
  tzx::Tzx t;
  std::vector<size_t> at;
  auto next = [&]() -> tzx::Tzx & { return at.push_back(t.offset()), t; };
  next().pause(0);
  next().jump(-1);  // followed, this would never end
  next().loop(3);
  next().loop_end();
  next().call({1, 2});
  next().ret();
  next().select({{-2, "Back"}, {300, "Far"}});
  next().stop48k();
  harness::TempDir dir;
  t.save(dir.file("t.tzx"));

  const char *one[] = {"    Stop the tape command!\n", "    Jump Relative: -1 (To Block 1)\n",
                       "    Loop Start, Counter: 3\n", "    Loop End\n",
                       "    Call Sequence, Number of Calls : 2\n", "    Return from Call\n",
                       "    Select block                                     (-info for more)\n",
                       "    Stop the tape if in 48k mode!\n"};
  std::string want = expect::head(8) + "\n";
  for (int i = 0; i < 8; i++) want += fmt("%3d-%5X:", i + 1, static_cast<unsigned>(at[i])) + one[i];
  auto r = harness::run({"-one", dir.file("t.tzx")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, want);

  const char *info[] = {"20 - Stop the Tape Command\n\n", "23 - Jump Relative: -1 (To Block 1)\n\n",
                        "24 - Loop Start, Counter: 2\n\n", "25 - Loop End\n\n",
                        "26 - Call Sequence, Number of Calls : 2\n\n", "27 - Return from Call\n\n",
                        "28 - Select Block\n    1 - Jump:  -2 (To Block    5) : Back\n"
                        "    2 - Jump: 300 (To Block  307) : Far\n\n",
                        "2A - Stop the tape if in 48k mode\n\n"};
  want = expect::head(8) + "\n";
  for (int i = 0; i < 8; i++) want += fmt("Block %3d (%5X):  ", i + 1, static_cast<unsigned>(at[i])) + info[i];
  r = harness::run({"-info", dir.file("t.tzx")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, want);
}

TEST(FlowConversion, UnfollowableBlocksWarnAndAreIgnored) {
  tzx::Tzx t;  // Return without Call, jump of 0, jump before block 1, Call with 0 calls
  t.ret().jump(0).jump(-5).call({}).tone(700, 1);
  auto c = expect::convert(t, {"-au"}, "out.au");
  EXPECT_EQ(c.run.status, 0);
  std::vector<std::string> pieces{expect::au_head(5)};
  for (int n = 1; n <= 4; n++)
    pieces.insert(pieces.end(), {block(n), fmt("\n-- Warning: Block %d ", n), " - ignored!\n"});
  pieces.push_back(block(5) + expect::tone_line(1));
  EXPECT_TRUE(in_order(c.run.out, pieces)) << c.run.out;
  EXPECT_EQ(c.run.out.rfind(block(5) + expect::tone_line(1)), c.run.out.size() - (block(5) + expect::tone_line(1)).size());
  Stream s;
  tone(s, 44100, 700, 1);
  EXPECT_EQ(c.file, samples::au_file(closed(s, 44100), 44100));
}

TEST(FlowConversion, SilentEndlessLoopEndsWithAnError) {
  tzx::Tzx t;
  t.text("silent").jump(-1);
  harness::Options limited;
  limited.seconds = 20;
  auto c = expect::convert(t, {"-au"}, "out.au", limited);
  ASSERT_FALSE(c.run.timed_out);
  EXPECT_EQ(c.run.status, 1);
  const std::string start = expect::au_head(2) + block(1) + "    Description: silent\n" + block(2) +
                            "    Jump Relative: -1 (To Block 1)\n";
  EXPECT_EQ(c.run.out.substr(0, start.size()), start);
  EXPECT_NE(c.run.out.find("\n-- Error: ", start.size()), std::string::npos);
  EXPECT_EQ(c.run.out.back(), '\n');
  EXPECT_EQ(c.file, samples::au_file("", 44100));  // nothing played, yet a complete file
}

}  // namespace
