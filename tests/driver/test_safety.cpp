// A tape is never written over, whatever the command line; an input that
// cannot be read says why.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace {

TEST(Safety, NoCommandLineWritesOverATape) {
  harness::TempDir dir;
  tzx::Tzx t;
  t.tone(2168, 10);
  t.save(dir.file("a.tzx"));
  t.save(dir.file("b.tzx"));
  std::filesystem::create_hard_link(dir.file("a.tzx"), dir.file("hard.tzx"));
  std::filesystem::create_symlink(dir.file("a.tzx"), dir.file("soft.au"));
  std::ofstream(dir.file("old.au")) << "an old sound file";
  const std::string tape = harness::read_file(dir.file("a.tzx"));
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{"-au", "a.tzx", "a.tzx"}, "a.tzx is the tape being read"},
      {{"-voc", "a.tzx", "./a.tzx"}, "./a.tzx is the tape being read"},
      {{"-wav", "a.tzx", dir.file("a.tzx")}, dir.file("a.tzx") + " is the tape being read"},
      {{"-au", "a.tzx", "hard.tzx"}, "hard.tzx is the tape being read"},
      {{"a.tzx", "soft.au"}, "soft.au is the tape being read"},
      {{"-au", "a.tzx", "b.tzx"}, "b.tzx is a tape image"},  // what "-au *.tzx" gives
  };
  for (const auto &[args, message] : rows) {
    harness::Result r = harness::run(args, {.cwd = dir.path()});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with("\n-- Error: " + message + ": it is not overwritten!\n")) << r.out;
  }
  for (const char *f : {"a.tzx", "b.tzx", "hard.tzx"}) EXPECT_EQ(harness::read_file(dir.file(f)), tape) << f;
  // Any other file is replaced.
  EXPECT_EQ(harness::run({"a.tzx", "old.au"}, {.cwd = dir.path()}).status, 0);
  EXPECT_EQ(harness::read_file(dir.file("old.au")).substr(0, 4), ".snd");
}

TEST(Safety, AnInputThatCannotBeReadSaysWhy) {
  harness::TempDir dir;
  harness::Result r = harness::run({"-one", dir.file("missing.tzx")});
  EXPECT_TRUE(r.out.ends_with("\n-- Error: File not found\n")) << r.out;
  tzx::Tzx().save(dir.file("t.tzx"));
  chmod(dir.file("t.tzx").c_str(), 0);
  r = harness::run({"-one", dir.file("t.tzx")}, {.no_override = true});
  if (r.status == harness::kCannotDrop) GTEST_SKIP() << "root here cannot give up its right to read any file";
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("\n-- Error: Cannot read " + dir.file("t.tzx") + ": Permission denied\n")) << r.out;
}

}  // namespace
