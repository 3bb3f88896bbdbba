// What each block type puts into the pulse stream: tables of T-state pulses,
// pauses and levels, worked out from the format, independent of the rate
// (but for the sync pulses that a rate makes vanish).
#include <gtest/gtest.h>

#include "support/play.hpp"

namespace {

using namespace playing;

Pulse Rec(uint32_t t, Level l) { return S(t, 3500000, l); }  // t T-states of a recording

// The stream of a tape of one block, played from `start` at 44100 Hz.
std::vector<Pulse> play(const tzx::Tzx &t, Level start = L) { return tape(t, start, false, 44100).items; }

// A whole C64 wave of t T-states is two pulses of it.
Pulse W(uint32_t t, uint32_t waves = 1) { return T(t, 2 * waves, L); }

TEST(Pulses, StandardBlockHasTheRomTimingAndPilotByFlag) {
  tzx::Tzx header, data;
  header.standard(1000, {0x00, 0x03});
  data.standard(0, {0x80});
  // Pilot, two syncs, bits two pulses each, then 1 ms at the level the data
  // ended on and the rest of the pause low.
  EXPECT_EQ(play(header), (std::vector<Pulse>{T(2168, 8064, L), T(667, 1, L), T(735, 1, H), Bits(0x00, 8, 855, 1710, L),
                                              Bits(0x03, 8, 855, 1710, L), Ms(1, L), Ms(999, L)}));
  // Flag 128 is data: the short pilot. An odd pilot leaves the syncs the other
  // way round; no pause, so the level stays where the data left it.
  EXPECT_EQ(play(data, H),
            (std::vector<Pulse>{T(2168, 3220, H), T(667, 1, H), T(735, 1, L), Bits(0x80, 8, 855, 1710, H)}));
}

TEST(Pulses, FlagBytesBelow128GetTheLongPilotInTzxAndTap) {
  // The format's rule: a flag byte below 128 marks a header-style block
  // (8064 pilot pulses), 128 and above a data block (3220).
  const struct {
    uint8_t flag;
    uint32_t pilot;
  } rows[] = {{0, 8064}, {1, 8064}, {7, 8064}, {127, 8064}, {128, 3220}, {255, 3220}};
  for (const auto &r : rows) {
    tzx::Tzx t;
    t.standard(0, {r.flag, 1, 2});
    EXPECT_EQ(play(t).front(), T(2168, r.pilot, L)) << "TZX flag " << int(r.flag);
    const Played tap = tape(format::Tape::FromTap(tzx::tap({{r.flag, 1, 2}})), L, false, 44100);
    ASSERT_FALSE(tap.items.empty());
    EXPECT_EQ(tap.items.front(), T(2168, r.pilot, L)) << "TAP flag " << int(r.flag);
  }
}

TEST(Pulses, TurboAndPureDataSpellTheirOwnTimings) {
  tzx::Tzx turbo, pure;
  turbo.turbo({2000, 20, 700, 400, 800, 3}, 3, 1, {0xF0, 0xAA});
  // Sync 1 of 20 T-states makes no sample at 44100 Hz: it is left out with its edge.
  EXPECT_EQ(play(turbo), (std::vector<Pulse>{T(2000, 3, L), T(700, 1, H), Bits(0xF0, 8, 400, 800, L),
                                             Bits(0xAA, 3, 400, 800, L), Ms(1, L)}));
  pure.pure_data(300, 600, 8, 2, {0x81});
  EXPECT_EQ(play(pure, H), (std::vector<Pulse>{Bits(0x81, 8, 300, 600, H), Ms(1, H), Ms(1, L)}));
}

TEST(Pulses, TonesAndSequencesGoOnFromTheLevelTheyFind) {
  tzx::Tzx tone, seq, none;
  tone.tone(1000, 5);
  seq.pulses({100, 200, 300});
  none.tone(1000, 0);
  EXPECT_EQ(play(tone, H), (std::vector<Pulse>{T(1000, 5, H)}));
  EXPECT_EQ(play(seq, H), (std::vector<Pulse>{T(100, 1, H), T(200, 1, L), T(300, 1, H)}));
  EXPECT_TRUE(play(none).empty());
}

TEST(Pulses, DirectRecordingSetsTheLevelPerSampleThenPausesLow) {
  tzx::Tzx t;
  t.direct(79, 7, 3, {0xA0, 0x60});  // 8 samples, then the first 3 of the last byte: samples of one level join
  EXPECT_EQ(play(t, H),
            (std::vector<Pulse>{Rec(79, H), Rec(79, L), Rec(79, H), Rec(6 * 79, L), Rec(2 * 79, H), Ms(7, L)}));
}

TEST(Pulses, PauseBlockIsLowAndStopTheTapeSetsLow) {
  tzx::Tzx pause, stop;
  pause.pause(500);
  stop.pause(0);
  EXPECT_EQ(play(pause, H), (std::vector<Pulse>{Ms(500, L)}));
  EXPECT_TRUE(play(stop, H).empty());
}

TEST(Pulses, C64RomByteIsWavesWithCheckBitAndFinish) {
  tzx::C64Rom c;
  c.pilot_len = 2, c.trail_len = 3, c.pause = 3;
  tzx::Tzx t;
  t.c64rom(c, {0x03, 0x80});
  // Least significant bit first; check bit 1 makes the ones odd. 0x03: ones
  // 1,1 then six 0s, check 1 (two ones + start 1), finish-byte waves.
  // 0x80: seven 0s, 1, check 0, finish-data waves.
  std::vector<Pulse> want{W(616, 2), W(1176), W(896)};
  auto bit = [&](int b) {
    want.push_back(W(b ? 896 : 616));
    want.push_back(W(b ? 616 : 896));
  };
  for (int b : {1, 1, 0, 0, 0, 0, 0, 0, 1}) bit(b);
  want.push_back(W(1176)), want.push_back(W(896));
  for (int b : {0, 0, 0, 0, 0, 0, 0, 1, 0}) bit(b);
  want.push_back(W(1176)), want.push_back(W(616));
  want.push_back(W(616, 3));
  // 3 ms: 1 ms low, 2 ms high, then low.
  want.push_back(Ms(1, L)), want.push_back(Ms(2, H));
  EXPECT_EQ(play(t, H), want);
}

TEST(Pulses, C64BitsPastTheByteRepeatBit7LeastSignificantFirst) {
  // Ten bits of 0x80: least significant first goes on with copies of bit 7,
  // most significant first with zeros. No check bit, no finish waves.
  for (unsigned endian : {0u, 1u}) {
    tzx::C64Rom c;
    c.pilot_len = 0, c.sync1 = 0, c.sync2 = 0, c.xortype = 0xFF, c.lastbyte = 10, c.endian = endian, c.pause = 0;
    c.fbyte_f = c.fbyte_s = c.fdata_f = c.fdata_s = 0, c.bit0_s = c.bit1_s = 0;
    tzx::Tzx t;
    t.c64rom(c, {0x80});
    std::vector<Pulse> want;
    const int lsb[] = {0, 0, 0, 0, 0, 0, 0, 1, 1, 1}, msb[] = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int b : endian == 0 ? lsb : msb) want.push_back(W(b ? 896 : 616));
    EXPECT_EQ(play(t), want) << "endian " << endian;
  }
}

TEST(Pulses, C64TurboAddsItsExtraBitsBeforeOrAfterEveryByte) {
  tzx::C64Turbo c;
  c.lead_in = 1, c.lead_in_byte = 0xFF, c.trailing = 1, c.trailing_byte = 0, c.lastbyte = 2, c.pause = 0;
  for (unsigned add : {0x0Au, 0x05u, 0x0Cu}) {  // 2 ones before; 1 zero after; none
    c.add_bit = add;
    tzx::Tzx t;
    t.c64turbo(c, {0x80});
    std::vector<Pulse> want;
    auto byte = [&](std::vector<int> bits) {
      if (add == 0x0A) want.push_back(W(596)), want.push_back(W(596));
      for (int b : bits) want.push_back(W(b ? 596 : 426));
      if (add == 0x05) want.push_back(W(426));
    };
    byte({1, 1, 1, 1, 1, 1, 1, 1});
    byte({1, 0});  // the two bits of the last (only) data byte, most significant first
    byte({0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(play(t, H), want) << "additional bits " << add;
  }
}

}  // namespace
