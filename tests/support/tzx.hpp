// A small TZX image builder for tests: one call per block type.
//
//   Tzx t;                       // header "ZXTape!", 0x1A, revision 1.10
//   t.standard(1000, spectrum_header(0, "demo", 20, 10, 20));
//   t.text("Hello");
//   t.save(path);
#pragma once

#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace tzx {

using Bytes = std::vector<uint8_t>;

inline void put8(Bytes &b, unsigned v) { b.push_back(static_cast<uint8_t>(v)); }
inline void put16(Bytes &b, unsigned v) { put8(b, v), put8(b, v >> 8); }
inline void put24(Bytes &b, unsigned v) { put16(b, v), put8(b, v >> 16); }
inline void put32(Bytes &b, uint32_t v) { put16(b, v), put16(b, v >> 16); }
// (Byte by byte: GCC 12 warns wrongly about vector::insert of a range here.)
inline void putbytes(Bytes &b, const Bytes &d) {
  for (uint8_t c : d) b.push_back(c);
}
inline void puttext(Bytes &b, const std::string &s) {
  for (char c : s) b.push_back(static_cast<uint8_t>(c));
}

// XOR of all bytes.
inline uint8_t xor_of(const Bytes &d) {
  uint8_t x = 0;
  for (uint8_t c : d) x ^= c;
  return x;
}

// flag, payload, checksum (XOR of flag and payload): a Spectrum data block.
inline Bytes data_block(uint8_t flag, const Bytes &payload) {
  Bytes d{flag};
  putbytes(d, payload);
  d.push_back(xor_of(d));
  return d;
}

// A 19-byte Spectrum header block: flag 0, type, 10-character name (padded
// with blanks), data length, parameter 1, parameter 2, checksum.
inline Bytes spectrum_header(unsigned type, std::string name, unsigned length, unsigned param1, unsigned param2) {
  name.resize(10, ' ');
  Bytes p;
  put8(p, type);
  puttext(p, name);
  put16(p, length);
  put16(p, param1);
  put16(p, param2);
  return data_block(0x00, p);
}

struct Timing {  // the T-state fields of a turbo (0x11) block
  unsigned pilot = 2168, sync1 = 667, sync2 = 735, bit0 = 855, bit1 = 1710, pilot_len = 3223;
};

struct C64Rom {  // the fields of a 0x16 block, standard ROM loader timing
  unsigned pilot = 616, pilot_len = 100, sync1 = 1176, sync2 = 896;
  unsigned bit0_f = 616, bit0_s = 896, bit1_f = 896, bit1_s = 616;
  unsigned xortype = 1;
  unsigned finishbyte_f = 1176, finishbyte_s = 896, finishdata_f = 1176, finishdata_s = 616;
  unsigned trailing_pulse = 616, trailing_len = 0;
  unsigned lastbyte = 8, endian = 0, pause = 1000;
};

struct C64Turbo {  // the fields of a 0x17 block, standard TurboTape timing
  unsigned bit0 = 426, bit1 = 596, add_bit = 0, lead_in = 0, lead_in_byte = 2;
  unsigned lastbyte = 8, endian = 1, trailing = 0, trailing_byte = 0, pause = 1000;
};

struct Poke {
  unsigned flags, address, value, original;
};
struct Trainer {
  std::string name;
  std::vector<Poke> pokes;
};

class Tzx {
 public:
  Bytes bytes;

  explicit Tzx(unsigned major = 1, unsigned minor = 10) {
    puttext(bytes, "ZXTape!");
    put8(bytes, 0x1A);
    put8(bytes, major);
    put8(bytes, minor);
  }

  // Any block: its ID and body, as they stand.
  Tzx &raw(unsigned id, const Bytes &body = {}) {
    put8(bytes, id);
    putbytes(bytes, body);
    return *this;
  }

