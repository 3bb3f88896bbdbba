// Block IDs of the TZX format and the standard timings it refers to.
#pragma once

#include <cstdint>

namespace format {

enum class Id : uint8_t {
  standard = 0x10,
  turbo = 0x11,
  pure_tone = 0x12,
  pulse_sequence = 0x13,
  pure_data = 0x14,
  direct_recording = 0x15,
  c64_rom = 0x16,
  c64_turbo = 0x17,
  csw_recording = 0x18,
  generalized_data = 0x19,
  pause = 0x20,
  group_start = 0x21,
  group_end = 0x22,
  jump = 0x23,
  loop_start = 0x24,
  loop_end = 0x25,
  call_sequence = 0x26,
  return_from_call = 0x27,
  select = 0x28,
  stop_48k = 0x2A,
  signal_level = 0x2B,
  description = 0x30,
  message = 0x31,
  archive_info = 0x32,
  hardware_info = 0x33,
  emulation_info = 0x34,
  custom_info = 0x35,
  snapshot = 0x40,
  merged_tapes = 0x5A,
};

// T-states of the 3.5 MHz clock in one second.
constexpr uint32_t kTstatesPerSecond = 3500000;

// The ZX Spectrum ROM loader's timing, in T-states, and its pilot lengths in
// pulses (a block whose flag byte is below 128, a header, has the long tone).
namespace rom {
constexpr uint16_t pilot = 2168, sync1 = 667, sync2 = 735, bit0 = 855, bit1 = 1710;
constexpr uint16_t header_pilot_pulses = 8064, data_pilot_pulses = 3220;
}  // namespace rom

// The C64 ROM loader's and TurboTape's standard timings, in T-states.
namespace c64 {
constexpr uint16_t pilot = 616, sync1 = 1176, sync2 = 896;
constexpr uint16_t bit0_first = 616, bit0_second = 896, bit1_first = 896, bit1_second = 616;
constexpr uint16_t turbo_bit0 = 426, turbo_bit1 = 596;
constexpr uint8_t turbo_lead_in = 2;
}  // namespace c64

}  // namespace format
