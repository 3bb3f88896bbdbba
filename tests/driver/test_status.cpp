// The status line of live play, fitted to terminals of several widths.
#include <gtest/gtest.h>

#include "driver/status.hpp"

namespace {

using driver::StatusView, driver::StatusText;

constexpr int kRate = 44100;

StatusView view(StatusView::Until until, bool paused = false, bool waiting = false) {
  StatusView v;
  v.rate = kRate;
  v.block = 3;
  v.text = "    Program : BorderDemo  Length:    19  Normal Speed ,Pause: 1.000s\n";
  v.block_at = 3 * kRate + kRate / 2, v.block_length = 12 * kRate;  // 3.5 s of 12
  v.tape_at = 83 * kRate, v.tape_total = 296 * kRate;                // 1:23 of 4:56
  v.until = until, v.paused = paused, v.waiting = waiting;
  return v;
}

TEST(Status, TheLineFitsTheTerminalTheTextGivingWayFirst) {
  using U = StatusView::Until;
  const struct {
    StatusView v;
    int width;
    std::string line;
  } rows[] = {
      // Room for all: 83 of 296 seconds fill 5 of 20 places of the bar.
      {view(U::end), 130,
       "  3 Program : BorderDemo Length: 19 Normal Speed ,Pause: 1.000s  block 0:03/0:12  tape 1:23/4:56  "
       "[#####---------------]"},
      // The text gives way between words, marked, and never leaves a label
      // without its value; down to 28 characters, then the bar shrinks, then
      // goes, then the words.
      {view(U::end), 110,
       "  3 Program : BorderDemo Length: 19 Normal Speed ...  block 0:03/0:12  tape 1:23/4:56  "
       "[#####---------------]"},
      {view(U::end), 80, "  3 Program : BorderDemo ...  block 0:03/0:12  tape 1:23/4:56  [##--------]"},
      {view(U::stop, true), 80, "  3 Program : BorderDemo Length: 19 Normal ...  0:03/0:12  1:23/4:56  paused"},
      {view(U::choice, false, true), 100,
       "  3 Program : BorderDemo Length: 19 ...  block 0:03/0:12  tape 1:23/4:56 to the choice  waiting"},
      {view(U::unknown), 80, "  3 Program : BorderDemo ...  block 0:03/0:12  tape 1:23/?:??  [----------]"},
      // Room for the times and a word of the text only; then the text goes,
      // then the tape's times, then the block's: no number is cut.
      {view(U::end), 40, "  3 Program ...  0:03/0:12  1:23/4:56"},
      {view(U::end), 27, "  3   0:03/0:12  1:23/4:56"},
      {view(U::end), 26, "  3   0:03/0:12"},
      {view(U::end), 20, "  3   0:03/0:12"},
      {view(U::end), 10, "  3 "},
      {view(U::end), 1, ""},
  };
  for (const auto &r : rows) {
    EXPECT_EQ(StatusText(r.v, r.width), r.line) << r.width;
    EXPECT_LT(StatusText(r.v, r.width).size(), static_cast<size_t>(std::max(r.width, 1)));
  }
}

TEST(Status, MinutesAndSecondsAreWholeSecondsPlayed) {
  EXPECT_EQ(driver::MinutesSeconds(0, kRate), "0:00");
  EXPECT_EQ(driver::MinutesSeconds(60 * kRate - 1, kRate), "0:59");
  EXPECT_EQ(driver::MinutesSeconds(60 * kRate, kRate), "1:00");
  EXPECT_EQ(driver::MinutesSeconds(3600ull * 30303 + 30302, 30303), "60:00");
}

}  // namespace
