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

#include <zlib.h>

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
  put(b, static_cast<uint32_t>(s.size())), put(b, s);
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
  Bytes p{static_cast<uint8_t>(type)};
  put(p, name), put(p, length, 2), put(p, p1, 2), put(p, p2, 2);
  return data_block(0, p);
}

// A CSW pulse stream, RLE: a byte a pulse, 0 and a u32 for longer ones.
inline Bytes rle(const std::vector<uint32_t> &pulses) {
  Bytes b;
  for (uint32_t p : pulses) p < 256 ? put(b, p) : (put(b, 0), put(b, p, 4));
  return b;
}

// zlib's compressed form of the bytes.
inline Bytes zlib(const Bytes &b) {
  uLongf n = compressBound(b.size());
  Bytes z(n);
  compress2(z.data(), &n, b.data(), b.size(), 9);
  z.resize(n);
  return z;
}

inline void save(const std::string &path, const Bytes &b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A TAP file: each block after its u16 length.
inline Bytes tap(const std::vector<Bytes> &blocks) {
  Bytes b;
  for (const Bytes &d : blocks) put(b, static_cast<uint32_t>(d.size()), 2), put(b, d);
  return b;
}

// A CSW file at 22050 Hz of the RLE pulses: version 1.01, or 2.00 (Z-RLE,
// 99 pulses declared, an encoder name, 3 bytes of header extension).
inline Bytes csw(int major, unsigned flags, const Bytes &rle) {
  Bytes b;
  put(b, std::string("Compressed Square Wave\x1A"));
  if (major == 1) {
    put(b, 0x0101, 2), put(b, 22050, 2), put(b, 1), put(b, flags), put(b, 0, 3), put(b, rle);
    return b;
  }
  put(b, 2), put(b, 0), put(b, 22050, 4), put(b, 99, 4), put(b, 2), put(b, flags);
  put(b, 3), put(b, std::string(16, 'a')), put(b, std::string("ext")), put(b, zlib(rle));
  return b;
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
struct Trainer {
  std::string name;
  std::vector<Poke> pokes;
};
struct Symbol {  // a row of a generalized data block's table
  unsigned flag;
  std::vector<unsigned> pulses;
};

class Tzx {
 public:
  Bytes bytes;

  explicit Tzx(unsigned major = 1, unsigned minor = 10) {
    put(bytes, std::string("ZXTape!\x1A")), put(bytes, major), put(bytes, minor);
  }
  // Any block: its ID and body as they stand; or a body after its u32 length.
  Tzx &raw(unsigned id, const Bytes &body = {}) { return put(bytes, id), put(bytes, body), *this; }
  Tzx &sized(unsigned id, const Bytes &rest) { return raw(id, with_length(rest, 4)); }

  Tzx &standard(unsigned pause, const Bytes &data) { return raw(0x10, fields({{pause, 2}, {size(data), 2}}, data)); }
  Tzx &turbo(const Turbo &t, unsigned lastbyte, unsigned pause, const Bytes &data) {
    return raw(0x11, fields({{t.pilot, 2}, {t.sync1, 2}, {t.sync2, 2}, {t.bit0, 2}, {t.bit1, 2}, {t.pilot_len, 2},
                             {lastbyte, 1}, {pause, 2}, {size(data), 3}},
                            data));
  }
  Tzx &tone(unsigned pulse, unsigned count) { return raw(0x12, fields({{pulse, 2}, {count, 2}})); }
  Tzx &pulses(const std::vector<unsigned> &lengths) {
    Bytes b{static_cast<uint8_t>(lengths.size())};
    for (unsigned l : lengths) put(b, l, 2);
    return raw(0x13, b);
  }
  Tzx &pure_data(unsigned bit0, unsigned bit1, unsigned lastbyte, unsigned pause, const Bytes &data) {
    return raw(0x14, fields({{bit0, 2}, {bit1, 2}, {lastbyte, 1}, {pause, 2}, {size(data), 3}}, data));
  }
  Tzx &direct(unsigned tstates, unsigned pause, unsigned lastbyte, const Bytes &data) {
    return raw(0x15, fields({{tstates, 2}, {pause, 2}, {lastbyte, 1}, {size(data), 3}}, data));
  }
  Tzx &c64rom(const C64Rom &c, const Bytes &data) {
    return sized(0x16, fields({{c.pilot, 2}, {c.pilot_len, 2}, {c.sync1, 2}, {c.sync2, 2}, {c.bit0_f, 2},
                               {c.bit0_s, 2}, {c.bit1_f, 2}, {c.bit1_s, 2}, {c.xortype, 1}, {c.fbyte_f, 2},
                               {c.fbyte_s, 2}, {c.fdata_f, 2}, {c.fdata_s, 2}, {c.trail, 2}, {c.trail_len, 2},
                               {c.lastbyte, 1}, {c.endian, 1}, {c.pause, 2}, {size(data), 3}},
                              data));
  }
  Tzx &c64turbo(const C64Turbo &c, const Bytes &data) {
    return sized(0x17, fields({{c.bit0, 2}, {c.bit1, 2}, {c.add_bit, 1}, {c.lead_in, 2}, {c.lead_in_byte, 1},
                               {c.lastbyte, 1}, {c.endian, 1}, {c.trailing, 2}, {c.trailing_byte, 1}, {c.pause, 2},
                               {size(data), 3}},
                              data));
  }
  Tzx &csw(unsigned pause, unsigned rate, unsigned compression, uint32_t pulses, const Bytes &stream) {
    return sized(0x18, fields({{pause, 2}, {rate, 3}, {compression, 1}, {pulses, 4}}, stream));
  }
  // Tables of up to 256 symbols (npp, npd: pulses a row, at least the
  // longest row's), a pilot stream of (symbol, repetitions), `totd` data symbols.
  Tzx &generalized(unsigned pause, const std::vector<Symbol> &pilot, const std::vector<std::pair<unsigned, unsigned>> &stream,
                   const std::vector<Symbol> &data, uint32_t totd, const Bytes &data_stream, unsigned npp = 0,
                   unsigned npd = 0) {
    for (const Symbol &s : pilot) npp = std::max<unsigned>(npp, size(s.pulses));
    for (const Symbol &s : data) npd = std::max<unsigned>(npd, size(s.pulses));
    Bytes b = fields({{pause, 2}, {size(stream), 4}, {npp, 1}, {size(pilot), 1}, {totd, 4}, {npd, 1}, {size(data), 1}});
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
  Tzx &pause(unsigned ms) { return raw(0x20, fields({{ms, 2}})); }  // 0: stop the tape
  Tzx &group(const std::string &name) { return raw(0x21, counted(name)); }
  Tzx &group_end() { return raw(0x22); }
  Tzx &jump(int distance) { return raw(0x23, fields({{static_cast<uint16_t>(distance), 2}})); }
  Tzx &loop(unsigned count) { return raw(0x24, fields({{count, 2}})); }
  Tzx &loop_end() { return raw(0x25); }
  Tzx &call(const std::vector<int> &distances) {
    Bytes b = fields({{size(distances), 2}});
    for (int d : distances) put(b, static_cast<uint16_t>(d), 2);
    return raw(0x26, b);
  }
  Tzx &ret() { return raw(0x27); }
  Tzx &select(const std::vector<std::pair<int, std::string>> &entries) {
    Bytes b{static_cast<uint8_t>(entries.size())};
    for (const auto &[d, text] : entries) put(b, static_cast<uint16_t>(d), 2), put(b, counted(text));
    return raw(0x28, with_length(b, 2));
  }
  Tzx &stop48k() { return raw(0x2A, Bytes(4, 0)); }
  Tzx &text(const std::string &s) { return raw(0x30, counted(s)); }
  Tzx &message(unsigned seconds, const std::string &s) { return raw(0x31, fields({{seconds, 1}}, counted(s))); }
  Tzx &archive(const std::vector<std::pair<unsigned, std::string>> &strings) {
    Bytes b{static_cast<uint8_t>(strings.size())};
    for (const auto &[kind, s] : strings) put(b, kind), put(b, counted(s));
    return raw(0x32, with_length(b, 2));
  }
  Tzx &hardware(const std::vector<std::vector<unsigned>> &entries) {  // (type, id, relation)
    Bytes b{static_cast<uint8_t>(entries.size())};
    for (const auto &e : entries) put(b, e.at(0)), put(b, e.at(1)), put(b, e.at(2));
    return raw(0x33, b);
  }
  Tzx &emulation() { return raw(0x34, Bytes(8, 0)); }
  Tzx &custom(std::string ident, const Bytes &contents) {  // ident padded with blanks to 16
    ident.resize(16, ' ');
    Bytes b;
    put(b, ident), put(b, with_length(contents, 4));
    return raw(0x35, b);
  }
  Tzx &pokes(const std::string &description, const std::vector<Trainer> &trainers) {
    Bytes b = counted(description);
    put(b, size(trainers));
    for (const auto &t : trainers) {
      put(b, counted(t.name)), put(b, size(t.pokes));
      for (const auto &p : t.pokes) put(b, p.flags), put(b, p.address, 2), put(b, p.value), put(b, p.original);
    }
    return custom("POKEs", b);
  }
  Tzx &snapshot(unsigned type, const Bytes &snap) { return raw(0x40, fields({{type, 1}, {size(snap), 3}}, snap)); }
  Tzx &merged() { return raw(0x5A, Bytes{'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 10}); }
  // A block of an ID no version of the format assigns.
  Tzx &unknown(unsigned id = 0xEE, unsigned len = 2) { return sized(id, Bytes(len, 0x55)); }

  void save(const std::string &path) const { tzx::save(path, bytes); }

 private:
  template <class C>
  static uint32_t size(const C &c) { return static_cast<uint32_t>(c.size()); }
  // Little-endian fields of the given widths, then the rest.
  static Bytes fields(std::initializer_list<std::pair<uint32_t, int>> f, const Bytes &rest = {}) {
    Bytes b;
    for (auto [v, n] : f) put(b, v, n);
    put(b, rest);
    return b;
  }
  static Bytes with_length(const Bytes &rest, int width) { return fields({{size(rest), width}}, rest); }
};

}  // namespace tzx
