// The Windows program, run under Wine (`make test-windows`): the end-to-end
// cases give exactly what the Linux program gives, and Windows' own ways of
// naming a file (backslashes, drive letters, any case, any script) reach the
// same files. Skipped unless REELWRIGHT_WINDOWS_EXE names the program.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>

#include "support/golden.hpp"

namespace {

namespace fs = std::filesystem;

const std::string kWindows = std::string(REELWRIGHT_SOURCE_DIR) + "/scripts/wine-reelwright";

#define NEEDS_THE_WINDOWS_PROGRAM()           \
  if (!std::getenv("REELWRIGHT_WINDOWS_EXE")) \
  GTEST_SKIP() << "REELWRIGHT_WINDOWS_EXE is not set: `make test-windows` builds the program and runs these"

// What a run leaves: its status and text, then each file of its folder, by
// name, with its size and digest.
std::string leaves(const harness::Result &r, const std::string &dir) {
  std::string s = "status " + std::to_string(r.status) + "\n" + r.out;
  std::vector<std::string> names;
  for (const auto &e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) names.push_back(fs::relative(e.path(), dir).generic_string());
  std::sort(names.begin(), names.end());
  for (const std::string &n : names) {
    const std::string b = harness::read_file(dir + "/" + n);
    s += "\n" + n + " " + std::to_string(b.size()) + " " + std::to_string(golden::fnv1a(b));
  }
  return s;
}

using MakeFolder = std::function<void(const std::string &dir)>;

// Twin folders made by `setup`: the Linux program runs `linux_args` in one,
// the Windows program `windows_args` in the other; both must leave the same.
// Live play finds no sound device on either side.
void twins(const MakeFolder &setup, const std::vector<std::string> &linux_args,
           const std::vector<std::string> &windows_args, const std::string &keys = "") {
  harness::TempDir l, w;
  setup(l.path());
  setup(w.path());
  harness::Options lo{.input = keys, .cwd = l.path(), .env = {"SDL_AUDIODRIVER=no-such-driver"}, .seconds = 120};
  harness::Options wo = lo;
  wo.cwd = w.path(), wo.program = kWindows;
  EXPECT_EQ(leaves(harness::run(windows_args, wo), w.path()), leaves(harness::run(linux_args, lo), l.path()));
}

void demo_as(const std::string &dir, const std::string &name) {
  fs::copy_file(std::string(REELWRIGHT_SOURCE_DIR) + "/examples/demo.tzx", dir + "/" + name);
}

TEST(Windows, GoldenCasesGiveTheStoredTextsAndFiles) {
  NEEDS_THE_WINDOWS_PROGRAM();
  golden::check_all(kWindows);
}

TEST(Windows, EveryCommandLineOfTheTableRunsAsOnLinux) {
  NEEDS_THE_WINDOWS_PROGRAM();
  std::istringstream table(harness::read_file(std::string(REELWRIGHT_SOURCE_DIR) + "/tests/data/command-lines.txt"));
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line.substr(0, line.find(" => ")));
    const std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
    SCOPED_TRACE(line);
    twins([](const std::string &d) { demo_as(d, "t.tzx"); }, args, args);
  }
}

TEST(Windows, DamagedTapesEndAsOnLinux) {
  NEEDS_THE_WINDOWS_PROGRAM();
  const tzx::Bytes whole = tapes::every_block().bytes;
  for (size_t n = 0; n <= whole.size(); n += 37) {
    SCOPED_TRACE("cut at " + std::to_string(n));
    const MakeFolder cut = [&](const std::string &d) { tzx::save(d + "/t.tzx", tzx::Bytes(whole.begin(), whole.begin() + n)); };
    for (const std::vector<std::string> &args : {std::vector<std::string>{"-info", "-p", "t.tzx"},
                                                 {"-one", "-x", "t.tzx"}, {"-voc", "t.tzx", "t.voc"}})
      twins(cut, args, args, "1\n2\n\n\n\n\n\n\n");
  }
}

