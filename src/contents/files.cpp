#include "contents/files.hpp"

#include <algorithm>
#include <optional>
#include <variant>

#include "format/commodore_files.hpp"
#include "format/failure.hpp"
#include "format/readers.hpp"
#include "listing/machines.hpp"

namespace contents {

using format::Bytes;
using format::strprintf;

namespace {

constexpr unsigned kScreenStart = 16384, kScreenLength = 6912;
const char *const kSpectrumLabels[] = {"Program", "Number array", "Character array", "Bytes"};
const char *const kSpectrumExt[] = {"bas", "dat", "dat", "bin"};

// Printable ASCII as it is, anything else '?'.
std::string ascii(Bytes b) {
  std::string s;
  for (uint8_t c : b) s += c >= 0x20 && c <= 0x7E ? char(c) : '?';
  return s;
}
std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

// The bytes of a Spectrum-style data block: the flag first, the checksum last.
std::optional<Bytes> spectrum_data(const format::Block &b) {
  if (const auto *s = std::get_if<format::StandardData>(&b)) return s->data;
  if (const auto *t = std::get_if<format::TurboData>(&b)) return t->data;
  if (const auto *p = std::get_if<format::PureData>(&b)) return p->data;
  return std::nullopt;
}

bool xor_holds(Bytes d) {
  uint8_t x = 0;
  for (uint8_t c : d) x ^= c;
  return x == 0;
}

// The Commodore machines' BASIC: lines linked from the start address, the
// last link 0.
bool commodore_basic(const std::vector<uint8_t> &p, unsigned start) {
  size_t at = 0;
  for (int lines = 0; at + 2 <= p.size(); lines++) {
    const unsigned link = p[at] | p[at + 1] << 8;
    if (link == 0) return lines > 0;
    if (link <= start + at + 4 || link - start > p.size()) return false;
    at = link - start;
  }
  return false;
}

// BBC BASIC: each line a 0x0D, its number (high byte first) and its length;
// 0x0D 0xFF ends the program.
bool bbc_basic(const std::vector<uint8_t> &p) {
  size_t at = 0;
  for (int lines = 0; at + 1 < p.size() && p[at] == 0x0D; lines++) {
    if (p[at + 1] == 0xFF) return lines > 0;
    if (at + 3 >= p.size() || p[at + 3] < 4) return false;
    at += p[at + 3];
  }
  return false;
}

class Scanner {
 public:
  Scanner(const format::Tape &t, int first, int end) : tape_(t), first_(first), end_(end) {}

  std::vector<TapeFile> run() {
    for (int i = first_; i < end_; i++) {
      const format::IndexedBlock b = tape_.at(i);
      if (const auto *h = std::get_if<format::HardwareInfo>(&b.block)) machine_ = listing::DetectMachine(*h, machine_);
      if (std::optional<Bytes> d = spectrum_data(b.block)) spectrum(i, *d);
      else if (const auto *z = std::get_if<format::Zx81Program>(&b.block)) zx81(i, *z);
      else if (const auto *c = std::get_if<format::CommodorePulses>(&b.block)) commodore_pulses(i, *c);
      else if (const auto *r = std::get_if<format::C64RomData>(&b.block)) c64_rom(i, *r);
      else if (const auto *f = std::get_if<format::FramedData>(&b.block)) framed(i, *f);
    }
    end_header();
    end_commodore();
    end_acorn();
    end_msx();
    std::stable_sort(files_.begin(), files_.end(), [](const TapeFile &a, const TapeFile &b) { return a.block < b.block; });
    return std::move(files_);
  }

