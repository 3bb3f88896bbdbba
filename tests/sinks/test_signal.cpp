// The signal's switches end to end: levels, mirrors and lengths in each format
// (tests/data/signal.txt); 16-bit capacity; the levels a sound device gets.
#include <gtest/gtest.h>

#include <sstream>

#include "sinks/sound_file.hpp"
#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace {

// Bytes of a file as a number, least significant first or (be) most.
size_t num(const std::string &f, size_t at, size_t n, bool be = false) {
  size_t v = 0;
  for (size_t i = 0; i < n; i++) v |= size_t(uint8_t(f.at(at + i))) << 8 * (be ? n - 1 - i : i);
  return v;
}

TEST(Signal, LevelsMirrorsAndLengthsInEachFormat) {
  harness::TempDir dir;
  tzx::Tzx().tone(1000, 3500).pause(500).csw(0, 35000, 1, 200, tzx::Bytes(200, 175)).save(dir.file("t.tzx"));
  std::istringstream table(harness::read_file(std::string(REELWRIGHT_SOURCE_DIR) + "/tests/data/signal.txt"));
  int rows = 0;
  std::string plain;  // the last file made without -invert
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    SCOPED_TRACE(line);
    std::istringstream words(line);
    // Each run writes over the last file: a sound file is no tape.
    std::vector<std::string> args{"-freq", "35000", dir.file("t.tzx"), dir.file("out")};
    for (std::string w; words >> w && w != "=>";) args.push_back(w);
    std::string count, low, high;
    words >> count >> low >> high;
    ASSERT_EQ(harness::run_here(args).status, 0);
    const std::string f = harness::read_file(dir.file("out"));
    const bool wav = f.starts_with("RIFF"), au = f.starts_with(".snd");
    // Where the samples start (VOC: after a type 1 block and a sample block's header), their width.
    const size_t head = wav ? 44 : au ? 32 : 26 + 7 + 4, width = wav ? num(f, 32, 2) : au ? num(f, 12, 4, true) - 1 : 1;
    // In WAV, bytes a second and bits a sample.
    EXPECT_EQ(wav ? num(f, 28, 4) * 100 + num(f, 34, 2) : 0, wav ? num(f, 24, 4) * width * 100 + 8 * width : 0);
    EXPECT_EQ(count, wav || au ? std::to_string((au ? num(f, 8, 4, true) : num(f, 40, 4)) / width) : "-");
    size_t other = head;
    while (other < f.size() && f.compare(other, width, f, head, width) == 0) other += width;
    char h[12];
    std::snprintf(h, sizeof h, width == 1 ? "%02zx %02zx" : "%04zx %04zx", num(f, head, width, true),
                  num(f, other, width, true));
    EXPECT_EQ(h, low + " " + high);
    // -invert mirrors every sample about the middle: negated (128 - x and 128 + x, as bytes too).
    if (args.back() != "-invert") plain = f;
    for (size_t k = head; args.back() == "-invert" && k < f.size(); k += width)
      ASSERT_EQ((num(plain, k, width, au) + num(f, k, width, au)) % (size_t(1) << 8 * width), 0u) << k;
    rows++;
  }
  EXPECT_GE(rows, 20);
  // Live, the header line names them all.
  const std::string live = harness::run_here({"-exact", "-vol", "50", "-16", "-speed", "150", dir.file("t.tzx")}).out;
  EXPECT_NE(live.find("\nStarting playback on CoreAudio using 44100 Hz frequency, exact timing, 50% volume, 16-bit "
                      "samples, 150% speed.\n"),
            std::string::npos)
      << live;
}

TEST(Signal, SixteenBitFilesHoldHalfTheSamplesAndADeviceGetsTheLevelsOfTheFiles) {
  const sinks::Signal wide{0, false, true};  // 32-bit sizes count bytes
  EXPECT_EQ(sinks::AuFile("x", UINT64_MAX, wide).capacity(), 0x7FFFFFFFu);
  EXPECT_EQ(sinks::WavFile("x", UINT64_MAX, wide).capacity(), (0xFFFFFFFFu - 36) / 2);
  EXPECT_EQ(sinks::AuFile("x", 1000, wide).capacity(), 1000u);
  // As in the files: ±112 of 128, or n per cent of full scale.
  EXPECT_EQ(std::pair(sinks::FloatLevelsOf({}).of(16), sinks::FloatLevelsOf({}).of(240)), std::pair(-0.875f, 0.875f));
  EXPECT_EQ(sinks::FloatLevelsOf({50, false, false}).of(240), 0.5f);
  EXPECT_EQ(sinks::FloatLevelsOf({100, true, false}).of(16), 1.0f);
}

}  // namespace
