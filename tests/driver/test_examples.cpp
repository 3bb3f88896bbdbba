// The example tapes in examples/ must be exactly what make_examples writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/harness.hpp"

namespace fs = std::filesystem;

TEST(Examples, CommittedFilesMatchTheGenerator) {
  fs::path tool = fs::path(REELWRIGHT_BIN).parent_path() / "tests" / "make_examples";
  ASSERT_TRUE(fs::exists(tool)) << tool << " (build the make_examples target)";
  harness::TempDir dir;
  std::string cmd = "'";  // (appended piece by piece: GCC 12 warns wrongly about operator+ here)
  cmd.append(tool.string()).append("' '").append(dir.path()).append("'");
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

  int files = 0;
  for (const auto &entry : fs::directory_iterator(dir.path())) {
    files++;
    fs::path committed = fs::path(REELWRIGHT_SOURCE_DIR) / "examples" / entry.path().filename();
    ASSERT_TRUE(fs::exists(committed)) << committed;
    std::string made = harness::read_file(entry.path().string());
    EXPECT_FALSE(made.empty()) << entry.path();
    EXPECT_TRUE(made == harness::read_file(committed.string())) << committed << " differs from what make_examples writes";
  }
  EXPECT_GT(files, 0);
}
