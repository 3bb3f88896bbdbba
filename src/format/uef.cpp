// Acorn UEF (BBC Micro, Electron): chunks of an id, a u32 length and a body,
// the whole file often gzip-compressed.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "format/failure.hpp"
#include "format/readers.hpp"
#include "format/signals.hpp"
#include "format/uef.hpp"

namespace format {

namespace {

using namespace signals::acorn;

constexpr uint8_t kDummyByte[] = {0xAA};

// A gzip stream inflated, at most kMaxInflated bytes of it.
std::vector<uint8_t> inflate_gzip(const std::vector<uint8_t> &in) {
  z_stream z{};
  if (inflateInit2(&z, 15 + 32) != Z_OK) throw Failure("Not enough memory to inflate the file!");
  std::vector<uint8_t> out;
  z.next_in = const_cast<Bytef *>(in.data());
  z.avail_in = static_cast<uInt>(in.size());
  for (;;) {
    if (out.size() >= kMaxInflated) {
      inflateEnd(&z);
      throw Failure(strprintf("The compressed file inflates to more than %u MiB: it is no tape!", kMaxInflated >> 20));
    }
    const size_t have = out.size();
    out.resize(have + 65536);
    z.next_out = out.data() + have;
    z.avail_out = 65536;
    const int ret = inflate(&z, Z_NO_FLUSH);
    out.resize(out.size() - z.avail_out);
    if (ret == Z_STREAM_END) break;
    if (ret != Z_OK) {  // damaged, or cut short (no progress with room to spare)
      inflateEnd(&z);
      throw Failure("The compressed file does not inflate: it is damaged or cut short!");
    }
  }
  inflateEnd(&z);
  return out;
}

float f32(Reader r, size_t at) {
  const uint32_t bits = r.u32(at);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

const char *const kTargets[] = {"BBC Model A", "Electron", "BBC Model B", "BBC Master", "Atom"};

struct UefReader {
  std::vector<IndexedBlock> blocks;
  std::vector<std::string> problems;
  float base = kBaseFrequency;
  uint32_t baud = kBaud;
  bool unknown = false;

  // A byte block at today's base frequency and baud rate.
  FramedData framed(FramedData::Origin origin = FramedData::Origin::acorn) const {
    FramedData f;
    f.origin = origin;
    f.clock = Clock{static_cast<uint32_t>(std::lround(4.0 * base * kClockPer)), kClockPer};
    const uint8_t waves = baud == 300 ? 4 : 1;  // cycles of the base frequency in a 0 bit
    f.pulse[0] = 2, f.pulse[1] = 1;
    f.pulses[0] = uint8_t(2 * waves), f.pulses[1] = uint8_t(4 * waves);
    f.leading = 1, f.leading_value = 0, f.trailing = 1, f.trailing_value = 1;
    return f;
  }
  // A gap of `seconds`, cut at the longest one taken.
  Gap gap(double seconds) {
    if (!(seconds >= 0)) seconds = 0;
    if (seconds > kMaxGapSeconds) {
      problems.push_back(strprintf("A gap of %.0f seconds is cut to %.0f!", seconds, kMaxGapSeconds));
      seconds = kMaxGapSeconds;
    }
    return Gap{static_cast<uint32_t>(std::lround(seconds * signals::kSpectrum.hz)), 0};
  }
  static TapeText text(const char *title, Bytes b) {
    std::string s(b.begin(), b.end());
    s = s.substr(0, s.find('\0'));
    return TapeText{title, {{title, s}}};
  }

  Block chunk(unsigned id, Reader b) {
    switch (id) {
      case 0x0000: return text("Origin", b.rest(0));
      case 0x0001: return text("Instructions", b.rest(0));
      case 0x0002: return text("Credits", b.rest(0));
      case 0x0005: {
        const unsigned m = b.u8(0) >> 4;
        return TapeText{"Target machine", {{"Machine", m < std::size(kTargets) ? kTargets[m] : strprintf("%u", m)}}};
      }
      case 0x0120: return text("Position marker", b.rest(0));
      case 0x0130: return TapeText{"Tape set", {{"Volume", strprintf("%u", b.u8(0))}, {"Side", strprintf("%u", b.u8(1))}}};
      case 0x0131: return text("Tape side", b.rest(2));
      case 0x0100: {
        FramedData f = framed();
        f.data = b.rest(0);
        return f;
      }
      case 0x0102: {
        FramedData f = framed(FramedData::Origin::acorn_bits);
        f.leading = f.trailing = 0;
        f.data = b.rest(1);
        f.last_bits = uint8_t(8 - (b.u8(0) & 7));
        return f;
      }
      case 0x0104: {
        FramedData f = framed();
        const unsigned bits = b.u8(0), parity = b.u8(1);
        const int stop = static_cast<int8_t>(b.u8(2));
        f.data_bits = uint8_t(bits >= 1 && bits <= 8 ? bits : 8);
        f.parity = parity == 'E' ? 1 : parity == 'O' ? 2 : 0;
        f.trailing = uint8_t(std::abs(stop) > 8 ? 8 : std::abs(stop));
        f.extra_pulses = stop < 0 ? 2 : 0;  // a short wave: one cycle of the high tone
        f.data = b.rest(3);
        return f;
      }
      case 0x0110: {
        FramedData f = framed();
        f.pilot = 1, f.pilot_pulses = 2 * b.u16(0);
        return f;
      }
      case 0x0111: {
        FramedData f = framed();
        f.pilot = 1, f.pilot_pulses = 2 * b.u16(0);
        f.tail = 1, f.tail_pulses = 2 * b.u16(2);
        f.data = Bytes(kDummyByte);
        return f;
      }
      case 0x0112: return gap(b.u16(0) / (2.0 * base));
      case 0x0113: {
        const float f = f32(b, 0);
        if (std::isfinite(f) && f >= 100 && f <= 20000) base = f;
        else problems.push_back(strprintf("A base frequency of %g Hz is ignored!", static_cast<double>(f)));
        return TapeText{"Base frequency", {{"Frequency", strprintf("%g Hz", static_cast<double>(base))}}};
      }
      case 0x0114: {
        FramedData f = framed(FramedData::Origin::acorn_security);
        const uint32_t cycles = b.u24(0);
        f.leading = f.trailing = 0;
        f.msb_first = true;
        f.pulses[0] = f.pulses[1] = 2;  // a cycle each, whatever the baud rate
        f.data = b.bytes(5, (uint64_t(cycles) + 7) / 8);
        f.last_bits = uint8_t(cycles % 8 == 0 ? 8 : cycles % 8);
        if (f.data.size() * 8 < cycles) f.last_bits = 8;  // cut short: played as far as it goes
        f.cut_first = b.u8(3) == 'P', f.cut_last = b.u8(4) == 'P';
        f.stated = cycles;
        return f;
      }
      case 0x0115: return TapeText{"Phase change", {{"Phase", strprintf("%u degrees", b.u16(0))}}};
      case 0x0116: return gap(static_cast<double>(f32(b, 0)));
      case 0x0117: {
        const unsigned rate = b.u16(0);
        if (rate == 300 || rate == 1200) baud = rate;
        else problems.push_back(strprintf("A baud rate of %u is ignored!", rate));
        return TapeText{"Baud rate", {{"Baud", strprintf("%u", baud)}}};
      }
      default:
        if (id >= 0x0100 && id < 0x0200) unknown = true;
        return TapeText{strprintf("Chunk &%04X, no tape chunk: skipped", id), {}};
    }
  }
};

}  // namespace

Tape ReadUef(std::vector<uint8_t> image) {
  const bool compressed = image.size() >= 2 && image[0] == 0x1F && image[1] == 0x8B;
  if (compressed) image = inflate_gzip(image);
  Reader r(image);
  if (!r.fits(0, 12) || std::memcmp(image.data(), "UEF File!", 10) != 0)
    throw Failure("The file is no UEF file: it lacks the signature \"UEF File!\"!");
  UefReader u;
  size_t at = 12;
  bool cut = false;
  while (at < image.size()) {
    if (!r.fits(at, 6) || !r.fits(at + 6, r.u32(at + 2))) {
      cut = true;
      break;
    }
    u.blocks.push_back({at, 0, u.chunk(r.u16(at), Reader(r.bytes(at + 6, r.u32(at + 2))))});
    at += 6 + size_t(r.u32(at + 2));
  }
  const unsigned major = r.u8(11), minor = r.u8(10);
  Tape t = Tape::FromBlocks(Kind::uef, std::move(image), std::move(u.blocks));
  t.set_about(strprintf("UEF file revision %u.%02u%s", major, minor, compressed ? ", compressed" : ""));
  if (cut) t.set_truncated();
  if (u.unknown) t.warn("Some UEF chunks were not recognised and are skipped!");
  for (std::string &p : u.problems) t.warn(std::move(p));
  return t;
}

}  // namespace format

// Acorn's blocks, and UEF files written.
namespace format {

uint16_t AcornCrc(Bytes b) {
  uint16_t crc = 0;
  for (uint8_t c : b) {
    crc ^= static_cast<uint16_t>(c << 8);
    for (int i = 0; i < 8; i++) crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

std::optional<AcornBlock> ReadAcornBlock(Bytes d) {
  if (d.empty() || d[0] != 0x2A) return std::nullopt;
  const size_t limit = std::min<size_t>(d.size(), 12);
  size_t z = 1;
  while (z < limit && d[z] != 0) z++;
  if (z == limit || d.size() < z + 11) return std::nullopt;  // up to the block number at least
  const Reader r(d);
  AcornBlock b;
  for (size_t i = 1; i < z; i++) b.name.push_back(d[i] >= 32 && d[i] <= 126 ? static_cast<char>(d[i]) : '?');
  b.load = r.u32(z + 1), b.exec = r.u32(z + 5);
  b.number = static_cast<uint16_t>(r.u16(z + 9)), b.length = static_cast<uint16_t>(r.u16(z + 11));
  b.flags = static_cast<uint8_t>(r.u8(z + 13));
  const auto stored = [&r](size_t at) { return static_cast<uint16_t>(r.u8(at) << 8 | r.u8(at + 1)); };
  b.header = d.size() >= z + 20 && AcornCrc(d.subspan(1, z + 17)) == stored(z + 18) ? CrcState::good : CrcState::bad;
  b.size = std::min(z + 20, d.size());
  if (b.length > 0) {
    const size_t want = z + 22 + size_t(b.length);
    b.data = d.size() >= want && AcornCrc(d.subspan(z + 20, b.length)) == stored(z + 20 + b.length) ? CrcState::good
                                                                                                     : CrcState::bad;
    b.size = std::min(want, d.size());
  }
  return b;
}

Image UefHeader() { return Image{'U', 'E', 'F', ' ', 'F', 'i', 'l', 'e', '!', 0, 10, 0}; }

Image UefChunk(uint16_t id, Bytes body) {
  Image c{static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8)};
  for (int i = 0; i < 4; i++) c.push_back(static_cast<uint8_t>(body.size() >> (8 * i)));
  c.insert(c.end(), body.begin(), body.end());
  return c;
}

Image UefFloatChunk(uint16_t id, float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const uint8_t body[4] = {uint8_t(bits), uint8_t(bits >> 8), uint8_t(bits >> 16), uint8_t(bits >> 24)};
  return UefChunk(id, body);
}

Image WriteUef(const Tape &tape, int first, int end) {
  if (tape.kind() != Kind::uef) throw Failure("Only an Acorn tape can be written as a UEF file!");
  const Bytes image = tape.image();
  const Reader r(image);
  auto chunk = [&](int i) {
    const size_t at = static_cast<size_t>(tape.at(i).offset);
    return r.bytes(at, 6 + size_t(r.u32(at + 2)));
  };
  Image out(image.begin(), image.begin() + 12);
  // The base frequency and the baud rate in force where the range begins.
  int state[2] = {-1, -1};
  for (int i = 0; i < first; i++) {
    const unsigned id = r.u16(static_cast<size_t>(tape.at(i).offset));
    if (id == 0x0113) state[0] = i;
    if (id == 0x0117) state[1] = i;
  }
  for (int i : state)
    if (i >= 0) out.insert(out.end(), chunk(i).begin(), chunk(i).end());
  for (int i = first; i < end; i++) {
    const Bytes c = chunk(i);
    out.insert(out.end(), c.begin(), c.end());
  }
  return out;
}

}  // namespace format
