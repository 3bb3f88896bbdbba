// Commodore tapes built in the tests from the framing the ROM writes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace commodore {

using Bytes = std::vector<uint8_t>;

// Pulse values of a C64 TAP (units of 8 cycles) as the ROM writes them.
struct Rom {
  uint8_t s = 0x30, m = 0x42, l = 0x56;
  Bytes out;

  void leader(size_t n) { out.insert(out.end(), n, s); }
  void byte(uint8_t b, bool wrong_parity = false) {
    out.insert(out.end(), {l, m});
    bool odd = true;  // the parity bit makes the ones odd
    for (int i = 0; i < 8; i++, b >>= 1) bit(b & 1), odd ^= b & 1;
    bit(odd ^ wrong_parity);
  }
  void bit(bool one) { out.insert(out.end(), one ? std::initializer_list<uint8_t>{m, s} : std::initializer_list<uint8_t>{s, m}); }
  // A copy: leader, countdown, data, checksum, end-of-data marker.
  void copy(const Bytes &data, bool repeat, size_t lead = 80, int bad_byte = -1) {
    leader(lead);
    for (uint8_t c = 9; c >= 1; c--) byte(uint8_t(c | (repeat ? 0 : 0x80)));
    uint8_t x = 0;
    for (size_t i = 0; i < data.size(); i++) byte(data[i] ^ (int(i) == bad_byte ? 0x10 : 0)), x ^= data[i];
    byte(x);
    out.insert(out.end(), {l, s});
  }
  // Both copies and the trailer after them.
  void block(const Bytes &data, int bad_first = -1, int bad_repeat = -1) {
    copy(data, false, 2000, bad_first);
    copy(data, true, 80, bad_repeat);
    leader(79);
    out.push_back(0), out.insert(out.end(), {0x40, 0x42, 0x0F});  // a third of a second of silence
  }
};

inline Bytes header(uint8_t type, uint16_t start, uint16_t end, const std::string &name) {
  Bytes h{type, uint8_t(start), uint8_t(start >> 8), uint8_t(end), uint8_t(end >> 8)};
  for (size_t i = 0; i < 16; i++) h.push_back(i < name.size() ? uint8_t(name[i]) : 0x20);
  h.resize(192, 0x20);
  return h;
}

// A C64 TAP file (version 1, PAL) of these values.
inline std::string tap_file(const Bytes &values) {
  std::string t = "C64-TAPE-RAW";
  t += std::string("\x01\x00\x00\x00", 4);
  for (int k = 0; k < 4; k++) t.push_back(static_cast<char>(values.size() >> (8 * k)));
  return t + std::string(values.begin(), values.end());
}

}  // namespace commodore
