// The block loop: per-block prefixes in conversion and in both listings,
// unknown blocks, and the page prompt of the one-line listing.
#include <gtest/gtest.h>

#include <set>

#include "support/expect.hpp"
#include "support/samples.hpp"

using expect::fmt;
using expect::head;

TEST(BlockLoop, PrefixesAndUnknownBlocksInAllModes) {
  // 100 unknown blocks; the first is 65541 bytes long, so that the later
  // offsets need five hexadecimal digits.
  tzx::Tzx t;
  std::vector<std::pair<size_t, unsigned>> blocks;  // (file offset, ID)
  const unsigned ids[] = {0x00, 0x29, 0x5B, 0xFF, 0x18};
  for (int i = 0; i < 100; i++) {
    unsigned id = i == 0 ? 0x18 : ids[i % 5];
    blocks.emplace_back(t.offset(), id);
    expect::unknown(t, id, i == 0 ? 0x10000 : 0);
  }
  ASSERT_EQ(blocks[1].first, 0x1000Fu);
  harness::TempDir dir;
  std::string f = expect::save(dir, t);

  std::string one = head(100) + expect::kNotRecognised + "\n", info = one;
  std::string conv = head(100) + expect::kNotRecognised + "\nCreating .VOC file using 30303 Hz frequency.\n\n";
  for (int i = 0; i < 100; i++) {
    auto [off, id] = blocks[static_cast<size_t>(i)];
    one += fmt("%3d-%5X:    Unknown block %02X !\n", i + 1, static_cast<unsigned>(off), id);
    info += fmt("Block %3d (%5X):  %02X Unknown Block \n\n", i + 1, static_cast<unsigned>(off), id);
    conv += fmt("Block %3d:    Unknown block %02X !\n", i + 1, id);
  }
  auto r = harness::run({"-one", f});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, one);
  r = harness::run({"-info", f});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, info);
  // Unknown blocks make no sound: the file holds the closing second only.
  const std::string second = samples::voc_file(std::string(samples::pause(30303, 1000), 16), 30303);
  r = harness::run({"-voc", f});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, conv);
  EXPECT_EQ(harness::read_file(dir.file("tape.VOC")), second);
  // The range applies to conversion too; blocks keep their numbers.
  r = harness::run({"-voc", "-b", "9", "-e", "10", f});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, head(100) + expect::kNotRecognised + "\nCreating .VOC file using 30303 Hz frequency.\n\n" +
                       fmt("Block   9:    Unknown block %02X !\n", ids[8 % 5]) +
                       fmt("Block  10:    Unknown block %02X !\n", ids[9 % 5]));
  EXPECT_EQ(harness::read_file(dir.file("tape.VOC")), second);
}

namespace {

// The "-one" listing of `tones` pure tones (pulse counts 1, 2, ...) after
// `unknown` unknown blocks of 5 bytes, with "scroll?" before the blocks in
// `prompts`, cut off after the prompt before block `stop` if given.
std::string one_line_listing(int unknown, int tones, const std::set<int> &prompts, int stop = 0) {
  std::string s = head(unknown + tones) + (unknown ? expect::kNotRecognised : "") + "\n";
  for (int n = 1; n <= unknown + tones; n++) {
    if (prompts.count(n)) s += "scroll?\n";
    if (n == stop) return s + expect::error("ESCAPE key pressed!");
    s += fmt("%3d-%5X:", n, 10 + 5 * (n - 1));
    s += n <= unknown ? "    Unknown block 18 !\n" : expect::tone_line(n - unknown);
  }
  return s;
}

std::string tones_tape(const harness::TempDir &dir, int unknown, int tones) {
  tzx::Tzx t;
  for (int i = 0; i < unknown; i++) expect::unknown(t, 0x18);
  for (int i = 1; i <= tones; i++) t.tone(100, static_cast<unsigned>(i));
  return expect::save(dir, t);
}

}  // namespace

TEST(BlockLoop, OneLinePaging) {
  harness::TempDir dir;
  std::string f = tones_tape(dir, 0, 45);
  // No warnings: the first prompt comes before block 19, the next 23 blocks later.
  for (std::string input : {std::string("x\n"), std::string(), std::string("\0\x1b", 2)}) {
    auto r = harness::run({"-one", "-p", f}, expect::keys(input));
    EXPECT_EQ(r.status, 0) << input.size();
    EXPECT_EQ(r.out, one_line_listing(0, 45, {19, 42})) << input.size();
  }
  auto r = harness::run({"-one", "-p", f}, expect::keys("\x1b"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, one_line_listing(0, 45, {19}, 19));
  r = harness::run({"-one", "-p", f}, expect::keys("a\x1b"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, one_line_listing(0, 45, {19, 42}, 42));
  // Without -p there is no prompt.
  r = harness::run({"-one", f}, expect::keys("\x1b"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, one_line_listing(0, 45, {}));

  // The unknown-block warning takes two lines of the first page.
  harness::TempDir dir2;
  r = harness::run({"-one", "-p", tones_tape(dir2, 1, 19)});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, one_line_listing(1, 19, {17}));
}
