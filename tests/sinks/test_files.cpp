// Sound files byte for byte, as their formats lay them out, and what happens
// when one cannot be written.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>

#include <thread>

#include "format/failure.hpp"
#include "os/files.hpp"
#include "sinks/sound_file.hpp"
#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace {

using sinks::AuFile;
using sinks::VocFile;

// `n` bytes of `v`, least significant first; be(): four, most significant first.
std::string le(uint32_t v, int n) {
  std::string s;
  for (int i = 0; i < n; i++) s += static_cast<char>(v >> (8 * i));
  return s;
}
std::string be(uint32_t v) { return le(__builtin_bswap32(v), 4); }

const std::string kVocHead("Creative Voice File\x1A\x1A\x00\x0A\x01\x29\x11", 26);

// Writes `n` samples (the first `high` of them 240, the rest 16) at `rate`,
// half as ready-made samples and half as a run, and returns the file.
template <class File>
std::string write(const std::string &path, int rate, size_t n, size_t high = 0) {
  File f(path, File::kMaxSamples);
  EXPECT_EQ(f.begin(rate), rate);
  std::vector<uint8_t> s(n / 2, 16);
  for (size_t i = 0; i < high && i < s.size(); i++) s[i] = 240;
  f.samples(s);
  f.run(16, n - n / 2);
  f.finish();
  return harness::read_file(path);
}

TEST(VocFile, HeaderRateBlockSampleBlocksAndTerminator) {
  harness::TempDir dir;
  const std::string p = dir.file("t.voc");
  // No samples: header, rate block (type 1 below 35001 Hz, with one sample
  // of 0 and the time constant 256 - 1000000 / rate), terminator.
  EXPECT_EQ(write<VocFile>(p, 30303, 0), kVocHead + std::string("\x01\x03\x00\x00\xDF\x00\x00", 7) + le(0, 4));
  EXPECT_EQ(write<VocFile>(p, 35000, 0).substr(26, 7), std::string("\x01\x03\x00\x00\xE4\x00\x00", 7));
  // Above 35000 Hz: type 9 with the rate in full, 8 bits, mono.
  EXPECT_EQ(write<VocFile>(p, 44100, 0).substr(26),
            std::string("\x09\x0D\x00\x00\x44\xAC\x00\x00\x08\x01\x00\x00\x00\x00\x00\x00\x00", 17) + le(0, 4));
  // 65535 samples fill one block; one more opens a second of one sample.
  const std::string opening("\x01\x03\x00\x00\xDF\x00\x00", 7);
  EXPECT_EQ(write<VocFile>(p, 30303, 65535, 3),
            kVocHead + opening + std::string("\x02\xFF\xFF\x00", 4) + std::string(3, '\xF0') +
                std::string(65532, '\x10') + le(0, 4));
  const std::string two = write<VocFile>(p, 30303, 65536);
  EXPECT_EQ(two.size(), 26 + 7 + 4 + 65535 + 4 + 1 + 4u);
  EXPECT_EQ(two.substr(26 + 7 + 4 + 65535, 5), std::string("\x02\x01\x00\x00\x10", 5));
}

TEST(AuFile, BigEndianHeaderCountsTheSamples) {
  harness::TempDir dir;
  const std::string f = write<AuFile>(dir.file("t.au"), 44100, 5, 2);
  EXPECT_EQ(f, ".snd" + be(32) + be(5) + be(2) + be(44100) + be(1) + std::string(8, '\0') + "\xF0\xF0\x10\x10\x10");
  // Many chunks: the count is still the file's length less the header.
  const std::string big = write<AuFile>(dir.file("big.au"), 8000, 700000);
  EXPECT_EQ(big.size(), 32 + 700000u);
  EXPECT_EQ(big.substr(8, 4), be(700000));
}

TEST(WavFile, RiffHeaderFormatAndDataChunksAndAPadByte) {
  harness::TempDir dir;
  const std::string f = write<sinks::WavFile>(dir.file("t.wav"), 22050, 3, 1);
  // RIFF size: 4 ("WAVE") + 8 + 16 (format chunk) + 8 + 3 samples + 1 pad byte.
  EXPECT_EQ(f, "RIFF" + le(40, 4) + "WAVEfmt " + le(16, 4) + le(1, 2) + le(1, 2) + le(22050, 4) + le(22050, 4) +
                   le(1, 2) + le(8, 2) + "data" + le(3, 4) + "\xF0\x10\x10" + std::string(1, '\0'));
  EXPECT_EQ(write<sinks::WavFile>(dir.file("t.wav"), 8000, 2).substr(4, 4), le(38, 4));
}

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
