// The resampler: how many samples each item makes at a rate (the counts are
// those of the format's worked examples), how samples reach the output, and
// the output's capacity.
#include <gtest/gtest.h>

#include "format/failure.hpp"
#include "support/play.hpp"

namespace {

using namespace playing;
using engine::Resampler, engine::TimeBase;

std::string sound(int rate, const std::vector<Pulse> &items) { return render(rate, items).samples_; }
std::string run(Level l, size_t n) { return std::string(n, static_cast<char>(l)); }

TEST(Resampler, EachPulseIsRoundedOnItsOwn) {
  // Samples for the ROM's pulse lengths, as the format's table gives them.
  struct Row {
    int rate;
    size_t pilot, sync1, sync2, bit0, bit1;
  };
  for (Row r :
       {Row{44100, 27, 8, 9, 11, 22}, {30303, 19, 6, 6, 7, 15}, {22050, 14, 4, 5, 5, 11}, {11025, 7, 2, 2, 3, 5}}) {
    SCOPED_TRACE(r.rate);
    EXPECT_EQ(sound(r.rate, {T(2168, 2, L), T(667, 1, L), T(735, 1, H), T(855, 1, L), T(1710, 1, H)}),
              run(L, r.pilot) + run(H, r.pilot) + run(L, r.sync1) + run(H, r.sync2) + run(L, r.bit0) + run(H, r.bit1));
  }
  // 40 T-states at 44100 Hz are 0.504 samples: one; 39 are 0.4914: none.
  EXPECT_EQ(sound(44100, {T(40, 3, H), T(39, 5, H)}), run(H, 1) + run(L, 1) + run(H, 1));
}

TEST(Resampler, PausesUseTheSinglePrecisionRule) {
  struct Row {
    int rate;
    uint32_t ms;
    size_t samples;
  };
  for (Row r : {Row{44100, 1, 44},
                {44100, 999, 44055},
                {44100, 5000, 220500},
                {44100, 65535, 2890093},
                {30303, 1, 30},
                {30303, 999, 30272},
                {30303, 65535, 1985907},
                {48000, 65535, 3145679}}) {
    SCOPED_TRACE(std::to_string(r.rate) + " Hz, " + std::to_string(r.ms) + " ms");
    EXPECT_EQ(sound(r.rate, {Ms(r.ms, H)}).size(), r.samples);
  }
}

TEST(Resampler, DataBitsAreTwoPulsesEachAndEveryByteKeepsItsBitLengths) {
  // Two data bytes with the same 0 bit and different 1 bits, then one of 3 bits.
  const std::string one = run(L, 22) + run(H, 22), zero = run(L, 11) + run(H, 11), other = run(L, 19) + run(H, 19);
  EXPECT_EQ(sound(44100, {Bits(0x81, 8, 855, 1710, L), Bits(0x81, 8, 855, 1500, L), Bits(0xA0, 3, 855, 1710, L)}),
            one + zero + zero + zero + zero + zero + zero + one + other + zero + zero + zero + zero + zero + zero +
                other + one + zero + one);
  // Starting high, each bit starts high (also a byte after one of the same bit lengths that started low).
  EXPECT_EQ(sound(44100, {Bits(0x40, 2, 855, 1710, H)}), run(H, 11) + run(L, 11) + run(H, 22) + run(L, 22));
  EXPECT_EQ(sound(44100, {Bits(0, 8, 855, 1710, L), Bits(0, 8, 855, 1710, H)}).substr(176, 12), run(H, 11) + run(L, 1));
}

TEST(Resampler, RecordingsKeepTheirOwnTime) {
  // (How long whole recordings last at every rate: the tapes of test_tzx120.)
  // A pulse shorter than an output sample is not stretched: at 8000 Hz four
  // 44.1 kHz samples end at 0.73 of a sample, the fifth at 0.91, so both
  // edges fall on the first sample's end: one sample, of the first level.
  EXPECT_EQ(sound(8000, {S(4, 44100, H), S(1, 44100, L)}), run(H, 1));
  EXPECT_EQ(sound(44100, {{7, 1, Unit::samples, H}}), run(H, 7));
}

// The level changes of a pulse stream at the tape's times, and its end, in 1 / (3500000 * 44100) s: T-states
// and the samples of recordings at 44100 Hz or 3.5 MHz are whole numbers of them.
std::vector<std::pair<uint64_t, Level>> changes(const std::vector<Pulse> &items, uint64_t &end) {
  std::vector<std::pair<uint64_t, Level>> out;
  Level now = items.at(0).level;
  auto put = [&](Level l, uint64_t units) {
    if (l != now) out.push_back({end, now = l});
    end += units;
  };
  for (const Pulse &p : items) {
    Level l = p.level;
    if (p.unit == Unit::millis) put(l, p.length * 3500 * 44100ull);
    if (p.unit == Unit::sampled) put(l, p.length * (3500000 * 44100ull / p.count));
    for (uint32_t i = 0; p.unit == Unit::tstates && i < p.count; i++, l = engine::Other(l)) put(l, p.length * 44100ull);
    for (uint32_t i = 0; p.unit == Unit::bits && i < 2 * p.count; i++, l = engine::Other(l))
      put(l, ((p.byte << i / 2) & 0x80 ? p.one : p.length) * 44100ull);
  }
  return out;
}

TEST(Resampler, InExactTimeEveryEdgeLiesWithinHalfASampleOfItsTimeAndTheLengthWithinOne) {
  // A long tape of every kind of duration, each at least a sample at 8000 Hz
  // (no edge vanishes): ROM blocks, odd turbo lengths and 3 last bits, pure
  // data, a tone, pulses, pauses, recordings direct and CSW.
  tzx::Bytes data(6000), csw;
  for (size_t i = 0; i < data.size(); i++) data[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
  for (int i = 0; i < 400; i++) csw.push_back(static_cast<uint8_t>(6 + i % 23));
  tzx::Tzx t;
  t.standard(1000, tzx::spectrum_header(3, "exact", 6000, 0, 0)).standard(1234, tzx::data_block(0xFF, data));
  t.turbo({1999, 601, 777, 699, 1401, 2001}, 3, 77, {0x12, 1, 2}).pure_data(855, 1710, 8, 3, {0x5A, 0xC3});
  t.tone(3001, 501).pulses({600, 4000, 777}).pause(333).direct(79, 10, 8, {0xFF, 0, 0xFF, 0xFF, 0});
  t.csw(7, 44100, 1, 400, csw).pure_data(1710, 855, 8, 0, tzx::Bytes(600, 0x0F)).tone(2168, 1);
  // (At 65500 Hz a 1710 T-state pulse is just over 32 samples, the longest of the short ones plus one.)
  for (auto [rate, speed] : {std::pair{8000, 100}, {11025, 100}, {22050, 100}, {30303, 100}, {44100, 100},
                             {48000, 100}, {44100, 150}, {22050, 50}, {48000, 200}, {65500, 100}}) {
    SCOPED_TRACE(std::to_string(rate) + " Hz at " + std::to_string(speed) + "%");
    uint64_t end = 0;
    const auto want = changes(playing::tape(t, L, false, rate, {true, speed}).items, end);
    const std::string got = playing::tape(t, L, true, rate, {true, speed}).samples_;
    const double per_unit = rate * 100.0 / (3500000.0 * 44100.0 * speed);  // samples a unit
    EXPECT_LE(std::abs(static_cast<double>(got.size()) - end * per_unit), 0.5);
    size_t n = 0;
    for (size_t i = 1; i < got.size(); i++) {
      if (got[i] == got[i - 1]) continue;
      ASSERT_TRUE(n < want.size() && static_cast<Level>(static_cast<uint8_t>(got[i])) == want[n].second) << n;
      // (A hair more than half: where a recording meets T-states, the carry is truncated to new units.)
      ASSERT_LE(std::abs(static_cast<double>(i) - want[n++].first * per_unit), 0.5 + 1e-6) << "change " << n;
    }
    EXPECT_EQ(n, want.size());
    EXPECT_GT(n, 100000u);
  }
}

TEST(Resampler, ChunksEndOnTheOutputsBoundariesAndWholeChunksGoAsRuns) {
  Played out;
  out.chunk_size = 100, out.lead_bytes = 30;
  out = render(3500000, {T(50, 1, L), {300, 1, Unit::samples, H}, T(120, 2, L)}, out);  // a sample a T-state
  // 70 samples complete the first chunk (after 30 bytes of lead); the run of
  // 300 then spans two whole chunks and begins a third, which the first pulse
  // completes; whole chunks of the pulses go as runs too.
  EXPECT_EQ(out.calls, (std::vector<std::string>{"s70", "r200", "s100", "r100", "r100", "s20"}));
  EXPECT_EQ(out.samples_, run(L, 50) + run(H, 300) + run(L, 120) + run(H, 120));
}

TEST(Resampler, AnOutputThatIsFullStopsTheRunAtTheFirstPulseThatDoesNotFit) {
  Played out;
  out.cap = 100;
  TimeBase time(44100);
  Resampler r(out, time);
  // Pulses of 27 samples: three fit, the fourth does not.
  try {
    r.take(std::vector<Pulse>{T(2168, 10, L)});
    FAIL() << "no failure";
  } catch (const format::Failure &f) {
    EXPECT_STREQ(f.what(), "The output grew too long: a sound file holds at most 100 samples!");
  }
  r.flush();
  EXPECT_EQ(out.samples_, run(L, 27) + run(H, 27) + run(L, 27));
  Played near;  // room past the chunk's end: short pulses still stop at it
  near.chunk_size = 100, near.cap = 130;
  EXPECT_EQ(render(3500000, {{50, 1, Unit::samples, L}, T(10, 8, H)}, near).calls.at(0), "s100");
}

}  // namespace
