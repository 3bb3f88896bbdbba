// Tapes shared by several tests, the fuzzer's seeds and the damaged-tape
// suite: one that holds every block type the program knows, and more.
#pragma once

#include "support/tzx.hpp"

namespace tzx {

// Every block type once (flow blocks arranged so that replay terminates and
// reads at most two keys), short enough to convert in a blink.
inline Tzx every_block_tape() {
  Tzx t;
  t.archive({{0, "Every Block"}, {1, "reelwright"}, {2, "A. Author"}, {3, "2026"}, {4, "English"},
             {5, "Test"}, {6, "free"}, {7, "ROM"}, {8, "Original"}, {9, "note"}, {255, "comment\rsecond line"}});
  t.hardware({{0, 1, 0}, {0, 3, 0}, {3, 0, 1}, {1, 20, 2}, {0, 0, 3}});
  t.text("Description with % and %s");
  t.message(5, "Two words\rtwo more");
  t.standard(100, spectrum_header(3, "SCREEN$", 6, 16384, 32768));
  t.standard(100, data_block(0xFF, {1, 2, 3, 4, 5, 6}));
  Timing fast;
  fast.pilot_len = 50;
  fast.bit1 = 1500;
  t.turbo(fast, 6, 10, data_block(0xFF, {0xAA, 0x55}));
  t.tone(2168, 20);
  t.pulses({667, 735, 1000});
  t.pure_data(855, 1710, 8, 5, {0x12, 0x34});
  t.direct(79, 3, 4, {0xF0, 0x0F, 0xA5});
  C64Rom rom;
  rom.pilot_len = 5;
  rom.trailing_len = 3;
  t.c64rom(rom, {0x89, 0x88, 0x87, 0x86, 0x85, 0x84, 0x83, 0x82, 0x81, 0x10});
  C64Turbo turbo;
  turbo.lead_in = 2;
  turbo.add_bit = 0x0D;
  turbo.trailing = 1;
  t.c64turbo(turbo, {9, 8, 7, 6, 5, 4, 3, 2, 1, 0x41});
  t.pause(20);
  t.group("A group");
  t.tone(1000, 3);
  t.group_end();
  t.loop(2);
  t.tone(500, 2);
  t.loop_end();
  t.jump(2);          // over the next block
  t.tone(300, 1);
  t.call({2, 3});     // calls the two returns below
  t.jump(3);          // after the calls: to the select
  t.ret();
  t.ret();
  t.select({{1, "Go on"}, {2, "Skip one"}});
  t.pause(0);         // stop the tape
  t.stop48k();
  t.emulation();
  t.custom("Notes", {'h', 'i'});
  t.pokes("Infinite\rlives", {{"Lives", {{8, 35136, 0, 53}, {0x13, 40000, 7, 200}}}, {"None", {}}});
  t.snapshot(1, {0, 0, 0, 0});
  t.raw(0x18, {2, 0, 0, 0, 0xDE, 0xAD});  // an ID the format lacks
  t.merged();
  t.standard(0, data_block(0xFF, {0x80}));
  return t;
}

}  // namespace tzx
