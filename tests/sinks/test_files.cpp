// The VOC and AU writers end to end: file layout byte for byte, the rate
// block, continuation blocks, the AU header, the console text of a
// conversion and failures to write the file.
#include <gtest/gtest.h>

#include <string>

#include "support/expect.hpp"
#include "support/harness.hpp"
#include "support/samples.hpp"
#include "support/tzx.hpp"

namespace {

using samples::LOW;

std::string EmptyTape(const harness::TempDir &dir) {
  tzx::Tzx().save(dir.file("tape.tzx"));
  return dir.file("tape.tzx");
}

// The closing second of a tape without blocks: freq samples of level 16.
std::string Silence(int n) { return std::string(static_cast<size_t>(n), static_cast<char>(LOW)); }

TEST(VocFile, EmptyTapeHoldsOneSecondAtDefaultRateAndVocWins) {
  harness::TempDir dir;
  std::string tape = EmptyTape(dir);
  // With -au as well, only the VOC file is written.
  harness::Result r = harness::run({"-voc", "-au", tape});
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_FALSE(harness::exists(dir.file("tape.au")));
  std::string f = harness::read_file(dir.file("tape.VOC"));
  EXPECT_TRUE(f == samples::voc_file(Silence(30303), 30303));
  // Rate block type 1 with time constant 256 - 33.
  ASSERT_GT(f.size(), 31u);
  EXPECT_EQ(f[26], '\x01');
  EXPECT_EQ(static_cast<uint8_t>(f[30]), 223);
}

TEST(VocFile, RateBlockByFrequency) {
  struct Case {
    int freq;
    int type;
    std::string rate_bytes;  // time constant (type 1) or rate (type 9)
  };
  const Case cases[] = {
      {35000, 1, "\xE4"},                       // 256 - 28 = 228
      {22050, 1, "\xD3"},                       // 256 - 45 = 211
      {35001, 9, std::string("\xB9\x88\x00\x00", 4)},
      {44100, 9, std::string("\x44\xAC\x00\x00", 4)},
  };
  harness::TempDir dir;
  std::string tape = EmptyTape(dir);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.freq);
    harness::Result r = harness::run({"-voc", "-freq", std::to_string(c.freq), tape, dir.file("out.voc")});
    ASSERT_EQ(r.status, 0) << r.out;
    std::string f = harness::read_file(dir.file("out.voc"));
    EXPECT_TRUE(f == samples::voc_file(Silence(c.freq), c.freq));
    ASSERT_GT(f.size(), 34u);
    EXPECT_EQ(f[26], static_cast<char>(c.type));
    EXPECT_EQ(f.substr(30, c.rate_bytes.size()), c.rate_bytes);
  }
}

TEST(VocFile, ContinuationBlocksSplitAt65535Samples) {
  harness::TempDir dir;
  std::string tape = EmptyTape(dir);
  // The closing second at these rates is 65535 and 65536 samples.
  for (int freq : {65535, 65536}) {
    SCOPED_TRACE(freq);
    harness::Result r = harness::run({"-voc", "-freq", std::to_string(freq), tape, dir.file("out.voc")});
    ASSERT_EQ(r.status, 0) << r.out;
    std::string f = harness::read_file(dir.file("out.voc"));
    EXPECT_TRUE(f == samples::voc_file(Silence(freq), freq));
    // Header 26, rate block 17, a full block 4 + 65535, then for 65536 a
    // partial block 02 01 00 00 and its sample, then the terminator.
    ASSERT_EQ(f.size(), freq == 65535 ? 26 + 17 + 4 + 65535 + 4u : 26 + 17 + 4 + 65535 + 5 + 4u);
    EXPECT_EQ(f.substr(43, 4), std::string("\x02\xFF\xFF\x00", 4));
    if (freq == 65536) {
      EXPECT_EQ(f.substr(43 + 4 + 65535, 5), std::string("\x02\x01\x00\x00\x10", 5));
    }
    EXPECT_EQ(f.substr(f.size() - 4), std::string(4, '\0'));
  }
}

