// The signal of each machine whose tapes the program reads: clocks, tone
// frequencies and timings, in one place. Readers take their numbers from here
// and nowhere else.
#pragma once

#include <cstdint>

#include "format/blocks.hpp"

namespace format::signals {

// The Spectrum's own clock: the unit of TZX, TAP and PZX durations.
constexpr Clock kSpectrum{3500000, 1};

// Commodore TAP: the machine's clock by the header's machine byte (0 C64,
// 1 VIC-20, 2 C16/Plus4) and video byte (0 PAL, 1 NTSC, 2 old NTSC, 3 PAL-N).
struct CommodoreMachine {
  const char *name;
  uint32_t pal, ntsc;  // Hz
};
constexpr CommodoreMachine kCommodore[] = {
    {"C64", 985248, 1022727},
    {"VIC-20", 1108405, 1022727},
    {"C16/Plus4", 886724, 894886},
};
constexpr const char *kVideo[] = {"PAL", "NTSC", "old NTSC", "PAL-N"};
// Cycles a byte of the data counts (b > 0: b x 8 cycles); a 0 byte of
// version 0 is a pulse of 256 x 8 cycles.
constexpr uint32_t kCommodoreUnit = 8, kCommodoreVersion0Zero = 256 * 8;
// A block of the listing ends after a pulse this long (cycles per 10 s of
// the clock: a tenth of a second).
constexpr uint32_t kCommodoreGapDivisor = 10;

// MSX: the BIOS's sound at 1200 baud (every frequency doubles at 2400). A
// unit is half a cycle of the high tone (2400 Hz): a 0 bit is a cycle of
// 1200 Hz, two pulses of two units; a 1 bit two cycles of 2400 Hz.
namespace msx {
constexpr uint32_t kUnitsPerSecond1200 = 4800;
constexpr uint32_t kLongLeaderCycles = 16000, kShortLeaderCycles = 4000;  // of the high tone, at 1200 baud
constexpr uint16_t kSilenceBeforeHeader = 2000, kSilenceBeforeData = 1000;  // ms
constexpr uint16_t kPauseAfterLast = 2000;                                 // ms: loaders fail when sound stops at once
constexpr uint8_t kLeading = 1, kLeadingValue = 0, kTrailing = 2, kTrailingValue = 1;
constexpr uint8_t kMarker[8] = {0x1F, 0xA6, 0xDE, 0xBA, 0xCC, 0x13, 0x7D, 0x74};
}  // namespace msx

// Acorn (UEF): a unit is half a cycle of the high tone (twice the base
// frequency). At 1200 baud a 0 bit is a cycle at the base frequency, a 1
// bit two cycles at twice it; at 300 baud four and eight.
namespace acorn {
constexpr float kBaseFrequency = 1200.0f;  // Hz, until a chunk changes it
constexpr uint32_t kBaud = 1200;
// Units are counted in 1/16 of a hertz, so that a base frequency with a
// fraction keeps its time.
constexpr uint32_t kClockPer = 16;
constexpr double kMaxGapSeconds = 60.0;  // a longer gap is cut, with a warning
constexpr uint32_t kMaxInflated = 64u << 20;  // bytes a compressed UEF file may inflate to
}  // namespace acorn

// ZX81 and ZX80: a 0 bit is 4 pulses, a 1 bit 9, each 150 us high and 150 us
// low; 1300 us of silence after every bit. In T-states of the Spectrum clock.
namespace zx81 {
constexpr uint32_t kHalfPulse = 525;  // 150 us
constexpr uint32_t kBitGap = 4550;    // 1300 us
constexpr uint8_t kZeroPulses = 4, kOnePulses = 9;
constexpr uint16_t kSilenceBefore = 1000, kPauseAfter = 1000;  // ms
// Bytes from 0x4009 up to the end of the system variables: a program file
// shorter than this holds no program.
constexpr uint32_t kSystemVariables = 0x407D - 0x4009;
}  // namespace zx81

}  // namespace format::signals
