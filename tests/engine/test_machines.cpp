// The tapes of other machines, built here from their layouts: the pulses each
// must give, in T-states of the 3.5 MHz clock, worked out by hand from each
// machine's clock and timings.
#include <gtest/gtest.h>

#include <zlib.h>

#include "format/failure.hpp"
#include "support/play.hpp"

namespace {

using namespace playing;
using tzx::Bytes, tzx::put;

struct Heard {
  std::vector<Pulse> items;
  std::string problems;
  format::Tape tape;
};

// Every block of an image read as `kind`, played from the low level.
Heard hear(format::Kind kind, const Bytes &image, const std::string &name = "t", bool msx_2400 = false) {
  format::Tape t = format::Tape::Read(kind, image, {name, msx_2400});
  Played out = tape(t, L, false, 44100);
  return {out.items, out.problems, std::move(t)};
}

// Runs of pulses: consecutive T-state items of one level pattern whose
// lengths lie within one T-state of each other, as (first length, count, sum).
struct Stretch {
  uint32_t length, count;
  uint64_t sum;
  bool operator==(const Stretch &) const = default;
};
std::vector<Stretch> runs(const std::vector<Pulse> &items) {
  std::vector<Stretch> out;
  for (const Pulse &p : items) {
    if (p.unit != Unit::tstates) continue;
    if (!out.empty() && p.length + 1 >= out.back().length && p.length <= out.back().length + 1)
      out.back().count += p.count, out.back().sum += uint64_t(p.length) * p.count;
    else
      out.push_back({p.length, p.count, uint64_t(p.length) * p.count});
  }
  return out;
}

Bytes block(const char *tag, const Bytes &body) {
  Bytes b;
  put(b, std::string(tag, 4)), put(b, static_cast<uint32_t>(body.size()), 4), put(b, body);
  return b;
}

TEST(Pzx, PulsesDataAndPausesAsTheBlocksSpellThem) {
  Bytes pzx = block("PZXT", {1, 0, 'T', 0, 'A', 'u', 't', 'h', 'o', 'r', 0, 'M', 'e'});
  // A toggle (duration 0), 3 x 1000, then 1 x 65538 in the long form.
  put(pzx, block("PULS", {0, 0, 0x03, 0x80, 0xE8, 0x03, 0x01, 0x80, 0x01, 0x80, 0x02, 0x00}));
  // 10 bits from the high level: 1010000001; a 0 is 855 855, a 1 is 1710; tail 945.
  put(pzx, block("DATA", {10, 0, 0, 0x80, 0xB1, 0x03, 2, 1, 0x57, 0x03, 0x57, 0x03, 0xAE, 0x06, 0xA0, 0x40}));
  put(pzx, block("PAUS", {0x58, 0x1B, 0, 0x80}));  // 7000 T high
  put(pzx, block("STOP", {1, 0})), put(pzx, block("STOP", {0, 0})), put(pzx, block("BRWS", {'b', 0}));
  const Heard h = hear(format::Kind::pzx, pzx);
  std::vector<Pulse> want{T(1000, 3, H), T(65538, 1, L), T(1710, 1, H), T(855, 1, L), T(855, 1, H), T(1710, 1, L)};
  for (int zero = 0; zero < 6; zero++) want.push_back(T(855, 1, H)), want.push_back(T(855, 1, L));
  want.insert(want.end(), {T(1710, 1, H), T(945, 1, L), T(7000, 1, H)});
  EXPECT_EQ(h.items, want);
  EXPECT_TRUE(std::holds_alternative<format::Stop48k>(h.tape.at(4).block));
  EXPECT_TRUE(std::holds_alternative<format::StopTape>(h.tape.at(5).block));
  const format::IndexedBlock first = h.tape.at(0);
  const auto &head = std::get<format::TapeText>(first.block);
  EXPECT_EQ(head.fields, (decltype(head.fields){{"Title", "T"}, {"Author", "Me"}}));
  EXPECT_EQ(h.tape.about(), "PZX file revision 1.0");
  EXPECT_TRUE(h.tape.problems().empty());
}

TEST(Pzx, DamageIsWarnedAndAVersionNeverDefinedRefused) {
  Bytes cut = block("PZXT", {1, 0});
  put(cut, block("PULS", {0x03, 0x80})), put(cut, Bytes{'D', 'A', 'T', 'A', 99, 0, 0, 0, 1});
  const Heard h = hear(format::Kind::pzx, cut);
  EXPECT_TRUE(h.tape.truncated());
  EXPECT_NE(h.problems.find("ends inside a pulse"), std::string::npos);
  EXPECT_THROW(hear(format::Kind::pzx, block("PZXT", {2, 0})), format::Failure);
}

Stretch X(uint32_t length, uint32_t count) { return {length, count, uint64_t(length) * count}; }

TEST(Tsx, KansasCityBlockFramesEachByte) {
  struct Row {
    uint8_t bit_layout, byte_layout, byte;
    std::vector<Stretch> want;  // from a pilot of 4 x 729
  };
  const Row rows[] = {
      // MSX: 1 leading 0, 2 trailing 1s, least significant first; 0 = 2 x 1458, 1 = 4 x 729.
      {0x24, 0x54, 0x01, {X(729, 4), X(1458, 2), X(729, 4), X(1458, 14), X(729, 8)}},
      // 2 leading 1s, none after, most significant first; 0 = 1 pulse, 1 = 2.
      {0x12, 0xA5, 0x80, {X(729, 4 + 4 + 2), X(1458, 7)}},
      // No framing, least significant first; a nibble of 0 means 16 pulses.
      {0x01, 0x00, 0xFE, {X(729, 4), X(1458, 16), X(729, 7)}},
  };
  for (const Row &r : rows) {
    Bytes body{0, 0, 0xD9, 0x02, 4, 0, 0xB2, 0x05, 0xD9, 0x02, r.bit_layout, r.byte_layout, r.byte};
    Bytes raw;
    put(raw, static_cast<uint32_t>(body.size()), 4), put(raw, body);
    tzx::Tzx t(1, 21);
    t.raw(0x4B, raw);
    EXPECT_EQ(runs(hear(format::Kind::tzx, t.bytes).items), r.want) << std::hex << int(r.bit_layout);
  }
}

TEST(Commodore, EachValueIsAPulseInTheMachineClock) {
  // Pulse ends fall at floor(cycles so far x 3500000 / clock).
  struct Row {
    Bytes head;  // version, machine, video
    Bytes data;
    std::vector<Pulse> want;
  } rows[] = {
      // C64 PAL (985248 Hz), version 1: 0x30 = 384 cycles = 1364 T, a whole cycle;
      // 0 and a u24 = 10000 cycles (35524 T); 0x2F = 376 cycles (1335 T).
      {{1, 0, 0}, {0x30, 0, 0x10, 0x27, 0, 0x2F},
       {T(682, 1, L), T(682, 1, H), T(17762, 1, L), T(17762, 1, H), T(667, 1, L), T(668, 1, H)}},
      // Version 0: a 0 is 256 x 8 = 2048 cycles (7275 T).
      {{0, 0, 0}, {0}, {T(3637, 1, L), T(3638, 1, H)}},
      // C16 PAL (886724 Hz), version 2: half cycles of 256, 512, 256 cycles.
      {{2, 2, 0}, {0x20, 0x40, 0x20}, {T(1010, 1, L), T(2021, 1, H), T(1010, 1, L)}},
      // VIC-20 NTSC (1022727 Hz): 800 cycles = 2737 T.
      {{1, 1, 1}, {100}, {T(1368, 1, L), T(1369, 1, H)}},
  };
  for (const Row &r : rows) {
    Bytes tap;
    put(tap, std::string("C64-TAPE-RAW")), put(tap, r.head), put(tap, 0), put(tap, uint32_t(r.data.size()), 4);
    put(tap, r.data);
    EXPECT_EQ(hear(format::Kind::commodore, tap).items, r.want) << int(r.head[0]) << int(r.head[1]);
  }
  // A pulse of a tenth of a second or more (here 131072 cycles) ends a block of the listing.
  Bytes tap;
  put(tap, std::string("C64-TAPE-RAW")), put(tap, Bytes{1, 0, 0, 0}), put(tap, 7, 4);
  put(tap, Bytes{0x30, 0, 0, 0, 2, 0x30, 0x31});
  const format::Tape t = hear(format::Kind::commodore, tap).tape;
  ASSERT_EQ(t.size(), 2);
  EXPECT_EQ(std::get<format::CommodorePulses>(t.at(0).block).data.size(), 5u);
  EXPECT_EQ(std::get<format::CommodorePulses>(t.at(1).block).data.size(), 2u);
  EXPECT_EQ(t.at(1).offset, 25u);
}

TEST(Commodore, AHeaderThatOverstatesIsWarnedAndUnknownVersionsRefused) {
  Bytes tap;
  put(tap, std::string("C64-TAPE-RAW")), put(tap, Bytes{1, 0, 0, 0}), put(tap, 1000, 4), put(tap, Bytes{0x30, 0});
  const Heard h = hear(format::Kind::commodore, tap);
  ASSERT_EQ(h.tape.problems().size(), 2u);  // overstated, and a long pulse cut short
  EXPECT_EQ(h.items.size(), 2u);
  for (uint8_t bad : {3, 9}) {
    tap[12] = bad;
    EXPECT_THROW(hear(format::Kind::commodore, tap), format::Failure);
  }
  EXPECT_THROW(hear(format::Kind::commodore, Bytes{'C', '6', '4'}), format::Failure);
}

const Bytes kMarker{0x1F, 0xA6, 0xDE, 0xBA, 0xCC, 0x13, 0x7D, 0x74};

TEST(Msx, TheBiosSoundAt1200And2400Baud) {
  Bytes cas = kMarker;
  put(cas, Bytes(10, 0xD3)), put(cas, std::string("NAME  ")), put(cas, kMarker), put(cas, Bytes{0x00});
  for (bool fast : {false, true}) {
    const Heard h = hear(format::Kind::msx, cas, "t.cas", fast);
    const uint32_t k = fast ? 2 : 1;
    // A pulse of the high tone is 3500000 / 4800 = 729.17 T (364.58 at 2400 baud).
    const uint32_t hi = fast ? 364 : 729, lo = fast ? 729 : 1458;
    // Header: 2 s of silence, 16000 cycles of 2400 Hz; 0xD3 = 11001011 least first.
    const std::vector<Stretch> header = runs(h.items);
    ASSERT_GE(header.size(), 3u);
    EXPECT_EQ(header[0].count, 32000 * k);
    EXPECT_EQ(header[0].sum, 23333333u);  // 4000 cycles a second for 4 s at either rate
    EXPECT_EQ(header[0].length, hi);
    EXPECT_EQ(header[1], (Stretch{lo, 2, header[1].sum}));  // the start bit
    EXPECT_EQ(header[2].count, 8u);                     // two 1 bits
    EXPECT_EQ(h.items.front(), Ms(2000, L));
    // The data block: 1 s of silence, 4000 cycles, then 0x00 and the pause after the last block.
    size_t at = 0;
    while (!(h.items[at] == Ms(1000, L))) ASSERT_LT(++at, h.items.size());
    const std::vector<Stretch> data = runs(std::vector<Pulse>(h.items.begin() + long(at), h.items.end()));
    ASSERT_EQ(data.size(), 3u);
    EXPECT_EQ(data[0].count, 8000 * k);
    EXPECT_EQ(data[1].count, 18u);  // start bit and 8 zeros, two pulses each
    EXPECT_EQ(data[1].sum, fast ? 13125u : 26250u);
    EXPECT_EQ(data[2].count, 8u);   // two stop bits
    EXPECT_EQ(h.items.back(), Ms(1999, L));
  }
  EXPECT_THROW(hear(format::Kind::msx, Bytes(16, 0), "x.cas"), format::Failure);  // no marker
}

TEST(Zx81, BitsArePulseRunsAndSilence) {
  // "a.p": the name "A" is ZX81 character 38, 0xA6 with its last-character bit.
  const Heard h = hear(format::Kind::zx81, Bytes{0x80}, "dir.x/a.p");
  std::vector<Pulse> want{Ms(1000, L)};
  for (int bit : {1, 0, 1, 0, 0, 1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0})
    want.push_back(T(525, bit ? 18 : 8, H)), want.push_back(T(4550, 1, L));
  want.push_back(Ms(1000, L));
  EXPECT_EQ(h.items, want);
  EXPECT_EQ(h.tape.problems().size(), 1u);  // one byte: no program
  // A .p81 file carries its name; a ZX80 .o file has none.
  EXPECT_EQ(hear(format::Kind::zx81, Bytes{0x26, 0xA6, 0}, "b.P81").items.size(), 2u + 2 * 24);
  EXPECT_EQ(hear(format::Kind::zx81, Bytes{0, 0}, "c.o").items.size(), 2u + 2 * 16);
}

Bytes uef(const std::vector<std::pair<unsigned, Bytes>> &chunks) {
  Bytes b;
  put(b, std::string("UEF File!")), put(b, 0), put(b, 10), put(b, 0);
  for (const auto &[id, body] : chunks) put(b, id, 2), put(b, uint32_t(body.size()), 4), put(b, body);
  return b;
}

Bytes gzip(const Bytes &in) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&z, uLong(in.size())) + 32);
  z.next_in = const_cast<Bytef *>(in.data()), z.avail_in = uInt(in.size());
  z.next_out = out.data(), z.avail_out = uInt(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

TEST(Uef, EveryTapeChunk) {
  // At 1200 Hz a pulse of the high tone is 3500000 / 4800 = 729.17 T, of the low 1458.33.
  const Bytes tape = uef({
      {0x0000, {'m', 'e', 0}},
      {0x0110, {100, 0}},                        // 100 cycles: 200 x 729.17 = 145833 T
      {0x0100, {0x00}},                          // 0, eight 0s, 1: 18 x 1458.33 + 4 x 729.17
      {0x0112, {0x60, 0x09}},                    // 2400 units of 1/2400 s
      {0x0104, {7, 'E', 0xFF, 0x03}},            // 0, 1100000, parity 0, stop 1, a short wave
      {0x0114, {3, 0, 0, 'P', 'W', 0xA0}},       // cycles 1 0 1, the first half left out
      {0x0117, {0x2C, 0x01}},                    // 300 baud
      {0x0100, {0xFF}},                          // 0 = 8 x 1458.33, 1 = 16 x 729.17
      {0x0113, {0, 0, 0x16, 0x45}},              // 2400 Hz
      {0x0111, {1, 0, 1, 0}},                    // a cycle, 0xAA, a cycle (364.58 T pulses)
      {0x0116, {0x28, 0x6B, 0x6E, 0x4E}},        // a billion seconds: cut to 60
  });
  for (const Bytes &image : {tape, gzip(tape)}) {
    const Heard h = hear(format::Kind::uef, image);
    const std::vector<Stretch> r = runs(h.items);
    const std::vector<Stretch> want{
        {729, 200, 145833}, {1458, 18, 26250}, {729, 4, 2917},  // tone; byte 0x00
        {3500000, 1, 3500000},                                   // the gap
        {1458, 2, 2917}, {729, 8, 5833}, {1458, 12, 17500},      // 0, 1100000, even parity 0
        {729, 7, 5104},                                          // stop 1, a short wave, the half cycle
        {1458, 2, 2917}, {729, 2, 1458},                         // the security cycles 0 and 1
        {1458, 8, 11667}, {729, 144, 105000},                    // 300 baud: 0, 0xFF, stop 1
        // 2400 Hz at 300 baud: a 0 is 8 x 729.17, a 1 is 16 x 364.58; a cycle, 0 01010101 1, a cycle
        {364, 2, 729}, {729, 16, 11667}, {364, 16, 5833}, {729, 8, 5833}, {364, 16, 5833}, {729, 8, 5833},
        {364, 16, 5833}, {729, 8, 5833}, {364, 34, 12396},
        {210000000, 1, 210000000}};
    ASSERT_EQ(r.size(), want.size());
    for (size_t i = 0; i < r.size(); i++) {
      EXPECT_EQ(r[i].count, want[i].count) << i;
      EXPECT_NEAR(double(r[i].sum), double(want[i].sum), 1.0) << i;
    }
    EXPECT_EQ(h.tape.problems().size(), 1u);  // the long gap
  }
}

TEST(Uef, GzipThatDoesNotInflateOrInflatesWithoutEndIsRefused) {
  Bytes bad = gzip(uef({{0x0100, Bytes(100, 1)}}));
  bad.resize(bad.size() / 2);
  EXPECT_THROW(hear(format::Kind::uef, bad), format::Failure);
  bad[12] ^= 0xFF;
  EXPECT_THROW(hear(format::Kind::uef, bad), format::Failure);
  EXPECT_THROW(hear(format::Kind::uef, gzip(Bytes(65u << 20, 0))), format::Failure);
  EXPECT_THROW(hear(format::Kind::uef, Bytes{'U', 'E', 'F'}), format::Failure);
  Bytes cut = uef({{0x0110, {1, 0}}, {0x0100, {1, 2, 3}}});
  cut.pop_back();  // the last chunk ends past the file's end: left out
  EXPECT_TRUE(hear(format::Kind::uef, cut).tape.truncated());
  EXPECT_EQ(hear(format::Kind::uef, cut).tape.size(), 1);
}

TEST(Inputs, EachFormatIsKnownByItsContentOrName) {
  const struct {
    Bytes start;
    const char *name;
    format::Kind kind;
  } rows[] = {
      {{'P', 'Z', 'X', 'T'}, "x", format::Kind::pzx},
      {tzx::Bytes{'C', '1', '6', '-', 'T', 'A', 'P', 'E', '-', 'R', 'A', 'W'}, "x.tap", format::Kind::commodore},
      {{'U', 'E', 'F', ' ', 'F', 'i', 'l', 'e', '!', 0}, "x", format::Kind::uef},
      {{0x1F, 0x8B, 8}, "x", format::Kind::uef},
      {kMarker, "x", format::Kind::msx},
      {{1, 2, 3}, "X.CAS", format::Kind::msx},
      {{1}, "a.P", format::Kind::zx81},
      {{1}, "a.p81", format::Kind::zx81},
      {{1}, "a.o", format::Kind::zx81},
      {{2, 0, 1, 2}, "a.o.bin", format::Kind::tap},
      // A TZX named .tap is a TZX; a TAP by its sound chain of lengths, or
      // by its name; a CSW by its signature.
      {tzx::Tzx().bytes, "t.tap", format::Kind::tzx},
      {tzx::tap({{0, 1}, {0xFF, 2, 3}}), "t.bin", format::Kind::tap},
      {{0, 1, 2}, "t.TAP", format::Kind::tap},
      {tzx::csw(1, 0, {5}), "t.bin", format::Kind::csw},
  };
  for (const auto &r : rows) EXPECT_EQ(format::KindOf(r.start, r.name), r.kind) << r.name;
  for (const Bytes &none : {Bytes{1, 2, 3}, Bytes{4, 0, 1, 2, 3}, Bytes{}})  // a chain cut short, a name of none
    EXPECT_FALSE(format::KindOf(none, "a.po").has_value());
  EXPECT_FALSE(format::KindOf({}, "t.tap").has_value());
}

}  // namespace
