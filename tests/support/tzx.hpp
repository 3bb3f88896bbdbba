// A TZX image builder for tests: one call per block type, fields in the
// order the format gives them.
//
//   tzx::Tzx t;                  // "ZXTape!", 0x1A, revision 1.10
//   t.standard(1000, tzx::spectrum_header(3, "SCREEN$", 6912, 16384, 32768)).text("Hello");
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

namespace tzx {

using Bytes = std::vector<uint8_t>;

inline void put(Bytes &b, uint32_t v, int n = 1) {
  for (int i = 0; i < n; i++) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void put(Bytes &b, const Bytes &d) {
  for (uint8_t c : d) b.push_back(c);
}
inline void put(Bytes &b, const std::string &s) {
  for (char c : s) b.push_back(static_cast<uint8_t>(c));
}
inline Bytes counted(const std::string &s) {
  Bytes b;
  put(b, static_cast<uint32_t>(s.size()));
  put(b, s);
  return b;
}

// flag, payload, then the XOR of both: a Spectrum data block.
inline Bytes data_block(uint8_t flag, const Bytes &payload) {
  Bytes d{flag};
  put(d, payload);
  uint8_t x = 0;
  for (uint8_t c : d) x ^= c;
  d.push_back(x);
  return d;
}

// A 19-byte Spectrum header: flag 0, type, 10-character name, three words.
inline Bytes spectrum_header(unsigned type, std::string name, unsigned length, unsigned p1, unsigned p2) {
  name.resize(10, ' ');
  Bytes p;
  put(p, type);
  put(p, name);
  put(p, length, 2), put(p, p1, 2), put(p, p2, 2);
  return data_block(0, p);
}

struct Turbo {  // 0x11 timing, T-states
  unsigned pilot = 2168, sync1 = 667, sync2 = 735, bit0 = 855, bit1 = 1710, pilot_len = 3223;
};
struct C64Rom {  // 0x16 fields, standard ROM loader timing
  unsigned pilot = 616, pilot_len = 100, sync1 = 1176, sync2 = 896, bit0_f = 616, bit0_s = 896, bit1_f = 896,
           bit1_s = 616, xortype = 1, fbyte_f = 1176, fbyte_s = 896, fdata_f = 1176, fdata_s = 616, trail = 616,
           trail_len = 0, lastbyte = 8, endian = 0, pause = 1000;
};
struct C64Turbo {  // 0x17 fields, standard TurboTape timing
  unsigned bit0 = 426, bit1 = 596, add_bit = 0, lead_in = 0, lead_in_byte = 2, lastbyte = 8, endian = 1, trailing = 0,
           trailing_byte = 0, pause = 1000;
};
struct Poke {
  unsigned flags, address, value, original;
};
struct Symbol {  // a row of a generalized data block's table
  unsigned flag;
  std::vector<unsigned> pulses;
};

// A CSW pulse stream, RLE: a byte a pulse, 0 and a u32 for longer ones.
inline Bytes rle(const std::vector<uint32_t> &pulses) {
  Bytes b;
  for (uint32_t p : pulses)
    if (p < 256) put(b, p);
    else put(b, 0), put(b, p, 4);
  return b;
}
struct Trainer {
  std::string name;
  std::vector<Poke> pokes;
};

class Tzx {
 public:
  Bytes bytes;

  explicit Tzx(unsigned major = 1, unsigned minor = 10) {
    put(bytes, std::string("ZXTape!\x1A"));
    put(bytes, major), put(bytes, minor);
  }
  // Any block: its ID and body as they stand.
  Tzx &raw(unsigned id, const Bytes &body = {}) {
    put(bytes, id);
    put(bytes, body);
    return *this;
  }
  // A block whose body starts with the u32 length of the rest.
  Tzx &sized(unsigned id, const Bytes &rest) {
    Bytes b;
    put(b, static_cast<uint32_t>(rest.size()), 4);
    put(b, rest);
    return raw(id, b);
  }
  Tzx &standard(unsigned pause, const Bytes &data) {
    Bytes b;
    put(b, pause, 2), put(b, static_cast<uint32_t>(data.size()), 2), put(b, data);
    return raw(0x10, b);
  }
  Tzx &turbo(const Turbo &t, unsigned lastbyte, unsigned pause, const Bytes &data) {
    Bytes b;
    for (unsigned v : {t.pilot, t.sync1, t.sync2, t.bit0, t.bit1, t.pilot_len}) put(b, v, 2);
    put(b, lastbyte), put(b, pause, 2), put(b, static_cast<uint32_t>(data.size()), 3), put(b, data);
    return raw(0x11, b);
  }
  Tzx &tone(unsigned pulse, unsigned count) {
    Bytes b;
    put(b, pulse, 2), put(b, count, 2);
    return raw(0x12, b);
  }
  Tzx &pulses(const std::vector<unsigned> &lengths) {
    Bytes b;
    put(b, static_cast<uint32_t>(lengths.size()));
    for (unsigned l : lengths) put(b, l, 2);
    return raw(0x13, b);
  }
  Tzx &pure_data(unsigned bit0, unsigned bit1, unsigned lastbyte, unsigned pause, const Bytes &data) {
    Bytes b;
    put(b, bit0, 2), put(b, bit1, 2), put(b, lastbyte), put(b, pause, 2);
    put(b, static_cast<uint32_t>(data.size()), 3), put(b, data);
    return raw(0x14, b);
  }
  Tzx &direct(unsigned tstates, unsigned pause, unsigned lastbyte, const Bytes &data) {
    Bytes b;
    put(b, tstates, 2), put(b, pause, 2), put(b, lastbyte), put(b, static_cast<uint32_t>(data.size()), 3);
    put(b, data);
    return raw(0x15, b);
  }
  Tzx &c64rom(const C64Rom &c, const Bytes &data) {
    Bytes b;
    for (unsigned v : {c.pilot, c.pilot_len, c.sync1, c.sync2, c.bit0_f, c.bit0_s, c.bit1_f, c.bit1_s}) put(b, v, 2);
    put(b, c.xortype);
    for (unsigned v : {c.fbyte_f, c.fbyte_s, c.fdata_f, c.fdata_s, c.trail, c.trail_len}) put(b, v, 2);
    put(b, c.lastbyte), put(b, c.endian), put(b, c.pause, 2), put(b, static_cast<uint32_t>(data.size()), 3);
    put(b, data);
    return sized(0x16, b);
  }
  Tzx &c64turbo(const C64Turbo &c, const Bytes &data) {
    Bytes b;
    put(b, c.bit0, 2), put(b, c.bit1, 2), put(b, c.add_bit), put(b, c.lead_in, 2), put(b, c.lead_in_byte);
    put(b, c.lastbyte), put(b, c.endian), put(b, c.trailing, 2), put(b, c.trailing_byte), put(b, c.pause, 2);
    put(b, static_cast<uint32_t>(data.size()), 3), put(b, data);
    return sized(0x17, b);
  }
  Tzx &csw(unsigned pause, unsigned rate, unsigned compression, uint32_t pulses, const Bytes &stream) {
    Bytes b;
    put(b, pause, 2), put(b, rate, 3), put(b, compression), put(b, pulses, 4), put(b, stream);
    return sized(0x18, b);
  }
  // Tables of up to 256 symbols (npp, npd: pulses a row, 0 for the longest
  // row's), a pilot stream of (symbol, repetitions), `totd` data symbols.
  Tzx &generalized(unsigned pause, const std::vector<Symbol> &pilot, const std::vector<std::pair<unsigned, unsigned>> &stream,
                   const std::vector<Symbol> &data, uint32_t totd, const Bytes &data_stream, unsigned npp = 0,
                   unsigned npd = 0) {
    auto width = [](const std::vector<Symbol> &t, unsigned n) {
      for (const Symbol &s : t) n = std::max<unsigned>(n, static_cast<unsigned>(s.pulses.size()));
      return n;
    };
    npp = width(pilot, npp), npd = width(data, npd);
    Bytes b;
    put(b, pause, 2), put(b, static_cast<uint32_t>(stream.size()), 4), put(b, npp), put(b, static_cast<uint32_t>(pilot.size()));
    put(b, totd, 4), put(b, npd), put(b, static_cast<uint32_t>(data.size()));
    auto rows = [&](const std::vector<Symbol> &t, unsigned n) {
      for (const Symbol &s : t) {
        put(b, s.flag);
        for (unsigned i = 0; i < n; i++) put(b, i < s.pulses.size() ? s.pulses[i] : 0, 2);
      }
    };
    if (!stream.empty()) rows(pilot, npp);  // the tables are there only for their streams
    for (auto [sym, reps] : stream) put(b, sym), put(b, reps, 2);
    if (totd > 0) rows(data, npd);
    put(b, data_stream);
    return sized(0x19, b);
  }
  Tzx &level(unsigned l) { return sized(0x2B, {static_cast<uint8_t>(l)}); }
  Tzx &pause(unsigned ms) { return word(0x20, ms); }  // 0: stop the tape
  Tzx &group(const std::string &name) { return raw(0x21, counted(name)); }
  Tzx &group_end() { return raw(0x22); }
  Tzx &jump(int distance) { return word(0x23, static_cast<uint16_t>(distance)); }
  Tzx &loop(unsigned count) { return word(0x24, count); }
  Tzx &loop_end() { return raw(0x25); }
  Tzx &call(const std::vector<int> &distances) {
    Bytes b;
    put(b, static_cast<uint32_t>(distances.size()), 2);
    for (int d : distances) put(b, static_cast<uint16_t>(d), 2);
    return raw(0x26, b);
  }
  Tzx &ret() { return raw(0x27); }
  Tzx &select(const std::vector<std::pair<int, std::string>> &entries) {
    Bytes b;
    put(b, static_cast<uint32_t>(entries.size()));
    for (const auto &[d, text] : entries) put(b, static_cast<uint16_t>(d), 2), put(b, counted(text));
    return with_u16_length(0x28, b);
  }
  Tzx &stop48k() { return raw(0x2A, Bytes(4, 0)); }
  Tzx &text(const std::string &s) { return raw(0x30, counted(s)); }
  Tzx &message(unsigned seconds, const std::string &s) {
    Bytes b{static_cast<uint8_t>(seconds)};
    put(b, counted(s));
    return raw(0x31, b);
  }
  Tzx &archive(const std::vector<std::pair<unsigned, std::string>> &strings) {
    Bytes b;
    put(b, static_cast<uint32_t>(strings.size()));
    for (const auto &[kind, s] : strings) put(b, kind), put(b, counted(s));
    return with_u16_length(0x32, b);
  }
  Tzx &hardware(const std::vector<std::vector<unsigned>> &entries) {  // (type, id, relation)
    Bytes b;
    put(b, static_cast<uint32_t>(entries.size()));
    for (const auto &e : entries) put(b, e.at(0)), put(b, e.at(1)), put(b, e.at(2));
    return raw(0x33, b);
  }
  Tzx &emulation() { return raw(0x34, Bytes(8, 0)); }
  Tzx &custom(std::string ident, const Bytes &contents) {  // ident padded with blanks to 16
    ident.resize(16, ' ');
    Bytes b;
    put(b, ident), put(b, static_cast<uint32_t>(contents.size()), 4), put(b, contents);
    return raw(0x35, b);
  }
  Tzx &pokes(const std::string &description, const std::vector<Trainer> &trainers) {
    Bytes b = counted(description);
    put(b, static_cast<uint32_t>(trainers.size()));
    for (const auto &t : trainers) {
      put(b, counted(t.name)), put(b, static_cast<uint32_t>(t.pokes.size()));
      for (const auto &p : t.pokes) put(b, p.flags), put(b, p.address, 2), put(b, p.value), put(b, p.original);
    }
    return custom("POKEs", b);
  }
  Tzx &snapshot(unsigned type, const Bytes &snap) {
    Bytes b{static_cast<uint8_t>(type)};
    put(b, static_cast<uint32_t>(snap.size()), 3), put(b, snap);
    return raw(0x40, b);
  }
  Tzx &merged() { return raw(0x5A, Bytes{'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 10}); }
  // A block of an ID no version of the format assigns.
  Tzx &unknown(unsigned id = 0xEE, unsigned len = 2) { return sized(id, Bytes(len, 0x55)); }

  size_t offset() const { return bytes.size(); }  // of the next block's ID byte
  void save(const std::string &path) const {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
  }

 private:
  Tzx &word(unsigned id, unsigned v) {
    Bytes b;
    put(b, v, 2);
    return raw(id, b);
  }
  Tzx &with_u16_length(unsigned id, const Bytes &rest) {
    Bytes b;
    put(b, static_cast<uint32_t>(rest.size()), 2);
    put(b, rest);
    return raw(id, b);
  }
};

}  // namespace tzx