 private:
  // Spectrum ------------------------------------------------------------
  void spectrum(int i, Bytes d) {
    if (d.empty()) return;
    if (machine_.cpc || machine_.sam) {  // their headers and checks are not the Spectrum's: the bytes as they are
      end_header();
      TapeFile f = headerless(i, std::vector<uint8_t>(d.begin(), d.end()));
      files_.push_back(std::move(f));
      return;
    }
    const bool header = (d.size() == 19 || d.size() == 20) && d[0] == 0 && d[1] <= 3;
    if (header) {
      end_header();
      header_ = i;
      header_bytes_.assign(d.begin(), d.end());
      return;
    }
    const std::vector<uint8_t> payload(d.begin() + 1, d.end() - (d.size() > 1 ? 1 : 0));
    if (header_ < 0) {
      TapeFile f = headerless(i, payload);
      f.good = xor_holds(d);
      f.screen = f.bytes.size() == kScreenLength;
      files_.push_back(std::move(f));
      return;
    }
    const format::Reader h(header_bytes_);
    TapeFile f;
    f.system = System::spectrum;
    f.block = header_ + 1, f.last_block = i + 1;
    f.has_header = true;
    const unsigned type = h.u8(1), length = h.u16(12), p1 = h.u16(14), p2 = h.u16(16);
    f.label = kSpectrumLabels[type];
    f.name = trimmed(ascii(Bytes(header_bytes_).subspan(2, 10)));
    f.ext = kSpectrumExt[type];
    f.bytes = payload;
    f.good = xor_holds(Bytes(header_bytes_)) && xor_holds(d);
    f.load = type == 3 ? p1 : 0;
    if (type == 0) {
      f.basic = Dialect::spectrum;
      f.autostart = p1;
      f.program_length = std::min<size_t>(p2, payload.size());
      if (p2 > length) f.problems.push_back(strprintf("its header puts the variables at %u, past its length", p2));
    }
    if (type == 3 && length == kScreenLength && (p1 == kScreenStart || f.name == "SCREEN$")) f.screen = true, f.ext = "scr";
    if (payload.size() != length)
      f.problems.push_back(strprintf("its header states %u bytes; its block holds %u", length, unsigned(payload.size())));
    files_.push_back(std::move(f));
    header_ = -1;
  }
  // A header with no data after it.
  void end_header() {
    if (header_ < 0) return;
    TapeFile f;
    f.block = f.last_block = header_ + 1;
    f.has_header = true;
    f.label = "Header";
    f.name = trimmed(ascii(Bytes(header_bytes_).subspan(2, 10)));
    f.ext = "hdr";
    f.bytes.assign(header_bytes_.begin() + 1, header_bytes_.end() - 1);
    f.good = xor_holds(Bytes(header_bytes_));
    f.problems.push_back("a header with no data block after it");
    files_.push_back(std::move(f));
    header_ = -1;
  }
  TapeFile headerless(int i, std::vector<uint8_t> bytes) const {
    TapeFile f;
    f.block = f.last_block = i + 1;
    f.label = "Headerless";
    f.ext = "bin";
    f.bytes = std::move(bytes);
    return f;
  }

  // ZX81 and ZX80 -------------------------------------------------------
  void zx81(int i, const format::Zx81Program &z) {
    TapeFile f;
    f.system = z.zx80 ? System::zx80 : System::zx81;
    f.block = f.last_block = i + 1;
    f.has_header = !z.zx80;
    f.label = z.zx80 ? "ZX80 Program" : "ZX81 Program";
    if (!z.zx80) f.name = format::Zx81Text(z.name);
    f.ext = z.zx80 ? "o" : "p";
    f.bytes.assign(z.data.begin(), z.data.end());
    f.basic = z.zx80 ? Dialect::zx80 : Dialect::zx81;
    files_.push_back(std::move(f));
  }

