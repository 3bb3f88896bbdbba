// PZX: blocks of a tag, a u32 size and a body; durations in T-states.
#include <cstring>

#include "format/failure.hpp"
#include "format/readers.hpp"

namespace format {

namespace {

// The NUL-terminated texts of a body from `at` on (the last may end at the body's end).
std::vector<std::string> texts(Reader b, size_t at) {
  std::vector<std::string> out;
  while (at < b.size()) {
    const uint8_t *p = b.data() + at;
    const void *nul = std::memchr(p, 0, b.size() - at);
    const size_t n = nul ? static_cast<size_t>(static_cast<const uint8_t *>(nul) - p) : b.size() - at;
    out.emplace_back(reinterpret_cast<const char *>(p), n);
    at += n + 1;
  }
  return out;
}

TapeText header(Reader b) {
  TapeText t{strprintf("PZX header, version %u.%u", b.u8(0), b.u8(1)), {}};
  const std::vector<std::string> s = texts(b, 2);
  if (!s.empty()) t.fields.push_back({"Title", s[0]});
  for (size_t i = 1; i + 1 < s.size(); i += 2) t.fields.push_back({s[i], s[i + 1]});
  if (s.size() > 1 && s.size() % 2 == 0) t.fields.push_back({s.back(), ""});  // a key without its value
  return t;
}

Block data(Reader b) {
  PzxData d;
  const uint32_t head = b.u32(0);
  d.bits = head & 0x7FFFFFFF, d.level = uint8_t(head >> 31);
  d.tail = uint16_t(b.u16(4));
  d.p0 = uint8_t(b.u8(6)), d.p1 = uint8_t(b.u8(7));
  d.s0 = b.bytes(8, 2u * d.p0);
  d.s1 = b.bytes(8 + 2u * d.p0, 2u * d.p1);
  d.data = b.bytes(8 + 2u * (d.p0 + d.p1), (uint64_t(d.bits) + 7) / 8);
  return d;
}

Block block(const char *tag, Reader b, bool &known) {
  known = true;
  if (std::memcmp(tag, "PZXT", 4) == 0) return header(b);
  if (std::memcmp(tag, "PULS", 4) == 0) return PzxPulses{b.rest(0)};
  if (std::memcmp(tag, "DATA", 4) == 0) return data(b);
  if (std::memcmp(tag, "PAUS", 4) == 0) return Gap{b.u32(0) & 0x7FFFFFFF, uint8_t(b.u32(0) >> 31)};
  if (std::memcmp(tag, "BRWS", 4) == 0) {
    const std::vector<std::string> t = texts(b, 0);
    return TapeText{"Browse point", {{"Text", t.empty() ? "" : t[0]}}};
  }
  if (std::memcmp(tag, "STOP", 4) == 0) {
    if (b.u16(0) == 1) return Stop48k{};
    return StopTape{};
  }
  known = false;
  return TapeText{"Unknown PZX block \"" + std::string(tag, 4) + "\"", {}};
}

}  // namespace

Tape ReadPzx(std::vector<uint8_t> image) {
  Reader r(image);
  if (r.u8(8) != 1) throw Failure(strprintf("PZX version %u.%u is not supported!", r.u8(8), r.u8(9)));
  std::vector<IndexedBlock> blocks;
  bool unknown = false, cut = false;
  size_t at = 0;
  while (at < image.size()) {
    if (!r.fits(at, 8) || !r.fits(at + 8, r.u32(at + 4))) {
      cut = true;
      break;
    }
    const char *tag = reinterpret_cast<const char *>(image.data() + at);
    bool known = true;
    blocks.push_back({at, 0, block(tag, Reader(r.bytes(at + 8, r.u32(at + 4))), known)});
    unknown = unknown || !known;
    at += 8 + size_t(r.u32(at + 4));
  }
  const unsigned major = r.u8(8), minor = r.u8(9);
  Tape t = Tape::FromBlocks(Kind::pzx, std::move(image), std::move(blocks));
  t.set_about(strprintf("PZX file revision %u.%u", major, minor));
  if (cut) t.set_truncated();
  if (unknown) t.warn("Some PZX blocks were not recognised and are skipped!");
  return t;
}

}  // namespace format