TEST(Windows, NamesInAnyScriptAndWindowsPathsReachTheSameFiles) {
  NEEDS_THE_WINDOWS_PROGRAM();
  const MakeFolder names = [](const std::string &d) {
    demo_as(d, "tépé ∑.tzx");
    fs::create_directory(d + "/d.x");
    demo_as(d, "d.x/t");
  };
  const std::pair<std::vector<std::string>, std::vector<std::string>> rows[] = {
      {{"-one", "tépé ∑.tzx"}, {"-one", "tépé ∑.tzx"}},
      {{"-au", "tépé ∑.tzx"}, {"-au", "tépé ∑.tzx"}},
      {{"-b", "6", "tépé ∑.tzx", "ünï €.wav"}, {"-b", "6", "tépé ∑.tzx", "ünï €.wav"}},
      // The '.' of a folder's name is no extension, whichever separator.
      {{"-voc", "-b", "6", "d.x/t"}, {"-voc", "-b", "6", "d.x\\t"}},
      {{"-b", "5", "d.x/t", "d.x/out.au"}, {"-b", "5", "d.x\\t", "d.x\\out.au"}},
  };
  for (const auto &[linux_args, windows_args] : rows) twins(names, linux_args, windows_args);
}

TEST(Windows, BadInputEndsAsOnLinux) {
  NEEDS_THE_WINDOWS_PROGRAM();
  const MakeFolder files = [](const std::string &d) {
    demo_as(d, "t.tzx");
    fs::create_directory(d + "/folder");
    std::ofstream(d + "/notes.txt") << "no tape\r\n";
  };
  for (const std::vector<std::string> &args : {
           std::vector<std::string>{"-one", "missing.tzx"},
           {"-one", "folder"},              // Is a directory
           {"-au", "t.tzx", "folder"},      // the same, for the output
           {"-au", "t.tzx", "no/such/x.au"},  // No such file or directory
           {"-info", "notes.txt"},          // not a tape
           {"t.tzx"},                       // live play with no sound output
       })
    twins(files, args, args);
}

TEST(Windows, AFailedWriteRemovesTheUnfinishedFile) {
  NEEDS_THE_WINDOWS_PROGRAM();
  harness::TempDir dir;
  demo_as(dir.path(), "t.tzx");
  const harness::Result r =
      harness::run({"-voc", "t.tzx", "big.voc"}, {.cwd = dir.path(), .file_size_limit = 100000, .program = kWindows});
  EXPECT_EQ(r.status, 1);
  // The reason is Wine's translation of the Linux error: only the outcome counts.
  EXPECT_TRUE(r.out.starts_with(harness::kBanner)) << r.out;
  EXPECT_TRUE(r.out.ends_with(" (the unfinished file is removed)\n")) << r.out;
  EXPECT_NE(r.out.find("\n-- Error: Cannot write to big.voc: "), std::string::npos) << r.out;
  EXPECT_FALSE(harness::exists(dir.file("big.voc")));
}

TEST(Windows, NoNameOfATapeWritesOverIt) {
  NEEDS_THE_WINDOWS_PROGRAM();
  harness::TempDir dir;
  tzx::Tzx t;
  t.tone(2168, 10);
  t.save(dir.file("a.tzx"));
  t.save(dir.file("b.tzx"));
  fs::create_directory(dir.file("sub"));
  fs::create_hard_link(dir.file("a.tzx"), dir.file("hard.tzx"));
  std::string drive = "Z:" + dir.path();  // Wine's drive Z: is the Linux root
  std::replace(drive.begin(), drive.end(), '/', '\\');
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{"-au", "a.tzx", "A.TZX"}, "A.TZX is the tape being read"},
      {{"-voc", "a.tzx", ".\\a.tzx"}, ".\\a.tzx is the tape being read"},
      {{"-wav", "a.tzx", drive + "\\A.tzx"}, drive + "\\A.tzx is the tape being read"},
      {{"-au", drive + "\\a.tzx", "sub\\..\\Hard.tzx"}, "sub\\..\\Hard.tzx is the tape being read"},
      {{"-au", "a.tzx", "B.TZX"}, "B.TZX is a tape image"},
  };
  const std::string tape = harness::read_file(dir.file("a.tzx"));
  for (const auto &[args, message] : rows) {
    const harness::Result r = harness::run(args, {.cwd = dir.path(), .program = kWindows});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with("\n-- Error: " + message + ": it is not overwritten!\n")) << r.out;
  }
  for (const char *f : {"a.tzx", "b.tzx", "hard.tzx"}) EXPECT_EQ(harness::read_file(dir.file(f)), tape) << f;
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 4);  // nothing new
}

}  // namespace