  // Commodore -----------------------------------------------------------
  // A TAP file's stretches of pulses are found together: a file's copies
  // may lie in several.
  void commodore_pulses(int i, const format::CommodorePulses &c) {
    if (!stretches_.empty() && stretches_.back().second.data.data() + stretches_.back().second.data.size() == c.data.data() &&
        stretches_.back().second.version == c.version) {
      format::CommodorePulses &all = stretches_.back().second;
      all.data = Bytes(all.data.data(), all.data.size() + c.data.size());
      bounds_.push_back({i, size_t(c.data.data() - all.data.data())});
      return;
    }
    end_commodore();
    stretches_.push_back({i, c});
    bounds_ = {{i, 0}};
  }
  void end_commodore() {
    if (!stretches_.empty()) {
      const format::CommodoreContents c = format::FindCommodoreFiles(stretches_.back().second);
      for (const format::CommodoreFile &f : c.files) {
        auto block_at = [&](size_t offset) {
          int b = bounds_.front().first;
          for (const auto &[index, from] : bounds_)
            if (from <= offset) b = index;
          return b;
        };
        commodore(f, block_at(f.begin), block_at(f.finish == 0 ? 0 : f.finish - 1));
      }
      stretches_.clear();
    }
    if (!rom_blocks_.empty()) {
      const std::vector<format::CommodoreFile> files = format::GroupCommodoreFiles(rom_blocks_);
      for (const format::CommodoreFile &f : files) commodore(f, rom_index_[size_t(first_copy(f))], rom_index_[size_t(f.last)]);
      rom_blocks_.clear(), rom_index_.clear();
    }
  }
  static int first_copy(const format::CommodoreFile &f) {
    const format::CommodoreCopies &c = f.header.found() ? f.header : f.data.front();
    return c.first >= 0 ? c.first : c.repeat;
  }
  void c64_rom(int i, const format::C64RomData &r) {
    if (!stretches_.empty()) end_commodore();
    if (std::optional<format::CommodoreBlock> b = format::CommodoreBlockOf(r.data)) {
      rom_blocks_.push_back(std::move(*b));
      rom_index_.push_back(i);
    }
  }
  void commodore(const format::CommodoreFile &c, int first, int last) {
    using T = format::CommodoreType;
    if (c.type == T::end_of_tape) return;
    TapeFile f;
    f.system = System::commodore;
    f.block = first + 1, f.last_block = last + 1;
    f.has_header = c.header.found();
    f.good = c.good();
    const std::vector<uint8_t> bytes = c.bytes();
    if (!f.has_header) {
      f.label = "Commodore Data";
      f.ext = "bin";
      f.bytes = bytes;
      files_.push_back(std::move(f));
      return;
    }
    f.name = format::PetsciiName(c.name);
    f.load = c.start;
    if (c.type == T::data_header) {
      f.label = "Commodore Data File";
      f.ext = "seq";
      f.bytes = bytes;
    } else {
      f.label = c.type == T::relocatable ? "Commodore Program" : "Commodore Program (fixed address)";
      f.ext = "prg";
      f.bytes = {uint8_t(c.start), uint8_t(c.start >> 8)};
      f.bytes.insert(f.bytes.end(), bytes.begin(), bytes.end());
      if (commodore_basic(bytes, c.start)) f.basic = Dialect::commodore;
      if (c.data.empty()) f.problems.push_back("its header has no data after it");
      else if (bytes.size() != size_t(uint16_t(c.end - c.start)))
        f.problems.push_back(strprintf("its header states %u bytes; its data block holds %u", unsigned(uint16_t(c.end - c.start)),
                                       unsigned(bytes.size())));
    }
    files_.push_back(std::move(f));
  }

  // Acorn and MSX ---------------------------------------------------------
  void framed(int i, const format::FramedData &f) {
    using O = format::FramedData::Origin;
    if (f.origin == O::acorn && !f.data.empty() && f.data[0] == 0x2A) acorn(i, f.data);
    if (f.origin == O::msx) msx(i, f.data);
  }

  // An Acorn block: '*', the name ended by a NUL, load and execution
  // addresses, the block number, the length, the flag, four spare bytes, the
  // header's CRC, the data and its CRC.
  void acorn(int i, Bytes d) {
    const auto nul = std::find(d.begin() + 1, d.begin() + std::min<size_t>(d.size(), 12), 0);
    const size_t h = size_t(nul - d.begin()) + 1;  // just past the name's NUL
    const format::Reader r(d);
    if (nul == d.end() || !r.fits(h, 19)) return;
    const std::string name = ascii(d.subspan(1, h - 2));
    const unsigned number = r.u16(h + 8), length = r.u16(h + 10), flag = r.u8(h + 12);
    const bool header_ok = AcornCrc(d.data() + 1, h + 17 - 1) == (r.u8(h + 17) << 8 | r.u8(h + 18));
    const Bytes data = r.bytes(h + 19, length);
    // An empty block has no data, and no CRC of it.
    const bool data_ok = length == 0 || (r.fits(h + 19, size_t(length) + 2) &&
                                         AcornCrc(data.data(), length) == (r.u8(h + 19 + length) << 8 | r.u8(h + 20 + length)));
    // A block of another file, or out of turn, ends the file before it.
    if (acorn_ && (acorn_->name != name || number != acorn_next_)) end_acorn();
    if (!acorn_) {
      acorn_.emplace();
      TapeFile &f = *acorn_;
      f.system = System::acorn;
      f.block = i + 1;
      f.has_header = true;
      f.label = "Acorn File";
      f.name = name;
      f.load = r.u32(h), f.exec = r.u32(h + 4);
      acorn_next_ = 0;
      if (number != 0) f.problems.push_back(strprintf("its first block is block %u", number));
    }
    TapeFile &f = *acorn_;
    f.last_block = i + 1;
    f.bytes.insert(f.bytes.end(), data.begin(), data.end());
    f.good = f.good && header_ok && data_ok && data.size() == length;
    f.locked = f.locked || (flag & 1);
    acorn_next_ = number + 1;
    if (flag & 0x80) end_acorn();
  }
  void end_acorn() {
    if (!acorn_) return;
    if (bbc_basic(acorn_->bytes)) acorn_->basic = Dialect::bbc;
    files_.push_back(std::move(*acorn_));
    acorn_.reset();
  }

