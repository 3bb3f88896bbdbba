// The pulse engine core in-process: T-states to samples, pause lengths and
// the output level.
#include <gtest/gtest.h>

#include <vector>

#include "driver/run.hpp"
#include "driver/settings.hpp"
#include "engine/pulse.hpp"
#include "sinks/aufile.hpp"
#include "support/harness.hpp"

namespace {

void SetRate(int freq) {
  ResetState();
  settings.freq = freq;
  engine.cycle = freq / 3500000.0;
}

TEST(PulseCore, ConvSBRoundsStandardTimingsAtEachRate) {
  struct Row {
    int freq;
    int pilot, sync1, sync2, bit0, bit1;  // 2168, 667, 735, 855, 1710 T-states
  };
  const Row rows[] = {
      {44100, 27, 8, 9, 11, 22},
      {30303, 19, 6, 6, 7, 15},
      {22050, 14, 4, 5, 5, 11},
      {11025, 7, 2, 2, 3, 5},
  };
  for (const Row &r : rows) {
    SCOPED_TRACE(r.freq);
    SetRate(r.freq);
    EXPECT_EQ(ConvSB(2168), r.pilot);
    EXPECT_EQ(ConvSB(667), r.sync1);
    EXPECT_EQ(ConvSB(735), r.sync2);
    EXPECT_EQ(ConvSB(855), r.bit0);
    EXPECT_EQ(ConvSB(1710), r.bit1);
    EXPECT_EQ(ConvSB(0), 0);
  }
  // Halves go up, anything below stays down: 40 T-states are 0.504 samples,
  // 39 are 0.4914.
  SetRate(44100);
  EXPECT_EQ(ConvSB(40), 1);
  EXPECT_EQ(ConvSB(39), 0);
}

TEST(PulseCore, PauseSBLengthsUseSinglePrecisionProduct) {
  struct Row {
    int freq;
    std::vector<std::pair<int, int>> ms_samples;
  };
  const Row rows[] = {
      {44100, {{0, 0}, {1, 44}, {999, 44055}, {1000, 44100}, {5000, 220500}, {65535, 2890093}}},
      {30303, {{0, 0}, {1, 30}, {999, 30272}, {1000, 30303}, {5000, 151515}, {65535, 1985907}}},
      // 65535 * 48000 is not exact in single precision: 3145679, not 3145680.
      {48000, {{0, 0}, {1, 48}, {999, 47952}, {1000, 48000}, {5000, 240000}, {65535, 3145679}}},
  };
  harness::TempDir dir;
  for (const Row &r : rows) {
    SCOPED_TRACE(r.freq);
    SetRate(r.freq);
    // The AU sink counts every sample it is handed in its header.
    settings.au = 1;
    settings.fout = dir.file("pause.au");
    InitAU();
    long long total = 0;
    for (auto [ms, expected] : r.ms_samples) {
      SCOPED_TRACE(ms);
      int before = auhead.dataSize;
      PauseSB(kLow, ms);
      EXPECT_EQ(auhead.dataSize - before, expected);
      total += expected;
    }
    StopAU();
    EXPECT_EQ(static_cast<long long>(harness::read_file(settings.fout).size()), 32 + total);
  }
}

TEST(PulseCore, ToggleAmpFlipsLevelAndRunsLeaveItAlone) {
  harness::TempDir dir;
  SetRate(44100);
  settings.au = 1;
  settings.fout = dir.file("toggle.au");
  InitAU();
  engine.amp = kLow;
  // A pulse: a run at the current level, then the other level.
  PlaySB(static_cast<unsigned char>(engine.amp), 3);
  ToggleAmp();
  EXPECT_EQ(engine.amp, kHigh);
  PlaySB(static_cast<unsigned char>(engine.amp), 2);
  ToggleAmp();
  EXPECT_EQ(engine.amp, kLow);
  // Runs and pauses at either level do not move the current level.
  PauseSB(kHigh, 1);
  PlaySB(kHigh, 1);
  EXPECT_EQ(engine.amp, kLow);
  ToggleAmp();
  PauseSB(kLow, 1);
  PlaySB(kLow, 0);
  EXPECT_EQ(engine.amp, kHigh);
  StopAU();
  std::string data = harness::read_file(settings.fout).substr(32);
  std::string expected = std::string(3, '\x10') + std::string(2, '\xF0') + std::string(44 + 1, '\xF0') +
                         std::string(44, '\x10');
  EXPECT_EQ(data, expected);
}

}  // namespace
