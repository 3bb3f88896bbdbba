// Damaged tapes: the tape of every block type cut at every byte, and with
// seeded random bytes changed. Every run ends by itself with status 0 or 1,
// its text ends with a whole line, and any sound file is complete.
#include <gtest/gtest.h>

#include <random>

#include "support/harness.hpp"
#include "support/tapes.hpp"

namespace {

uint32_t le(const std::string &s, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; i--) v = v << 8 | static_cast<uint8_t>(s[at + static_cast<size_t>(i)]);
  return v;
}

// Header, rate block, a chain of sample blocks, the terminator at the very end.
bool complete_voc(const std::string &f) {
  if (f.size() < 37 || f.compare(0, 20, "Creative Voice File\x1A") != 0 || f[26] != 1) return false;
  size_t at = 33;
  while (at + 4 <= f.size() && f[at] == 2) at += 4 + le(f, at + 1, 3);
  return at + 4 == f.size() && le(f, at, 4) == 0;
}

void check(const tzx::Bytes &image, const std::string &what) {
  harness::TempDir dir;
  tzx::save(dir.file("t.tzx"), image);
  for (std::vector<std::string> args : {std::vector<std::string>{"-info", "-p"}, {"-one", "-x"}, {"-voc"}}) {
    args.push_back(dir.file("t.tzx"));
    if (args[0] == "-voc") args.push_back(dir.file("t.voc"));
    // Keys for pages and selections; a small limit ends looping tapes soon.
    harness::Result r = harness::run_here(args, "1\n2\n\n\n\n\n\n\n", {.max_samples = 1u << 18});
    ASSERT_TRUE(r.status == 0 || r.status == 1) << what << " " << args[0];
    ASSERT_TRUE(r.out.ends_with("\n")) << what << " " << args[0];
    if (args[0] == "-voc" && harness::exists(dir.file("t.voc"))) {
      ASSERT_TRUE(complete_voc(harness::read_file(dir.file("t.voc")))) << what;
    }
  }
}

TEST(Damaged, CutAtEveryByte) {
  const tzx::Bytes whole = tapes::every_block().bytes;
  for (size_t n = 0; n <= whole.size(); n++)
    check(tzx::Bytes(whole.begin(), whole.begin() + n), "cut at " + std::to_string(n));
}

TEST(Damaged, RandomBytesChanged) {
  std::mt19937 rng(20261206);
  const tzx::Bytes whole = tapes::every_block().bytes;
  for (int round = 0; round < 300; round++) {
    tzx::Bytes b = whole;
    for (int k = 0; k < 1 + round % 4; k++) b[10 + rng() % (b.size() - 10)] = static_cast<uint8_t>(rng());
    check(b, "round " + std::to_string(round));
  }
}

}  // namespace
