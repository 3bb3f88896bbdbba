// What the stops of a tape add to a conversion. (The texts and paths of
// jumps, loops, calls and selections are checked end to end: test_golden.)
#include <gtest/gtest.h>

#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace {

TEST(Flow, StopsInAConversionAddFiveSecondsAndLeaveTheLevelLow) {
  harness::TempDir dir;
  tzx::Tzx().tone(1000, 1).stop48k().tone(1000, 1).pause(0).save(dir.file("t.tzx"));
  ASSERT_EQ(harness::run_here({"-au", "-freq", "8000", dir.file("t.tzx"), dir.file("t.au")}).status, 0);
  const std::string f = harness::read_file(dir.file("t.au")).substr(32);
  // Tone pulses of 2 samples; 5 s of stop at the level the tone left (high),
  // then low; 5 s low for the stop-the-tape block; the closing second low.
  const std::string want = std::string(2, '\x10') + std::string(40000, '\xF0') + std::string(2, '\x10') +
                           std::string(40000 + 8000, '\x10');
  EXPECT_TRUE(f == want) << f.size();
}

}  // namespace