  // MSX: a header (10 type bytes, a 6-character name) and the data after it.
  void msx(int i, Bytes d) {
    const bool header = d.size() >= 16 && (d[0] == 0xD0 || d[0] == 0xD3 || d[0] == 0xEA) &&
                        std::all_of(d.begin(), d.begin() + 10, [&](uint8_t b) { return b == d[0]; });
    if (header) {
      end_msx();
      msx_.emplace();
      TapeFile &f = *msx_;
      f.system = System::msx;
      f.block = f.last_block = i + 1;
      f.has_header = true;
      f.name = trimmed(ascii(d.subspan(10, 6)));
      msx_type_ = d[0];
      f.label = d[0] == 0xD0 ? "MSX Binary" : d[0] == 0xD3 ? "MSX BASIC" : "MSX ASCII";
      f.ext = d[0] == 0xD0 ? "bin" : d[0] == 0xD3 ? "bas" : "asc";
      f.basic = d[0] == 0xD3 ? Dialect::msx : d[0] == 0xEA ? Dialect::msx_ascii : Dialect::none;
      return;
    }
    if (!msx_) {  // data with no header
      files_.push_back(headerless(i, std::vector<uint8_t>(d.begin(), d.end())));
      files_.back().system = System::msx;
      return;
    }
    TapeFile &f = *msx_;
    f.last_block = i + 1;
    const format::Reader r(d);
    if (msx_type_ == 0xEA) {  // blocks up to the one that holds the end mark
      const auto mark = std::find(d.begin(), d.end(), 0x1A);
      f.bytes.insert(f.bytes.end(), d.begin(), mark);
      if (mark != d.end()) end_msx();
      return;
    }
    if (msx_type_ == 0xD3) {
      f.bytes = {0xFF};
      f.bytes.insert(f.bytes.end(), d.begin() + (!d.empty() && d[0] == 0xFF ? 1 : 0), d.end());
    } else {
      f.load = r.u16(0), f.exec = r.u16(4);
      const unsigned stop = r.u16(2);
      const size_t n = stop >= f.load ? size_t(stop - f.load + 1) : 0;
      f.bytes = {0xFE};
      f.bytes.insert(f.bytes.end(), d.begin(), d.begin() + long(std::min<size_t>(d.size(), 6)));
      const Bytes body = r.bytes(6, n);
      f.bytes.insert(f.bytes.end(), body.begin(), body.end());
      if (body.size() < n || d.size() < 6)
        f.problems.push_back(strprintf("its addresses span %u bytes; its block holds %u", unsigned(n), unsigned(body.size())));
    }
    end_msx();
  }
  void end_msx() {
    if (!msx_) return;
    if (msx_->last_block == msx_->block) msx_->problems.push_back("a header with no data block after it");
    files_.push_back(std::move(*msx_));
    msx_.reset();
  }

  const format::Tape &tape_;
  int first_, end_;
  listing::Machine machine_;
  std::vector<TapeFile> files_;
  int header_ = -1;  // a Spectrum header waiting for its data
  std::vector<uint8_t> header_bytes_;
  std::vector<std::pair<int, format::CommodorePulses>> stretches_;  // (one: the pulses found together)
  std::vector<std::pair<int, size_t>> bounds_;  // each stretch's block index and offset in them
  std::vector<format::CommodoreBlock> rom_blocks_;
  std::vector<int> rom_index_;
  std::optional<TapeFile> acorn_;
  unsigned acorn_next_ = 0;
  std::optional<TapeFile> msx_;
  uint8_t msx_type_ = 0;
};

}  // namespace

uint16_t AcornCrc(const uint8_t *p, size_t n) {
  uint16_t crc = 0;
  for (size_t i = 0; i < n; i++) {
    crc ^= uint16_t(p[i] << 8);
    for (int b = 0; b < 8; b++) crc = uint16_t(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
  }
  return crc;
}

std::vector<TapeFile> FilesOf(const format::Tape &tape, int first, int end) { return Scanner(tape, first, end).run(); }

}  // namespace contents
