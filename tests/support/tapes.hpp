// Tapes shared by the end-to-end tests, the damaged-tape test and the fuzzer's
// seeds.
#pragma once

#include "support/tzx.hpp"

namespace tapes {

using namespace tzx;

// Every block type once, flow blocks arranged so that replay ends and reads
// at most two keys; short enough to convert in a blink.
inline Tzx every_block() {
  Tzx t;
  t.archive({{0, "Every Block"}, {1, "reelwright"}, {2, "A. Author"}, {3, "2026"}, {4, "English"}, {5, "Test"},
             {6, "free"}, {7, "ROM"}, {8, "Original"}, {9, "note"}, {255, "comment\rsecond line"}});
  t.hardware({{0, 1, 0}, {0, 3, 0}, {3, 0, 1}, {1, 20, 2}, {0, 0, 3}});
  t.text("Description with % and %s").message(5, "Two words\rtwo more");
  t.standard(100, spectrum_header(3, "SCREEN$", 6, 16384, 32768)).standard(100, data_block(0xFF, {1, 2, 3, 4, 5, 6}));
  Turbo fast;
  fast.pilot_len = 50, fast.bit1 = 1500;
  t.turbo(fast, 6, 10, data_block(0xFF, {0xAA, 0x55})).tone(2168, 20).pulses({667, 735, 1000});
  t.pure_data(855, 1710, 8, 5, {0x12, 0x34}).direct(79, 3, 4, {0xF0, 0x0F, 0xA5});
  C64Rom rom;
  rom.pilot_len = 5, rom.trail_len = 3;
  t.c64rom(rom, {0x89, 0x88, 0x87, 0x86, 0x85, 0x84, 0x83, 0x82, 0x81, 0x10});
  C64Turbo turbo;
  turbo.lead_in = 2, turbo.add_bit = 0x0D, turbo.trailing = 1;
  t.c64turbo(turbo, {9, 8, 7, 6, 5, 4, 3, 2, 1, 0x41});
  t.pause(20).group("A group").tone(1000, 3).group_end();
  t.loop(2).tone(500, 2).loop_end();
  t.jump(2).tone(300, 1);  // over the tone
  t.call({2, 3}).jump(3).ret().ret();  // calls the two returns, then on to the select
  t.select({{1, "Go on"}, {2, "Skip one"}}).pause(0).stop48k();
  t.emulation().custom("Notes", {'h', 'i'});
  t.pokes("Infinite\rlives", {{"Lives", {{8, 35136, 0, 53}, {0x13, 40000, 7, 200}}}, {"None", {}}});
  t.snapshot(1, {0, 0, 0, 0}).unknown().merged().standard(0, data_block(0xFF, {0x80}));
  return t;
}

// C64 loader headers: a ROM header of 202 bytes and a TurboTape header.
inline Tzx c64_headers() {
  Bytes rom{0x89, 0x88, 0x87, 0x86, 0x85, 0x84, 0x83, 0x82, 0x81};
  rom.resize(202, 'A');
  Bytes turbo{9, 8, 7, 6, 5, 4, 3, 2, 1, 1};
  turbo.resize(32, 'B');
  Tzx t;
  t.c64rom({}, rom).c64turbo({}, turbo);
  return t;
}

// Loops, calls and jumps that go round and round: replay ends only through
// the guard against endless loops or the output limit.
inline Tzx circles() {
  Tzx t;
  t.loop(3).tone(100, 3).call({2}).loop_end().jump(-2).ret().select({{-3, "back"}, {1, "on"}}).jump(0);
  return t;
}

// The blocks of revision 1.20: generalized data (a standard block spelled
// with symbols, every symbol flag, a damaged one), CSW recordings in RLE and
// Z-RLE, and signal levels (one of them no level).
inline Tzx revision_120() {
  const Symbol pilot{0, {2168}}, sync{0, {667, 735}}, zero{0, {855, 855}}, one{0, {1710, 1710}};
  const Bytes zrle{0x78, 0xDA, 0x63, 0x61, 0x61, 0x61, 0x61, 0x10, 0x50, 0x67, 0x60,
                   0x60, 0x61, 0x01, 0x00, 0x01, 0xD2, 0x00, 0x50};  // 4 4 4 4, 10000, 4 4
  Tzx t(1, 20);
  t.level(1).generalized(100, {pilot, sync}, {{0, 100}, {1, 1}}, {zero, one}, 16, data_block(0xFF, {}));
  t.generalized(0, {}, {}, {{0, {100}}, {1, {200}}, {2, {300}}, {3, {400, 0, 500}}}, 4, {0x1B});
  t.csw(10, 22050, 1, 6, rle({3, 3, 300, 3, 70000, 3})).csw(20, 44100, 2, 7, zrle);
  t.level(0).tone(1000, 3).level(7).generalized(5, {pilot}, {{3, 2}}, {}, 0, {});
  return t;
}

}  // namespace tapes
