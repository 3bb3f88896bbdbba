// The resampler: how many samples each item makes at a rate (the counts are
// those of the format's worked examples), how samples reach the output, and
// the output's capacity.
#include <gtest/gtest.h>

#include "engine/resampler.hpp"
#include "format/failure.hpp"

namespace {

using namespace engine;
constexpr Level L = Level::low, H = Level::high;

// Keeps what it is handed, and how.
struct Capture : SampleOutput {
  size_t chunk_size = 64 * 1024, lead_bytes = 0;
  uint64_t cap = UINT64_MAX;
  std::string got;
  std::vector<std::string> calls;  // "s<n>" for ready-made samples, "r<n>" for a run
  int begin(int rate) override { return rate; }
  void run(uint8_t v, uint64_t n) override {
    got.append(n, static_cast<char>(v));
    calls.push_back(std::string(1, 'r').append(std::to_string(n)));
  }
  void samples(std::span<const uint8_t> s) override {
    got.append(s.begin(), s.end());
    calls.push_back(std::string(1, 's').append(std::to_string(s.size())));
  }
  void finish() override {}
  void abandon() override {}
  uint64_t capacity() const override { return cap; }
  size_t chunk() const override { return chunk_size; }
  size_t lead() const override { return lead_bytes; }
};

std::string render(int rate, std::vector<Pulse> items) {
  Capture out;
  TimeBase time(rate);
  Resampler r(out, time);
  r.take(items);
  r.flush();
  return out.got;
}

std::string run(Level l, size_t n) { return std::string(n, static_cast<char>(l)); }

TEST(Resampler, EachPulseIsRoundedOnItsOwn) {
  // Samples for the ROM's pulse lengths, as the format's table gives them.
  struct Row {
    int rate;
    size_t pilot, sync1, sync2, bit0, bit1;
  };
  for (Row r : {Row{44100, 27, 8, 9, 11, 22}, {30303, 19, 6, 6, 7, 15}, {22050, 14, 4, 5, 5, 11}, {11025, 7, 2, 2, 3, 5}}) {
    SCOPED_TRACE(r.rate);
    EXPECT_EQ(render(r.rate, {{2168, 2, Unit::tstates, L}, {667, 1, Unit::tstates, L}, {735, 1, Unit::tstates, H},
                              {855, 1, Unit::tstates, L}, {1710, 1, Unit::tstates, H}}),
              run(L, r.pilot) + run(H, r.pilot) + run(L, r.sync1) + run(H, r.sync2) + run(L, r.bit0) + run(H, r.bit1));
  }
  // 40 T-states at 44100 Hz are 0.504 samples: one; 39 are 0.4914: none.
  EXPECT_EQ(render(44100, {{40, 3, Unit::tstates, H}, {39, 5, Unit::tstates, H}}), run(H, 1) + run(L, 1) + run(H, 1));
}

TEST(Resampler, PausesUseTheSinglePrecisionRule) {
  struct Row {
    int rate;
    uint32_t ms;
    size_t samples;
  };
  for (Row r : {Row{44100, 1, 44}, {44100, 999, 44055}, {44100, 5000, 220500}, {44100, 65535, 2890093},
                {30303, 1, 30}, {30303, 999, 30272}, {30303, 65535, 1985907}, {48000, 65535, 3145679}}) {
    SCOPED_TRACE(std::to_string(r.rate) + " Hz, " + std::to_string(r.ms) + " ms");
    EXPECT_EQ(render(r.rate, {{r.ms, 1, Unit::millis, H}}).size(), r.samples);
  }
}

TEST(Resampler, DataBitsAreTwoPulsesEachAndEveryByteKeepsItsBitLengths) {
  // Two data bytes with the same 0 bit and different 1 bits, then one of 3 bits.
  const std::string one = run(L, 22) + run(H, 22), zero = run(L, 11) + run(H, 11), other = run(L, 19) + run(H, 19);
  EXPECT_EQ(render(44100, {{855, 8, Unit::bits, L, 1710, 0x81}, {855, 8, Unit::bits, L, 1500, 0x81},
                           {855, 3, Unit::bits, L, 1710, 0xA0}}),
            one + zero + zero + zero + zero + zero + zero + one + other + zero + zero + zero + zero + zero + zero +
                other + one + zero + one);
  // Starting high, each bit starts high.
  EXPECT_EQ(render(44100, {{855, 2, Unit::bits, H, 1710, 0x40}}), run(H, 11) + run(L, 11) + run(H, 22) + run(L, 22));
}

TEST(Resampler, RecordingsKeepTheirOwnTime) {
  // 44304 samples of 79 T-states (a 44.1 kHz direct recording) last 1.0000046 s:
  // as many samples as the rate, whatever the rate, edges at their own time.
  for (int rate : {11025, 22050, 30303, 44100}) {
    std::vector<Pulse> items;
    for (int i = 0; i < 44304; i++) items.push_back({79, 3500000, Unit::sampled, i % 2 ? H : L});
    EXPECT_EQ(render(rate, items).size(), static_cast<size_t>(rate)) << rate;
  }
  // A pulse shorter than an output sample is not stretched: at 8000 Hz four
  // 44.1 kHz samples end at 0.73 of a sample, the fifth at 0.91, so both
  // edges fall on the first sample's end: one sample, of the first level.
  EXPECT_EQ(render(8000, {{4, 44100, Unit::sampled, H}, {1, 44100, Unit::sampled, L}}), run(H, 1));
  EXPECT_EQ(render(44100, {{7, 1, Unit::samples, H}}), run(H, 7));
}

TEST(Resampler, ChunksEndOnTheOutputsBoundariesAndWholeChunksGoAsRuns) {
  Capture out;
  out.chunk_size = 100, out.lead_bytes = 30;
  TimeBase time(3500000);  // a sample a T-state
  Resampler r(out, time);
  r.take(std::vector<Pulse>{{50, 1, Unit::tstates, L}, {300, 1, Unit::samples, H}, {120, 2, Unit::tstates, L}});
  r.flush();
  // 70 samples complete the first chunk (after 30 bytes of lead); the run of
  // 300 then spans two whole chunks and begins a third, which the first pulse
  // completes; whole chunks of the pulses go as runs too.
  EXPECT_EQ(out.calls, (std::vector<std::string>{"s70", "r200", "s100", "r100", "r100", "s20"}));
  EXPECT_EQ(out.got, run(L, 50) + run(H, 300) + run(L, 120) + run(H, 120));
}

TEST(Resampler, AnOutputThatIsFullStopsTheRunAtTheFirstPulseThatDoesNotFit) {
  Capture out;
  out.cap = 100;
  TimeBase time(44100);
  Resampler r(out, time);
  // Pulses of 27 samples: three fit, the fourth does not.
  try {
    r.take(std::vector<Pulse>{{2168, 10, Unit::tstates, L}});
    FAIL() << "no failure";
  } catch (const format::Failure &f) {
    EXPECT_STREQ(f.what(), "The output grew too long: a sound file holds at most 100 samples!");
  }
  r.flush();
  EXPECT_EQ(out.got, run(L, 27) + run(H, 27) + run(L, 27));
}

}  // namespace
