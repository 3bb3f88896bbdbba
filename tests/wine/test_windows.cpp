// The Windows program under Wine (`make test-windows`) gives what the Linux one
// gives, and Windows' ways of naming a file (backslashes, drive letters, any
// case, any script) reach the same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "support/golden.hpp"

namespace {

namespace fs = std::filesystem;
const std::string kSource = REELWRIGHT_SOURCE_DIR, kWindows = kSource + "/scripts/wine-reelwright";

struct Windows : testing::Test {
  void SetUp() override {
    if (!std::getenv("REELWRIGHT_WINDOWS_EXE")) GTEST_SKIP() << "no REELWRIGHT_WINDOWS_EXE: make test-windows runs it";
  }
};

// What a run leaves: status, text, and each file of its folder (size, digest).
std::string leaves(const harness::Result &r, const std::string &dir) {
  std::map<std::string, std::string> files;  // in name order
  for (const auto &e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file())
      files[fs::relative(e.path(), dir).generic_string()] = harness::read_file(e.path().string());
  std::string s = "status " + std::to_string(r.status) + "\n" + r.out;
  for (const auto &[n, b] : files)
    s += "\n" + n + " " + std::to_string(b.size()) + " " + std::to_string(golden::fnv1a(b));
  return s;
}

// Twin folders `fill` makes alike: the Linux program runs `linux_args` in one,
// the Windows program `windows_args` in the other; both must leave the same
// (live play finds no sound output on either side).
template <class Fill>
void twins(const Fill &fill, const std::vector<std::string> &linux_args, const std::vector<std::string> &windows_args,
           const std::string &keys = "") {
  harness::TempDir l, w;
  fill(l.path()), fill(w.path());
  harness::Options lo{.input = keys, .cwd = l.path(), .env = {"SDL_AUDIODRIVER=no-such-driver"}, .seconds = 120};
  harness::Options wo = lo;
  wo.cwd = w.path(), wo.program = kWindows;
  wo.env = {"WINEDLLOVERRIDES=winealsa.drv,winepulse.drv,wineoss.drv=d"};  // Wine has no sound driver
  EXPECT_EQ(leaves(harness::run(windows_args, wo), w.path()), leaves(harness::run(linux_args, lo), l.path()));
}

// The folder of tests/data/windows-cases.txt.
void folder(const std::string &d) {
  fs::create_directory(d + "/d.x"), fs::create_directory(d + "/sub");
  for (const char *name : {"t.tzx", "a.tzx", "b.tzx", "tépé ∑.tzx", "d.x/t"})
    fs::copy(kSource + "/examples/demo.tzx", d + "/" + name);
  fs::create_hard_link(d + "/a.tzx", d + "/hard.tzx");
  std::ofstream(d + "/notes.txt") << "no tape\r\n";
}

std::vector<std::string> split(const std::string &s, const std::string &by = ", ") {
  std::vector<std::string> parts;
  for (size_t at = 0, end; at < s.size(); at = end + by.size())
    parts.push_back(s.substr(at, (end = std::min(s.find(by, at), s.size())) - at));
  return parts;
}

TEST_F(Windows, GoldenCasesGiveTheStoredTextsAndFiles) { golden::check_all(kWindows); }

TEST_F(Windows, EveryCommandLineOfTheTableRunsAsOnLinux) {
  for (const std::string &line : split(harness::read_file(kSource + "/tests/data/command-lines.txt"), "\n")) {
    const std::vector<std::string> args = split(line.substr(0, line.find(" => ")), " ");
    if (!line.starts_with("#")) twins(folder, args, args);
  }
}

TEST_F(Windows, DamagedTapesEndAsOnLinux) {
  const tzx::Bytes whole = tapes::every_block().bytes;
  for (size_t n = 0; n <= whole.size(); n += 37) {
    const tzx::Bytes tape(whole.begin(), whole.begin() + n);
    const auto cut = [&tape](const std::string &d) { tzx::save(d + "/t.tzx", tape); };
    for (const char *a : {"-info, -p, t.tzx", "-one, -x, t.tzx", "-voc, t.tzx, t.voc"})
      twins(cut, split(a), split(a), "1\n2\n\n\n\n\n\n\n");
  }
}

TEST_F(Windows, NamesPathsBadInputAndTapesThatAreNotOverwritten) {
  int rows = 0;
  for (const std::string &line : split(harness::read_file(kSource + "/tests/data/windows-cases.txt"), "\n")) {
    if (line.empty() || line[0] == '#') continue;
    SCOPED_TRACE(line);
    const size_t colon = line.find(": "), arrow = line.find(" => ");
    const std::string args = line.substr(colon + 2, arrow - colon - 2);
    const std::string then = arrow == std::string::npos ? args : line.substr(arrow + 4);
    rows++;
    if (line.starts_with("same")) {
      twins(folder, split(args), split(then));
      continue;
    }
    harness::TempDir dir;
    folder(dir.path());
    std::string z = "Z:" + dir.path();  // Wine's drive Z: is the Linux root
    std::replace(z.begin(), z.end(), '/', '\\');
    auto in_z = [&z](std::string s) { return s.starts_with("{Z}") ? s.replace(0, 3, z) : s; };
    std::vector<std::string> a = split(args);
    std::transform(a.begin(), a.end(), a.begin(), in_z);
    const std::string before = leaves({}, dir.path());
    const harness::Result r = harness::run(a, {.cwd = dir.path(), .program = kWindows});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.ends_with("\n-- Error: " + in_z(then) + ": it is not overwritten!\n")) << r.out;
    EXPECT_EQ(leaves({}, dir.path()), before);
  }
  EXPECT_GE(rows, 15);
}

TEST_F(Windows, AFailedWriteRemovesTheUnfinishedFile) {
  harness::TempDir dir;
  folder(dir.path());
  const harness::Result r =
      harness::run({"t.tzx", "big.voc"}, {.cwd = dir.path(), .file_size_limit = 99999, .program = kWindows});
  // The reason is Wine's translation of the Linux error: only the outcome counts.
  EXPECT_TRUE(r.status == 1 && r.out.find("\n-- Error: Cannot write to big.voc: ") != std::string::npos) << r.out;
  EXPECT_TRUE(r.out.ends_with(" (the unfinished file is removed)\n") && !harness::exists(dir.file("big.voc"))) << r.out;
}

}  // namespace
