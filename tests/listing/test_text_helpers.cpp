// The text helpers of the listings, and the page prompt of "-info -p".
#include <gtest/gtest.h>

#include "listing/text.hpp"
#include "support/expect.hpp"

using expect::fmt;

TEST(TextHelpers, MultiLine) {
  std::string d = "old contents";
  EXPECT_EQ(MultiLine("A\rB", 16, d), 1);
  EXPECT_EQ(d, "A\r\n" + std::string(16, ' ') + "B");
  EXPECT_EQ(MultiLine("X\rY\r", 2, d), 2);
  EXPECT_EQ(d, "X\r\n  Y\r\n  ");
  for (int spaces : {0, -3}) {
    EXPECT_EQ(MultiLine("A\rB\n", spaces, d), 1);
    EXPECT_EQ(d, "A\r\nB\n");
  }
  EXPECT_EQ(MultiLine("", 5, d), 0);
  EXPECT_EQ(d, "");
}

TEST(TextHelpers, MakeFixedString) {
  std::string s = "ABCD";
  MakeFixedString(s, 10);
  EXPECT_EQ(s, "ABCD      ");
  s = "ABCD";
  MakeFixedString(s, 2);
  EXPECT_EQ(s, "AB");
  MakeFixedString(s, 0);
  EXPECT_EQ(s, "");
  s = std::string("AB\0CD", 5);  // the text ends at the NUL
  MakeFixedString(s, 6);
  EXPECT_EQ(s, "AB    ");
}

TEST(TextHelpers, CopyString) {
  const unsigned char bytes[] = {'A', 0, 'B', 'C', 'D'};
  std::string d = "old";
  CopyString(d, bytes, 3);
  EXPECT_EQ(d, "A");
  CopyString(d, bytes + 2, 2);
  EXPECT_EQ(d, "BC");
  for (int len : {0, -1}) {
    d = "old";
    CopyString(d, bytes + 2, len);
    EXPECT_EQ(d, "");
  }
}

TEST(TextHelpers, GetCheckSum) {
  const unsigned char ok[] = {0xFF, 0xFF}, wrong[] = {0x00, 0x12, 0x34, 0x00}, big[] = {0xC8, 0x00};
  const unsigned char three[] = {0xAB, 0xCD, 0x66, 0x99};
  EXPECT_STREQ(GetCheckSum(ok, 2), "OK");
  EXPECT_STREQ(GetCheckSum(wrong, 4), "Wrong, should be  38 ($26)");
  EXPECT_STREQ(GetCheckSum(big, 2), "Wrong, should be 200 ($C8)");
  EXPECT_STREQ(GetCheckSum(three, 3), "OK");  // the byte after the block is not read
  EXPECT_STREQ(GetCheckSum(three, 4), "Wrong, should be   0 ($00)");  // AB ^ CD ^ 66 = 0
  // A single byte is compared with 0.
  EXPECT_STREQ(GetCheckSum(wrong, 1), "OK");
  EXPECT_STREQ(GetCheckSum(ok, 1), "Wrong, should be   0 ($00)");
}

namespace {

const std::string kPrompt = "scroll?\n\n", kEscape = "scroll?\n" + expect::error("ESCAPE key pressed!");

// Listing of a tape of 12 pure tones of 2168 T-states (block n has n pulses).
// Each block is three texts; the last ends in a blank line and counts twice,
// so a block takes 4 lines. From line 3, the tone length text of block 5 is
// the first to pass 21 (22 before it, 23 with it); from 0, the pulse line of
// block 11 is the next (5 blocks make 20, the heading 21, the pulse line 22).
std::string tone_info(bool escape_at_second) {
  std::string s = expect::head(12) + "\n";
  for (int n = 1; n <= 12; n++) {
    s += fmt("Block %3d (%5X):  12 - Pure Tone\n", n, 10 + 5 * (n - 1));
    if (n == 11) {
      if (escape_at_second) return s + kEscape;
      s += kPrompt;
    }
    s += "          Pulse length:  2168 T-States\n";
    if (n == 5) s += kPrompt;
    s += fmt("           Tone length: %5d pulses\n\n", n);
  }
  return s;
}

}  // namespace

TEST(Paging, InfoListingPrompts) {
  harness::TempDir dir;
  tzx::Tzx t;
  for (unsigned n = 1; n <= 12; n++) t.tone(2168, n);
  std::string f = expect::save(dir, t);
  auto r = harness::run({"-info", "-p", f}, expect::keys("\n\n"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, tone_info(false));
  r = harness::run({"-info", "-p", f}, expect::keys("\n\x1b"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, tone_info(true));

  // Unknown blocks: the warning takes 2 lines, each block text counts twice.
  // From 5, block 9 reaches 23 and prompts; from 0 again, block 20 reaches 22.
  tzx::Tzx u;
  for (int i = 0; i < 25; i++) expect::unknown(u, 0x18);
  std::string g = expect::save(dir, u, "u.tzx");
  std::string want = expect::head(25) + expect::kNotRecognised + "\n";
  for (int n = 1; n <= 25; n++) {
    if (n == 9 || n == 20) want += kPrompt;
    want += fmt("Block %3d (%5X):  18 Unknown Block \n\n", n, 10 + 5 * (n - 1));
  }
  r = harness::run({"-info", "-p", g}, expect::keys("q"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, want);
  r = harness::run({"-info", "-p", g}, expect::keys("\x1b"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, want.substr(0, want.find("scroll?")) + kEscape);
  r = harness::run({"-info", g}, expect::keys("\x1b"));  // paging off
  EXPECT_EQ(r.out.find("scroll?"), std::string::npos);
}
