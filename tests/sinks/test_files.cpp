// What happens when a sound file cannot be written. (The files' layouts are
// checked byte for byte end to end: tests/data/golden.)
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <thread>

#include "format/failure.hpp"
#include "os/files.hpp"
#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace {


// `n` bytes of `v`, least significant first; be(): four, most significant first.
std::string le(uint32_t v, int n) {
  std::string s;
  for (int i = 0; i < n; i++) s += static_cast<char>(v >> (8 * i));
  return s;
}
std::string be(uint32_t v) { return le(__builtin_bswap32(v), 4); }

TEST(SoundFile, FailuresToWriteNameTheFileAndLeaveNoBrokenFile) {
  harness::TempDir dir;
  tzx::Tzx().tone(2168, 30000).save(dir.file("t.tzx"));  // about 10 seconds: far more than the limit below
  struct Row {
    std::vector<std::string> out;
    long limit;
    std::string message;
  };
  std::vector<Row> rows = {
      {{"-au", dir.file("t.tzx"), "/dev/full"}, 0, "Cannot write to /dev/full: No space left on device"},
      {{"-voc", dir.file("t.tzx"), dir.file("big.voc")}, 100000,
       "Cannot write to " + dir.file("big.voc") + ": File too large (the unfinished file is removed)"},
      {{"-au", dir.file("t.tzx"), dir.file("no/such/dir.au")}, 0,
       "Cannot create " + dir.file("no/such/dir.au") + ": No such file or directory"},
  };
  const bool full = harness::exists("/dev/full");  // a device: never removed
  if (!full) rows.erase(rows.begin());
  for (const Row &r : rows) {
    harness::Result res = harness::run(r.out, {.file_size_limit = r.limit});
    EXPECT_EQ(res.status, 1);
    EXPECT_TRUE(res.out.ends_with("\n-- Error: " + r.message + "\n")) << res.out;
  }
  EXPECT_FALSE(harness::exists(dir.file("big.voc")));
  if (!full) GTEST_SKIP() << "the rest passed; no device that is always full here (Linux has /dev/full)";
}

TEST(SoundFile, TheOutputLimitEndsTheRunWithACompleteFile) {
  harness::TempDir dir;
  tzx::Tzx().tone(2168, 100).save(dir.file("t.tzx"));  // 27 samples a pulse at 44100 Hz
  harness::Result r = harness::run_here({"-au", dir.file("t.tzx"), dir.file("t.au")}, "", {.max_samples = 1000});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out.ends_with("\n-- Error: The output grew too long: a sound file holds at most 1000 samples!\n"))
      << r.out;
  // 37 whole pulses fit; the file is finished with them.
  const std::string f = harness::read_file(dir.file("t.au"));
  EXPECT_EQ(f.size(), 32 + 37 * 27u);
  EXPECT_EQ(f.substr(8, 4), be(37 * 27));
}

}  // namespace

namespace {

// A gathered write that a signal cuts short inside a piece goes on from the
// byte where it stopped: a pipe takes 64 KiB while its reader waits, then a
// signal (whose handler does not restart calls) ends the blocked write.
TEST(File, AWriteCutShortInsideAPieceGoesOnWhereItStopped) {
  harness::TempDir dir;
  const std::string fifo = dir.file("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string bytes(200000, '\0');
  for (size_t i = 0; i < bytes.size(); i++) bytes[i] = static_cast<char>(i * 7 % 251);
  struct sigaction quiet = {}, before = {};
  quiet.sa_handler = [](int) {};
  sigaction(SIGUSR1, &quiet, &before);
  std::string got;
  std::thread reader([&] {
    std::ifstream in(fifo, std::ios::binary);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    got.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  });
  const pthread_t writer = pthread_self();
  std::thread signal([writer] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    pthread_kill(writer, SIGUSR1);
  });
  os::File f;
  ASSERT_EQ(f.create(fifo), 0);
  const os::Piece pieces[] = {{bytes.data(), 100000}, {bytes.data() + 100000, 0}, {bytes.data() + 100000, 100000}};
  EXPECT_EQ(f.write(pieces), 0);
  EXPECT_EQ(f.close(), 0);
  signal.join(), reader.join();
  sigaction(SIGUSR1, &before, nullptr);
  EXPECT_TRUE(got == bytes) << got.size() << " bytes read";
}

}  // namespace
