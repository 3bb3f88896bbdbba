// The blocks of revision 1.20: generalized data, CSW recordings and the
// signal level, as pulse tables, as samples, and damaged.
#include <gtest/gtest.h>

#include "support/play.hpp"

namespace {

using namespace playing;
using engine::kMaxBlockPulses;
using tzx::Bytes;

// Every block of the tape played from a low level, at 44100 Hz unless said.
Played play(const tzx::Tzx &t, bool render = false, int rate = 44100) {
  return tape(t, L, render, rate);
}

const tzx::Symbol kPilot{0, {2168}}, kSync{0, {667, 735}}, kZero{0, {855, 855}}, kOne{0, {1710, 1710}};

TEST(Generalized, AStandardBlockSpelledWithSymbolsSoundsTheSame) {
  const Bytes data{0xFF, 0x12, 0xED};
  tzx::Tzx standard, spelled;
  standard.standard(1000, data);
  spelled.generalized(1000, {kPilot, kSync}, {{0, 3220}, {1, 1}}, {kZero, kOne}, 8 * 3, data);
  EXPECT_EQ(play(spelled, true).samples_, play(standard, true).samples_);
  EXPECT_EQ(play(spelled).items.front(), T(2168, 3220, L));  // a one-pulse symbol repeated is a tone
}

TEST(Generalized, FlagsSetTheFirstPulseAndAZeroEndsASymbol) {
  // Flags: 0 the other level (an edge), 1 the same (no edge), 2 low, 3 high.
  tzx::Tzx t;
  t.generalized(0, {{0, {100, 200}}, {1, {300}}, {2, {400}}, {3, {500, 0, 600}}, {0, {0, 700}}},
                {{0, 1}, {1, 1}, {1, 1}, {2, 1}, {3, 2}, {4, 5}, {0, 1}}, {}, 0, {});
  const Played p = play(t);
  EXPECT_EQ(p.items, (std::vector<Pulse>{T(100, 1, L), T(200, 1, H), T(300, 1, H), T(300, 1, H), T(400, 1, L),
                                         T(500, 1, H), T(500, 1, H), T(100, 1, L), T(200, 1, H)}));
  EXPECT_EQ(p.problems, "");
}

TEST(Generalized, DataOfTwoBitsASymbol) {
  tzx::Tzx t;
  t.generalized(0, {}, {}, {{0, {10}}, {0, {20}}, {0, {30}}, {0, {40}}}, 5, {0x1B, 0x80});  // 00 01 10 11 10
  EXPECT_EQ(play(t).items, (std::vector<Pulse>{T(10, 1, L), T(20, 1, H), T(30, 1, L), T(40, 1, H), T(30, 1, L)}));
}

TEST(Generalized, TablesOf256SymbolsAndSymbolsOfNoPulse) {
  // ASD 0 means 256 symbols (8 bits a symbol); NPD 0 gives symbols of no pulse.
  std::vector<tzx::Symbol> table(256, kZero);
  table[255] = {0, {1234}};
  tzx::Tzx big, none;
  big.generalized(0, {}, {}, table, 2, {0xFF, 0x00});
  EXPECT_EQ(play(big).items, (std::vector<Pulse>{T(1234, 1, L), T(855, 1, H), T(855, 1, L)}));
  none.generalized(0, {}, {}, {{3, {}}, {1, {}}, {2, {}}}, 4, {0x00});  // rows of a flag byte only
  EXPECT_TRUE(play(none).items.empty());
  EXPECT_EQ(play(none).problems, "");
}

TEST(Generalized, DamagedBlocksPlayWhatIsValidAndSaySo) {
  struct Row {
    tzx::Tzx tape;
    size_t pulses;
    std::string problem;
  };
  Row rows[4];
  rows[0].tape.generalized(0, {kPilot}, {{0, 2}, {7, 1}, {0, 1}}, {}, 0, {});  // symbol 7 of a table of 1
  rows[0] = {rows[0].tape, 3, "holds a symbol that is not in its table - left out"};
  rows[1].tape.generalized(0, {}, {}, {kZero, kOne}, 4000000000u, {0xA5});  // 4e9 symbols, 1 byte of them
  rows[1] = {rows[1].tape, 16, "runs past its end - played what is inside"};
  rows[2].tape.generalized(0, {}, {}, {{0, {100}}}, 4000000000u, {});  // one symbol: 0 bits each, 4e9 of them
  rows[2] = {rows[2].tape, size_t(kMaxBlockPulses), "would make more than 268435456 pulses - the rest is left out"};
  rows[3].tape.level(7).level(1).tone(100, 1);
  rows[3] = {rows[3].tape, 1, "sets the level 7, which is no level - ignored"};
  for (const Row &r : rows) {
    Played p = play(r.tape);
    size_t pulses = 0;
    for (const Pulse &i : p.items) pulses += i.count;
    EXPECT_EQ(pulses, r.pulses) << r.problem;
    EXPECT_EQ(p.problems, r.problem);
  }
}

TEST(SignalLevel, TheNextPulsePlaysAtItAndTheSameLevelMakesNoEdge) {
  tzx::Tzx t;
  t.level(1).tone(100, 2).level(0).level(0).tone(200, 1).pulses({300});
  EXPECT_EQ(play(t).items, (std::vector<Pulse>{T(100, 2, H), T(200, 1, L), T(300, 1, H)}));
}

TEST(Csw, RleAndZrleGiveTheSamePulsesLongOnesIncluded) {
  const Bytes stream = tzx::rle({3, 300, 70000, 1});
  tzx::Tzx rle, zrle;
  rle.csw(5, 22050, 1, 4, stream);
  zrle.csw(5, 22050, 2, 0, tzx::zlib(stream));  // a stored count that disagrees is no error
  const std::vector<Pulse> want{S(3, 22050, L), S(300, 22050, H), S(70000, 22050, L), S(1, 22050, H), Ms(5, L)};
  EXPECT_EQ(play(rle).items, want);
  EXPECT_EQ(play(zrle).items, want);
  EXPECT_EQ(play(zrle).problems, "");
}

TEST(Csw, DamageEndsTheRecordingWithAWarning) {
  Bytes z = tzx::zlib(tzx::rle(std::vector<uint32_t>(1000, 7)));
  z[z.size() / 2] ^= 0x55;
  const std::pair<tzx::Tzx, std::string> rows[] = {
      {tzx::Tzx().csw(0, 0, 1, 1, {5}), "has a sampling rate of 0 - skipped"},
      {tzx::Tzx().csw(0, 44100, 3, 1, {5}), "uses an unknown compression - skipped"},
      {tzx::Tzx().csw(0, 44100, 1, 2, {5, 0, 1}), "holds a long pulse cut short - played what is before it"},
      {tzx::Tzx().csw(0, 44100, 2, 1000, z), "holds a damaged compressed stream - played what is before it"},
      {tzx::Tzx().csw(0, 44100, 2, 1000, Bytes(z.begin(), z.begin() + 8)),
       "holds a compressed stream that ends early - played what is before it"},
  };
  for (const auto &[tape, problem] : rows) EXPECT_EQ(play(tape).problems, problem);
}

TEST(Recordings, LastAsLongAsRecordedAtAnyRate) {
  // One second of a 22050 Hz recording in pulses of 3 samples, and of a
  // 44.1 kHz direct recording (79 T-states a sample, 44304 samples).
  tzx::Tzx csw, direct;
  csw.csw(0, 22050, 1, 7350, tzx::rle(std::vector<uint32_t>(7350, 3)));
  direct.direct(79, 0, 8, Bytes(44304 / 8, 0x33));
  for (int rate : {11025, 22050, 30303, 44100}) {
    EXPECT_EQ(play(csw, true, rate).samples_.size(), static_cast<size_t>(rate));
    EXPECT_EQ(play(direct, true, rate).samples_.size(), static_cast<size_t>(rate));
  }
}

}  // namespace
