// TAP and CSW files as input: known by their content (or a TAP by its name),
// played as the TZX blocks they stand for, and damaged.
#include <gtest/gtest.h>

#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace {

using tzx::Bytes, tzx::save, tzx::tap, tzx::csw;

// A conversion's text from its first block on, and its file.
std::pair<std::string, std::string> convert(const std::string &dir, const std::string &name) {
  harness::Result r = harness::run_here({"-au", dir + "/" + name, dir + "/out.au"});
  const size_t first = r.out.find("Block   1:");
  return {first == std::string::npos ? r.out : r.out.substr(first), harness::read_file(dir + "/out.au")};
}

TEST(Inputs, ATapPlaysAsTheTzxOfItsBlocks) {
  harness::TempDir dir;
  const Bytes header = tzx::spectrum_header(3, "code", 4, 32768, 0), data = tzx::data_block(0xFF, {1, 2, 3, 4});
  save(dir.file("t.tap"), tap({header, data}));
  tzx::Tzx().standard(1000, header).standard(1000, data).save(dir.file("t.tzx"));
  EXPECT_EQ(convert(dir.path(), "t.tap"), convert(dir.path(), "t.tzx"));
}

TEST(Inputs, CswVersionsOneAndTwoGiveTheSameSound) {
  harness::TempDir dir;
  const Bytes rle = tzx::rle({10, 10, 20, 300, 10});
  save(dir.file("v1.csw"), csw(1, 1, rle));
  save(dir.file("v2.csw"), csw(2, 1, rle));
  const auto v1 = convert(dir.path(), "v1.csw"), v2 = convert(dir.path(), "v2.csw");
  EXPECT_TRUE(v1.second == v2.second);
  // 350 samples at 22050 Hz are 700 at 44100, from the high level the flag sets.
  EXPECT_EQ(v1.second.substr(32, 21), std::string(20, '\xF0') + '\x10');
  EXPECT_EQ(v1.second.size(), 32 + 700 + 44100u);
}

}  // namespace