  Tzx &standard(unsigned pause, const Bytes &data) {  // 0x10
    Bytes b;
    put16(b, pause);
    put16(b, static_cast<unsigned>(data.size()));
    putbytes(b, data);
    return raw(0x10, b);
  }
  Tzx &turbo(const Timing &t, unsigned lastbyte, unsigned pause, const Bytes &data) {  // 0x11
    Bytes b;
    put16(b, t.pilot), put16(b, t.sync1), put16(b, t.sync2), put16(b, t.bit0), put16(b, t.bit1);
    put16(b, t.pilot_len), put8(b, lastbyte), put16(b, pause), put24(b, static_cast<unsigned>(data.size()));
    putbytes(b, data);
    return raw(0x11, b);
  }
  Tzx &tone(unsigned pulse, unsigned count) {  // 0x12
    Bytes b;
    put16(b, pulse), put16(b, count);
    return raw(0x12, b);
  }
  Tzx &pulses(const std::vector<unsigned> &lengths) {  // 0x13
    Bytes b;
    put8(b, static_cast<unsigned>(lengths.size()));
    for (unsigned l : lengths) put16(b, l);
    return raw(0x13, b);
  }
  Tzx &pure_data(unsigned bit0, unsigned bit1, unsigned lastbyte, unsigned pause, const Bytes &data) {  // 0x14
    Bytes b;
    put16(b, bit0), put16(b, bit1), put8(b, lastbyte), put16(b, pause), put24(b, static_cast<unsigned>(data.size()));
    putbytes(b, data);
    return raw(0x14, b);
  }
  Tzx &direct(unsigned tstates, unsigned pause, unsigned lastbyte, const Bytes &data) {  // 0x15
    Bytes b;
    put16(b, tstates), put16(b, pause), put8(b, lastbyte), put24(b, static_cast<unsigned>(data.size()));
    putbytes(b, data);
    return raw(0x15, b);
  }
  Tzx &c64rom(const C64Rom &c, const Bytes &data) {  // 0x16
    Bytes b;
    put16(b, c.pilot), put16(b, c.pilot_len), put16(b, c.sync1), put16(b, c.sync2);
    put16(b, c.bit0_f), put16(b, c.bit0_s), put16(b, c.bit1_f), put16(b, c.bit1_s);
    put8(b, c.xortype);
    put16(b, c.finishbyte_f), put16(b, c.finishbyte_s), put16(b, c.finishdata_f), put16(b, c.finishdata_s);
    put16(b, c.trailing_pulse), put16(b, c.trailing_len);
    put8(b, c.lastbyte), put8(b, c.endian), put16(b, c.pause), put24(b, static_cast<unsigned>(data.size()));
    putbytes(b, data);
    return sized(0x16, b);
  }
  Tzx &c64turbo(const C64Turbo &c, const Bytes &data) {  // 0x17
    Bytes b;
    put16(b, c.bit0), put16(b, c.bit1), put8(b, c.add_bit), put16(b, c.lead_in), put8(b, c.lead_in_byte);
    put8(b, c.lastbyte), put8(b, c.endian), put16(b, c.trailing), put8(b, c.trailing_byte), put16(b, c.pause);
    put24(b, static_cast<unsigned>(data.size()));
    putbytes(b, data);
    return sized(0x17, b);
  }
  Tzx &pause(unsigned ms) {  // 0x20; 0 is stop the tape
    Bytes b;
    put16(b, ms);
    return raw(0x20, b);
  }
  Tzx &group(const std::string &name) { return counted(0x21, name); }  // 0x21
  Tzx &group_end() { return raw(0x22); }                                 // 0x22
  Tzx &jump(int distance) {                                              // 0x23
    Bytes b;
    put16(b, static_cast<uint16_t>(distance));
    return raw(0x23, b);
  }
  Tzx &loop(unsigned count) {  // 0x24
    Bytes b;
    put16(b, count);
    return raw(0x24, b);
  }
  Tzx &loop_end() { return raw(0x25); }  // 0x25
  Tzx &call(const std::vector<int> &distances) {  // 0x26
    Bytes b;
    put16(b, static_cast<unsigned>(distances.size()));
    for (int d : distances) put16(b, static_cast<uint16_t>(d));
    return raw(0x26, b);
  }
  Tzx &ret() { return raw(0x27); }  // 0x27
  Tzx &select(const std::vector<std::pair<int, std::string>> &entries) {  // 0x28
    Bytes b;
    put8(b, static_cast<unsigned>(entries.size()));
    for (const auto &[d, text] : entries) {
      put16(b, static_cast<uint16_t>(d));
      put8(b, static_cast<unsigned>(text.size()));
      puttext(b, text);
    }
    Bytes body;
    put16(body, static_cast<unsigned>(b.size()));
    putbytes(body, b);
    return raw(0x28, body);
  }
  Tzx &stop48k() {  // 0x2A
    Bytes b;
    put32(b, 0);
    return raw(0x2A, b);
  }
  Tzx &text(const std::string &s) { return counted(0x30, s); }  // 0x30
  Tzx &message(unsigned seconds, const std::string &s) {        // 0x31
    Bytes b;
    put8(b, seconds);
    put8(b, static_cast<unsigned>(s.size()));
    puttext(b, s);
    return raw(0x31, b);
  }
  Tzx &archive(const std::vector<std::pair<unsigned, std::string>> &strings) {  // 0x32
    Bytes b;
    put8(b, static_cast<unsigned>(strings.size()));
    for (const auto &[kind, s] : strings) {
      put8(b, kind);
      put8(b, static_cast<unsigned>(s.size()));
      puttext(b, s);
    }
    Bytes body;
    put16(body, static_cast<unsigned>(b.size()));
    putbytes(body, b);
    return raw(0x32, body);
  }
  // (type, id, relation) entries.
  Tzx &hardware(const std::vector<std::vector<unsigned>> &entries) {  // 0x33
    Bytes b;
    put8(b, static_cast<unsigned>(entries.size()));
    for (const auto &e : entries) put8(b, e.at(0)), put8(b, e.at(1)), put8(b, e.at(2));
    return raw(0x33, b);
  }
  Tzx &emulation() { return raw(0x34, Bytes(8, 0)); }  // 0x34
  Tzx &custom(std::string ident, const Bytes &contents) {  // 0x35; ident padded with blanks to 16
    ident.resize(16, ' ');
    Bytes b;
    puttext(b, ident);
    put32(b, static_cast<uint32_t>(contents.size()));
    putbytes(b, contents);
    return raw(0x35, b);
  }
  Tzx &pokes(const std::string &description, const std::vector<Trainer> &trainers) {  // 0x35 "POKEs"
    return custom("POKEs", poke_contents(description, trainers));
  }
  Tzx &snapshot(unsigned type, const Bytes &snap) {  // 0x40
    Bytes b;
    put8(b, type);
    put24(b, static_cast<unsigned>(snap.size()));
    putbytes(b, snap);
    return raw(0x40, b);
  }
  Tzx &merged(unsigned major = 1, unsigned minor = 10) {  // 0x5A: a second header
    Bytes b;
    puttext(b, "XTape!");
    put8(b, 0x1A), put8(b, major), put8(b, minor);
    return raw(0x5A, b);
  }

  static Bytes poke_contents(const std::string &description, const std::vector<Trainer> &trainers) {
    Bytes b;
    put8(b, static_cast<unsigned>(description.size()));
    puttext(b, description);
    put8(b, static_cast<unsigned>(trainers.size()));
    for (const auto &t : trainers) {
      put8(b, static_cast<unsigned>(t.name.size()));
      puttext(b, t.name);
      put8(b, static_cast<unsigned>(t.pokes.size()));
      for (const auto &p : t.pokes) put8(b, p.flags), put16(b, p.address), put8(b, p.value), put8(b, p.original);
    }
    return b;
  }

  // File offset of the next block's ID byte.
  size_t offset() const { return bytes.size(); }

  void save(const std::string &path) const {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
  }

 private:
  Tzx &counted(unsigned id, const std::string &s) {
    Bytes b;
    put8(b, static_cast<unsigned>(s.size()));
    puttext(b, s);
    return raw(id, b);
  }
  Tzx &sized(unsigned id, const Bytes &rest) {
    Bytes b;
    put32(b, static_cast<uint32_t>(rest.size()));
    putbytes(b, rest);
    return raw(id, b);
  }
};

}  // namespace tzx
