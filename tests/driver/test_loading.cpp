// Loading: the header check, the revision line and its warnings, the block
// index (unknown IDs, a truncated last block) and the -b/-e range.
#include <gtest/gtest.h>

#include "support/expect.hpp"

using expect::error;
using expect::head;
using expect::tone_line;

namespace {

std::string write_bytes(const harness::TempDir &dir, const std::string &bytes, const std::string &name) {
  tzx::Tzx t;
  t.bytes.assign(bytes.begin(), bytes.end());
  return expect::save(dir, t, name);
}

}  // namespace

TEST(Loading, HeaderErrors) {
  harness::TempDir dir;
  auto r = harness::run({"-one", dir.file("missing.tzx")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, harness::kBanner + error("File not found"));

  const std::string header("ZXTape!\x1A\x01\x0A", 10);
  for (std::string bad : {std::string("ZXTapf!\x1A\x01\x0A", 10), std::string("zxtape!\x1A\x01\x0A", 10),
                          header.substr(0, 9), header.substr(0, 7), std::string()}) {
    auto r2 = harness::run({"-one", write_bytes(dir, bad, "bad.tzx")});
    EXPECT_EQ(r2.status, 1) << bad.size();
    EXPECT_EQ(r2.out, harness::kBanner + error("File is not in ZXTape format!")) << bad.size();
  }

  r = harness::run({"-one", write_bytes(dir, std::string("ZXTape!\x1A\x00\x05", 10), "dev.tzx")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, harness::kBanner + "\nZXTape file revision 0.05\n" +
                       error("Development versions of ZXTape format are not supported!"));
}

TEST(Loading, RevisionLineAndWarnings) {
  harness::TempDir dir;
  const std::string newer_minor = "\n-- Warning: Some of the data might not be properly recognised!\n";
  const std::string newer_major = "\n-- Warning: Some blocks may not be recognised and used!\n";
  struct Case {
    unsigned major, minor;
    std::string rev, warning;
  };
  for (const Case &c : {Case{1, 2, "1.02", ""}, Case{1, 13, "1.13", ""}, Case{1, 20, "1.20", newer_minor},
                        Case{2, 0, "2.00", newer_major}, Case{2, 20, "2.20", newer_major}}) {
    auto r = harness::run({"-one", expect::save(dir, tzx::Tzx(c.major, c.minor))});
    EXPECT_EQ(r.status, 0) << c.rev;
    EXPECT_EQ(r.out, harness::kBanner + "\nZXTape file revision " + c.rev + "\n" + c.warning + "Number of Blocks: 0\n\n");
  }
  // Byte 7 of the header is not examined.
  auto r = harness::run({"-one", write_bytes(dir, std::string("ZXTape!X\x01\x0A", 10), "x.tzx")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, head(0) + "\n");
}

TEST(Loading, UnknownBlocksAreIndexedByTheirLength) {
  harness::TempDir dir;
  tzx::Tzx t;
  expect::unknown(t, 0x18, 5);  // at 0x0A, 10 bytes
  expect::unknown(t, 0xFF);     // at 0x14, 5 bytes
  expect::unknown(t, 0x29, 1);  // at 0x19, 6 bytes
  t.tone(2168, 7);              // at 0x1F
  auto r = harness::run({"-one", expect::save(dir, t)});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, head(4) + expect::kNotRecognised + "\n" + "  1-    A:    Unknown block 18 !\n" +
                       "  2-   14:    Unknown block FF !\n" + "  3-   19:    Unknown block 29 !\n" + "  4-   1F:" +
                       tone_line(7));
}

TEST(Loading, TruncatedBlockIsNotIndexed) {
  harness::TempDir dir;
  auto ends_inside = [](int n) { return expect::fmt("\n-- Warning: The tape ends inside block %d, which is ignored!\n", n); };
  // Data length 100, but only 10 data bytes follow.
  tzx::Tzx a;
  a.tone(100, 1).tone(100, 2).raw(0x10, {0xE8, 0x03, 100, 0});
  a.bytes.resize(a.bytes.size() + 10, 0);
  auto r = harness::run({"-one", expect::save(dir, a, "a.tzx")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, head(2) + ends_inside(3) + "\n" + "  1-    A:" + tone_line(1) + "  2-    F:" + tone_line(2));
  // The file ends inside the fixed fields of the first block.
  tzx::Tzx b;
  b.raw(0x11, {1, 2, 3, 4, 5});
  r = harness::run({"-one", expect::save(dir, b, "b.tzx")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, head(0) + ends_inside(1) + "\n");
  // A length field far beyond the end of the file.
  tzx::Tzx c;
  c.tone(100, 3).raw(0x35, tzx::Bytes(16, ' '));
  tzx::put32(c.bytes, 0x7FFFFF00u);
  c.bytes.resize(c.bytes.size() + 8, 0);
  r = harness::run({"-one", expect::save(dir, c, "c.tzx")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, head(1) + ends_inside(2) + "\n" + "  1-    A:" + tone_line(3));
}

TEST(Loading, BlockRange) {
  harness::TempDir dir;
  tzx::Tzx t;  // blocks at 0x0A, 0x0F, 0x14, 0x19
  std::string f = expect::save(dir, t.tone(100, 1).tone(100, 2).tone(100, 3).tone(100, 4));
  const std::string l1 = "  1-    A:" + tone_line(1), l2 = "  2-    F:" + tone_line(2);
  const std::string l3 = "  3-   14:" + tone_line(3), l4 = "  4-   19:" + tone_line(4);
  struct Case {
    std::vector<std::string> range;
    std::string lines;
  };
  for (const Case &c : {Case{{"-b", "3", "-e", "3"}, l3}, Case{{"-b", "4"}, l4}, Case{{"-e", "2"}, l1 + l2},
                        Case{{"-b", "1", "-e", "0"}, l1 + l2 + l3 + l4}, Case{{"-e", "4", "-b", "2"}, l2 + l3 + l4}}) {
    std::vector<std::string> args = c.range;
    args.insert(args.begin(), "-one");
    args.push_back(f);
    auto r = harness::run(args);
    EXPECT_EQ(r.status, 0) << c.range[1];
    EXPECT_EQ(r.out, head(4) + "\n" + c.lines) << c.range[1];
  }
  for (const Case &c : {Case{{"-b", "5"}, "Invalid Starting Block"}, Case{{"-e", "5"}, "Invalid Ending Block"},
                        Case{{"-b", "3", "-e", "2"}, "Invalid Ending Block"}}) {
    std::vector<std::string> args = c.range;
    args.push_back(f);
    auto r = harness::run(args);  // replay: the range is checked before anything is opened
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, head(4) + error(c.lines));
  }
}