TEST(AuFile, HeaderAndSamplesBigEndian) {
  harness::TempDir dir;
  std::string tape = EmptyTape(dir);
  harness::Result r = harness::run({"-au", tape});
  ASSERT_EQ(r.status, 0) << r.out;
  std::string f = harness::read_file(dir.file("tape.au"));
  EXPECT_TRUE(f == samples::au_file(Silence(44100), 44100));

  // A tape with sound: the header counts exactly the bytes after it.
  tzx::Tzx t;
  t.tone(2168, 101).standard(1000, tzx::data_block(0xFF, {1, 2, 3}));
  t.save(dir.file("sound.tzx"));
  r = harness::run({"-au", dir.file("sound.tzx"), dir.file("sound.au")});
  ASSERT_EQ(r.status, 0) << r.out;
  f = harness::read_file(dir.file("sound.au"));
  ASSERT_GT(f.size(), 32u);
  EXPECT_EQ(f.substr(0, 8), std::string(".snd\x00\x00\x00\x20", 8));
  uint32_t size = 0;
  for (int i = 8; i < 12; i++) size = size << 8 | static_cast<uint8_t>(f[i]);
  EXPECT_EQ(size, f.size() - 32);
  EXPECT_EQ(f.substr(12, 20), std::string("\x00\x00\x00\x02\x00\x00\xAC\x44\x00\x00\x00\x01", 12) + std::string(8, '\0'));
}

TEST(Conversion, ConsoleTextOfSmallConversion) {
  harness::TempDir dir;
  tzx::Tzx t;
  t.tone(2168, 10).pause(500);
  t.save(dir.file("small.tzx"));
  harness::Result r = harness::run({"-voc", dir.file("small.tzx")});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, expect::voc_head(2) +
                       "Block   1:    Pure Tone             Length:    10\n"
                       "Block   2:    Pause                 Length: 0.500s\n");
  // 10 pulses of 19 samples from low, half a second low, the closing second.
  samples::Stream s;
  for (int i = 0; i < 10; i++) s.pulse(19);
  s.run(LOW, 15151).run(LOW, 30303);
  EXPECT_TRUE(harness::read_file(dir.file("small.VOC")) == samples::voc_file(s.bytes, 30303));

  r = harness::run({"-au", dir.file("small.tzx")});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out, expect::au_head(2) +
                       "Block   1:    Pure Tone             Length:    10\n"
                       "Block   2:    Pause                 Length: 0.500s\n");
}

// The line of the Error message, or "" when there is none.
std::string ErrorLine(const std::string &out) {
  size_t at = out.find("\n-- Error: ");
  if (at == std::string::npos) return "";
  size_t end = out.find('\n', at + 1);
  return out.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
}

TEST(Conversion, WriteFailuresEndWithErrorNamingTheFile) {
  harness::TempDir dir;
  std::string tape = EmptyTape(dir);
  const std::string missing = dir.file("no-such-dir/out.voc");
  for (const char *sw : {"-voc", "-au"}) {
    for (const std::string &target : {std::string("/dev/full"), missing}) {
      SCOPED_TRACE(std::string(sw) + " " + target);
      harness::Result r = harness::run({sw, tape, target});
      EXPECT_EQ(r.status, 1);
      std::string line = ErrorLine(r.out);
      EXPECT_NE(line.find(target), std::string::npos) << r.out;
    }
  }
  EXPECT_FALSE(harness::exists(missing));
  EXPECT_TRUE(harness::exists("/dev/full"));

  // A disk that fills up halfway: the unfinished file is not left behind.
  harness::Options small;
  small.file_size_limit = 100000;
  for (const char *sw : {"-voc", "-au"}) {
    const std::string out = dir.file("full.out");
    harness::Result r = harness::run({sw, "-freq", "400000", tape, out}, small);
    EXPECT_EQ(r.status, 1) << sw;
    EXPECT_NE(ErrorLine(r.out).find(out + ": File too large (the unfinished file is removed)"), std::string::npos)
        << r.out;
    EXPECT_FALSE(harness::exists(out)) << sw;
  }
}

}  // namespace
