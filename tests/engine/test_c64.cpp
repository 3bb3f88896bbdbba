// C64 ROM (0x16) and turbo (0x17) blocks converted end to end: the exact
// sample stream of pilot, sync, byte, check-bit, finish, lead-in, trailing
// waves and the split pause, at 44100 Hz.
#include <gtest/gtest.h>

#include "support/expect.hpp"
#include "support/samples.hpp"

namespace {

using expect::block;
using expect::fmt;
using samples::HIGH;
using samples::LOW;
using samples::Stream;

constexpr int kRate = 44100;

// One wave: a half at the current level, a half at the other, back again.
// A half of 0 samples makes no wave at all.
void wave(Stream &s, int tstates) {
  int n = samples::conv(kRate, tstates);
  s.pulse(n).pulse(n);
}
// ROM format: two waves per bit, bits written out by hand as '0'/'1'.
void rom_bits(Stream &s, const tzx::C64Rom &c, const std::string &bits) {
  for (char b : bits) {
    wave(s, b == '1' ? c.bit1_f : c.bit0_f);
    wave(s, b == '1' ? c.bit1_s : c.bit0_s);
  }
}
// Turbo format: one wave per bit.
void turbo_bits(Stream &s, const tzx::C64Turbo &c, const std::string &bits) {
  for (char b : bits) wave(s, b == '1' ? c.bit1 : c.bit0);
}
void finish_byte(Stream &s, const tzx::C64Rom &c) { wave(s, c.finishbyte_f), wave(s, c.finishbyte_s); }
void finish_data(Stream &s, const tzx::C64Rom &c) { wave(s, c.finishdata_f), wave(s, c.finishdata_s); }
// The pause after a C64 block: the first half low, the rest high.
void split_pause(Stream &s, int ms) {
  s.run(LOW, samples::pause(kRate, ms / 2)).run(HIGH, samples::pause(kRate, ms - ms / 2));
}

// A ROM block with a timing no loader uses (so it is named as plain C64
// data) and distinct wave lengths: 5, 6, 7, 2, 3, 4, 8, 9, 10, 11, 12, 13
// samples at 44100 Hz.
tzx::C64Rom rom(unsigned xortype = 1, unsigned endian = 0) {
  tzx::C64Rom c;
  c.pilot = 400, c.pilot_len = 0, c.sync1 = 0, c.sync2 = 0;
  c.bit0_f = 160, c.bit0_s = 240, c.bit1_f = 320, c.bit1_s = 640;
  c.finishbyte_f = 720, c.finishbyte_s = 800, c.finishdata_f = 880, c.finishdata_s = 960;
  c.trailing_pulse = 1040, c.trailing_len = 0, c.xortype = xortype, c.endian = endian, c.pause = 0;
  return c;
}
tzx::C64Turbo turbo(unsigned add_bit, unsigned endian) {
  tzx::C64Turbo c;
  c.bit0 = 160, c.bit1 = 320, c.add_bit = add_bit, c.endian = endian, c.pause = 0;
  return c;
}

// The progress line of an unnamed C64 block.
std::string line(int n, int length, int pause, bool last) {
  return block(n) + " ------------------------ Length:" + fmt("%6d", length) + "  C64 Data     " +
         (last ? std::string() : fmt(",Pause: %2.3fs", pause / 1000.0)) + "\n";
}

std::string au(Stream s) {
  s.run(s.level, samples::pause(kRate, 1000));  // the closing second
  return samples::au_file(s.bytes, kRate);
}

TEST(C64Conversion, RomBlockPlaysPilotSyncBytesAndTrailingTone) {
  tzx::C64Rom c = rom();
  c.pilot_len = 2, c.sync1 = 480, c.sync2 = 560, c.trailing_len = 2;
  tzx::Tzx t;
  t.c64rom(c, {0xA5, 0x3C});
  auto r = expect::convert(t, {"-au"}, "out.au");
  EXPECT_EQ(r.run.status, 0);
  EXPECT_EQ(r.run.out, expect::au_head(1) + line(1, 2, 0, true));
  Stream s;
  wave(s, c.pilot), wave(s, c.pilot), wave(s, c.sync1), wave(s, c.sync2);
  rom_bits(s, c, "10100101" "1");  // 0xA5 lowest bit first, four 1s: check 1
  finish_byte(s, c);               // 20 waves in all
  rom_bits(s, c, "00111100" "1");  // 0x3C, the last byte: finish-data waves
  finish_data(s, c);
  wave(s, c.trailing_pulse), wave(s, c.trailing_pulse);
  EXPECT_EQ(r.file, au(s));
}

TEST(C64Conversion, RomCheckBitFollowsXortypeAndBitOrder) {
  tzx::Tzx t;
  t.c64rom(rom(0), {0x01});      // one 1 bit, even parity: check 1
  t.c64rom(rom(1), {0x01});      // odd parity: check 0
  t.c64rom(rom(1), {0x03});      // two 1 bits: check 1
  t.c64rom(rom(1, 1), {0x80});   // highest bit first: 1 then seven 0s, check 0
  t.c64rom(rom(0xFF), {0x01});   // no check bit
  t.c64rom(rom(2), {0x00, 0x03});  // the running value never reaches 0: check 1 always
  auto r = expect::convert(t, {"-au"}, "out.au");
  EXPECT_EQ(r.run.status, 0);
  std::string want = expect::au_head(6);
  for (int n = 1; n <= 5; n++) want += line(n, 1, 0, false);
  EXPECT_EQ(r.run.out, want + line(6, 2, 0, true));
  const tzx::C64Rom w = rom();  // the wave lengths, the same in every block
  Stream s;
  rom_bits(s, w, "10000000" "1"), finish_data(s, w);
  rom_bits(s, w, "10000000" "0"), finish_data(s, w);
  rom_bits(s, w, "11000000" "1"), finish_data(s, w);
  rom_bits(s, w, "10000000" "0"), finish_data(s, w);
  rom_bits(s, w, "10000000"), finish_data(s, w);
  rom_bits(s, w, "00000000" "1"), finish_byte(s, w);
  rom_bits(s, w, "11000000" "1"), finish_data(s, w);
  EXPECT_EQ(r.file, au(s));
}

TEST(C64Conversion, TurboAdditionalBitsLeadInAndTrailingBytes) {
  tzx::C64Turbo before = turbo(0x0A, 1), after = turbo(0x05, 0), none = turbo(0x0C, 1);
  for (auto *c : {&before, &after, &none}) c->lead_in = 1, c->lead_in_byte = 0x81, c->trailing = 1, c->trailing_byte = 0xF0;
  none.lead_in = 2, none.trailing = 2;
  tzx::Tzx t;
  t.c64turbo(before, {0x0F}).c64turbo(after, {0x0F}).c64turbo(none, {0x0F});
  auto r = expect::convert(t, {"-au"}, "out.au");
  EXPECT_EQ(r.run.status, 0);
  EXPECT_EQ(r.run.out, expect::au_head(3) + line(1, 1, 0, false) + line(2, 1, 0, false) + line(3, 1, 0, true));
  Stream s;
  // 0x0A: two 1 waves before every byte; highest bit first.
  turbo_bits(s, before, "11" "10000001" "11" "00001111" "11" "11110000");
  // 0x05: one 0 wave after every byte; lowest bit first.
  turbo_bits(s, after, "10000001" "0" "11110000" "0" "00001111" "0");
  // 0x0C: no additional bits; two lead-in and two trailing bytes.
  turbo_bits(s, none, "10000001" "10000001" "00001111" "11110000" "11110000");
  EXPECT_EQ(r.file, au(s));
}

TEST(C64Conversion, PauseIsSplitLowThenHighAndZeroWavesAreLeftOut) {
  tzx::C64Rom c = rom(0xFF);
  c.pause = 1;
  tzx::C64Turbo u = turbo(0, 1);
  u.pause = 3;
  // 39 T-states are 0 samples at 44100 Hz: such waves are not played.
  tzx::C64Rom z = rom(1);
  z.pilot = 39, z.pilot_len = 3, z.sync1 = 39, z.sync2 = 480, z.bit0_s = 39;
  z.finishdata_f = 39, z.trailing_pulse = 39, z.trailing_len = 2;
  ASSERT_EQ(samples::conv(kRate, 39), 0);
  tzx::Tzx t;
  t.c64rom(c, {0x00}).c64turbo(u, {0x00}).c64rom(z, {0x01});
  auto r = expect::convert(t, {"-au"}, "out.au");
  EXPECT_EQ(r.run.status, 0);
  EXPECT_EQ(r.run.out, expect::au_head(3) + line(1, 1, 1, false) + line(2, 1, 3, false) + line(3, 1, 0, true));
  Stream s;
  rom_bits(s, c, "00000000"), finish_data(s, c);
  split_pause(s, 1);  // 0 samples low, 1 ms high
  turbo_bits(s, u, "00000000");
  split_pause(s, 3);  // 1 ms low, 2 ms high
  wave(s, z.sync2);
  for (char b : std::string("10000000" "0")) {
    if (b == '1') wave(s, z.bit1_f), wave(s, z.bit1_s);
    else wave(s, z.bit0_f);  // its second wave has 0 samples
  }
  wave(s, z.finishdata_s);
  EXPECT_EQ(r.file, au(s));
}

TEST(C64Conversion, BlocksRevisitedByALoopPlayTheSame) {
  tzx::C64Rom c = rom();
  c.pilot_len = 2, c.sync1 = 480, c.sync2 = 560, c.trailing_len = 1, c.pause = 2;
  tzx::C64Turbo u = turbo(0x0A, 1);
  u.lead_in = 1, u.lead_in_byte = 0x81;
  tzx::Tzx t;
  t.loop(2).c64rom(c, {0xA5}).c64turbo(u, {0x0F}).loop_end();
  auto r = expect::convert(t, {"-au"}, "out.au");
  EXPECT_EQ(r.run.status, 0);
  std::string pass = line(2, 1, 2, false) + line(3, 1, 0, false);
  EXPECT_EQ(r.run.out, expect::au_head(4) + block(1) + "    Loop Start, Counter: 2\n" + pass + block(4) +
                           "    Loop End, Still To Go 1 Time(s)!\n" + pass + block(4) + "    Loop End, Finished\n");
  Stream s;
  for (int i = 0; i < 2; i++) {
    wave(s, c.pilot), wave(s, c.pilot), wave(s, c.sync1), wave(s, c.sync2);
    rom_bits(s, c, "10100101" "1"), finish_data(s, c);
    wave(s, c.trailing_pulse);
    split_pause(s, 2);
    turbo_bits(s, u, "11" "10000001" "11" "00001111");
  }
  EXPECT_EQ(r.file, au(s));
}

}  // namespace
