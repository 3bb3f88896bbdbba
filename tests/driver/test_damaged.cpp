// Damaged tapes: a tape holding every block type, cut at every byte and with
// seeded random byte changes. Every run must end by itself with status 0 or
// 1 (never a signal), its text must end with a whole line, and any sound file
// it wrote must be a complete, valid file.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <random>

#include "driver/console.hpp"
#include "driver/run.hpp"
#include "driver/settings.hpp"
#include "support/harness.hpp"
#include "support/tapes.hpp"

namespace {

struct Outcome {
  int status = -1;
  int signal = 0;
  std::string out;
};

// One run in a child process, so that a crash or a hang is seen, not suffered.
Outcome run_child(const std::vector<std::string> &args, const std::string &dir) {
  const std::string text = dir + "/stdout.txt";
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    alarm(20);  // a hang ends as SIGALRM
    ResetState();
    settings.max_samples = 1u << 20;  // looping tapes end soon at the output limit
    console.out = std::fopen(text.c_str(), "w");
    console.in = std::fopen("/dev/null", "r");
    std::vector<std::string> copy = args;
    std::vector<char *> argv;
    for (auto &a : copy) argv.push_back(a.data());
    int status = RunReelwright(static_cast<int>(argv.size()), argv.data());
    std::fclose(console.out);
    _exit(status);
  }
  int st = 0;
  waitpid(pid, &st, 0);
  Outcome o;
  if (WIFEXITED(st)) o.status = WEXITSTATUS(st);
  if (WIFSIGNALED(st)) o.signal = WTERMSIG(st);
  o.out = harness::read_file(text);
  return o;
}

uint32_t le(const std::string &s, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; i--) v = v << 8 | static_cast<unsigned char>(s[at + static_cast<size_t>(i)]);
  return v;
}

// Header, opening block, a chain of sample blocks and the terminator at the end.
::testing::AssertionResult valid_voc(const std::string &f) {
  if (f.size() < 26 + 7 + 4 || f.compare(0, 20, "Creative Voice File\x1A") != 0)
    return ::testing::AssertionFailure() << "no VOC header, " << f.size() << " bytes";
  size_t at = 26;
  if (f[at] == 1) at += 7;
  else if (f[at] == 9) at += 17;
  else return ::testing::AssertionFailure() << "no opening block";
  while (at + 4 <= f.size() && f[at] == 2) at += 4 + le(f, at + 1, 3);
  if (at + 4 != f.size() || le(f, at, 4) != 0)
    return ::testing::AssertionFailure() << "block chain ends at " << at << " of " << f.size();
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult valid_au(const std::string &f) {
  if (f.size() < 32 || f.compare(0, 4, ".snd") != 0) return ::testing::AssertionFailure() << "no AU header";
  uint32_t size = static_cast<uint32_t>(static_cast<unsigned char>(f[8])) << 24 |
                  static_cast<uint32_t>(static_cast<unsigned char>(f[9])) << 16 |
                  static_cast<uint32_t>(static_cast<unsigned char>(f[10])) << 8 | static_cast<unsigned char>(f[11]);
  if (size != f.size() - 32) return ::testing::AssertionFailure() << "dataSize " << size << " for " << f.size();
  return ::testing::AssertionSuccess();
}

// Every mode on one image; failures name the case.
void check_image(const tzx::Bytes &image, const std::string &what, bool all_modes) {
  harness::TempDir dir;
  const std::string tape = dir.file("t.tzx"), voc = dir.file("t.voc"), au = dir.file("t.au");
  {
    std::FILE *f = std::fopen(tape.c_str(), "wb");
    if (!image.empty()) std::fwrite(image.data(), 1, image.size(), f);
    std::fclose(f);
  }
  std::vector<std::vector<std::string>> runs = {{"reelwright", "-info", tape},
                                                {"reelwright", "-voc", "-freq", "8000", tape, voc}};
  if (all_modes) {
    runs.push_back({"reelwright", "-one", "-x", tape});
    runs.push_back({"reelwright", "-au", "-freq", "8000", tape, au});
  }
  for (const auto &args : runs) {
    Outcome o = run_child(args, dir.path());
    ASSERT_EQ(o.signal, 0) << what << ": " << args[1] << " ended by signal " << o.signal;
    ASSERT_TRUE(o.status == 0 || o.status == 1) << what << ": " << args[1] << " status " << o.status;
    ASSERT_FALSE(o.out.empty());
    ASSERT_EQ(o.out.back(), '\n') << what << ": " << args[1] << " text ends mid-line";
    if (args[1] == "-voc" && harness::exists(voc)) {
      ASSERT_TRUE(valid_voc(harness::read_file(voc))) << what;
    }
    if (args[1] == "-au" && harness::exists(au)) {
      ASSERT_TRUE(valid_au(harness::read_file(au))) << what;
    }
  }
}

TEST(DamagedTapes, CutAtEveryByte) {
  const tzx::Bytes whole = tzx::every_block_tape().bytes;
  for (size_t n = 0; n <= whole.size(); n++) {
    check_image(tzx::Bytes(whole.begin(), whole.begin() + static_cast<long>(n)), "cut at " + std::to_string(n), false);
    if (HasFatalFailure()) return;
  }
}

TEST(DamagedTapes, SeededRandomByteChanges) {
  const tzx::Bytes whole = tzx::every_block_tape().bytes;
  std::mt19937 rng(20261206);
  for (int round = 0; round < 150; round++) {
    tzx::Bytes b = whole;
    int changes = 1 + static_cast<int>(rng() % 8);
    for (int c = 0; c < changes; c++) {
      size_t at = 10 + rng() % (b.size() - 10);  // the header stays readable
      b[at] = static_cast<uint8_t>(rng() % 4 == 0 ? 0xFF : rng());
    }
    check_image(b, "round " + std::to_string(round), true);
    if (HasFatalFailure()) return;
  }
}

}  // namespace

namespace {

// A tape that goes round a circle of blocks for ever ends as soon as the
// circle is seen, whether or not the circle plays anything; the sound file
// written so far stays complete. (Found by the fuzzer: a loop that played one
// sample per round would have printed for days before the output limit.)
TEST(DamagedTapes, EndlessLoopsEndAtOnce) {
  harness::TempDir dir;
  tzx::Tzx sounding, silent, keyed;
  sounding.text("x").text("y").tone(100, 1).jump(-3);
  silent.group("quiet").text("x").jump(-1);
  for (const tzx::Tzx *t : {&sounding, &silent}) {
    t->save(dir.file("t.tzx"));
    for (const char *sw : {"-voc", "-au"}) {
      auto r = harness::run({sw, dir.file("t.tzx"), dir.file("t.out")});
      EXPECT_FALSE(r.timed_out);
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.out.substr(r.out.size() - 36), "\n-- Error: The tape loops for ever!\n") << r.out;
      std::string f = harness::read_file(dir.file("t.out"));
      EXPECT_TRUE(std::string(sw) == "-voc" ? valid_voc(f) : valid_au(f));
    }
  }
  // A circle through a selection is the user's choice each time: it goes on
  // for as long as keys come, and ends when they lead elsewhere.
  keyed.tone(100, 1).select({{-1, "again"}, {1, "on"}}).tone(200, 1);
  keyed.save(dir.file("k.tzx"));
  harness::Options keys;
  keys.input = "1112";  // one character per selection
  auto r = harness::run({"-au", dir.file("k.tzx"), dir.file("k.au")}, keys);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '>'), 2 * 4) << r.out;  // four selections made
}

}  // namespace
