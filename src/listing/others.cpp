#include "listing/others.hpp"

#include <algorithm>
#include <optional>

#include "format/commodore_files.hpp"
#include "format/failure.hpp"
#include "format/msx.hpp"
#include "format/readers.hpp"
#include "format/registry.hpp"
#include "format/signals.hpp"
#include "format/reader.hpp"
#include "format/uef.hpp"
#include "listing/text.hpp"

namespace listing {

namespace {

using namespace format;
using format::strprintf;

std::string seconds(double s) { return strprintf("%.3f seconds", s); }
double time_of(uint64_t units, const Clock &c) { return c.hz == 0 ? 0 : double(units) * c.per / c.hz; }
std::string count(uint64_t n, const char *unit) { return strprintf("%llu %s", static_cast<unsigned long long>(n), unit); }

// An MSX file header: its type and name.
bool msx_header(Bytes d, std::string &type, std::string &name) {
  const char *t = MsxFileType(d);
  if (!t) return false;
  type = t;
  name = std::string(d.begin() + 10, d.begin() + 16);
  for (char &c : name)
    if (c < 32 || c > 126) c = '?';
  return true;
}

const char *crc_word(CrcState c) { return c == CrcState::good ? "good" : c == CrcState::bad ? "BAD" : "-"; }

std::string acorn_flags(uint8_t f) {
  std::string s;
  for (auto [bit, word] : {std::pair{0x80, "last block"}, {0x40, "empty"}, {0x01, "locked"}})
    if (f & bit) s += (s.empty() ? "" : ", ") + std::string(word);
  return s.empty() ? "none" : s;
}

}  // namespace

Described Describe(const FramedData &b, bool last) {
  using O = FramedData::Origin;
  Described out;
  const int n = static_cast<int>(b.data.size());
  const double units_per_bit = double(b.pulse[0]) * b.pulses[0];
  const int baud = units_per_bit == 0 ? 0 : int(double(b.clock.hz) / b.clock.per / units_per_bit + 0.5);
  const std::string pause = last || b.pause == 0 ? std::string() : strprintf(",Pause: %2.3fs", b.pause / 1000.0);
  std::string type, name;
  std::optional<AcornBlock> acorn;
  switch (b.origin) {
    case O::tsx:
      out.one_line = strprintf("    Kansas City Data      Length:%6d  Baud: %4d%s", n, baud, pause.c_str());
      out.title = strprintf("4B - %s", TypeOf(0x4B).name);
      break;
    case O::msx:
      if (msx_header(b.data, type, name)) out.one_line = strprintf("    MSX %-6s: %s       Length:%6d", type.c_str(), name.c_str(), n);
      else out.one_line = strprintf("    MSX Data              Length:%6d", n);
      out.one_line += strprintf("  Baud: %4d%s", baud, pause.c_str());
      out.title = "MSX Block" + (type.empty() ? std::string() : " - " + type + " header: " + name);
      break;
    case O::acorn:
      if (b.data.empty()) {
        out.one_line = strprintf("    Carrier Tone          Length: %5u cycles", b.pilot_pulses / 2);
        out.title = "Carrier Tone";
      } else if (b.pilot_pulses != 0 || b.tail_pulses != 0) {
        out.one_line = strprintf("    Carrier, Dummy Byte   Length: %5u & %u cycles", b.pilot_pulses / 2, b.tail_pulses / 2);
        out.title = "Carrier Tone with a Dummy Byte";
      } else if ((acorn = ReadAcornBlock(b.data))) {
        out.one_line = strprintf("    Acorn: %-10s  Block %3u  Length:%6d  Baud: %4d  Load: %08X  Exec: %08X  CRC: %s/%s",
                                 acorn->name.c_str(), acorn->number, n, baud, acorn->load, acorn->exec,
                                 crc_word(acorn->header), crc_word(acorn->data));
        out.title = strprintf("Acorn Data - %s, block %u", acorn->name.c_str(), acorn->number);
      } else {
        out.one_line = strprintf("    Acorn Data            Length:%6d  Baud: %4d", n, baud);
        out.title = "Acorn Data";
      }
      break;
    case O::acorn_bits:
    case O::acorn_security: {
      const uint64_t bits = b.data.empty() ? 0 : 8 * (b.data.size() - 1) + b.last_bits;
      const bool security = b.origin == O::acorn_security;
      out.title = security ? "Security Cycles" : "Acorn Bits";
      out.one_line = strprintf("    %-22sLength:%6llu %s", out.title.c_str(), static_cast<unsigned long long>(bits),
                               security ? "cycles" : "bits");
      break;
    }
  }
  auto field = [&](const char *label, std::string value) { out.fields.push_back({label, std::move(value)}); };
  const bool bits = !b.data.empty();  // a carrier tone has none
  if (bits) field("Length", count(b.data.size(), "bytes"));
  if (acorn) {
    field("File name", acorn->name), field("Block number", strprintf("%u", acorn->number));
    field("Load address", strprintf("%08X", acorn->load)), field("Execution address", strprintf("%08X", acorn->exec));
    field("Data length", count(acorn->length, "bytes")), field("Flags", acorn_flags(acorn->flags));
    field("Header CRC", crc_word(acorn->header));
    if (acorn->length > 0) field("Data CRC", crc_word(acorn->data));
  }
  if (b.before != 0) field("Silence before", strprintf("%u milliseconds", b.before));
  auto pulses = [&](uint32_t n, uint32_t units) {
    return strprintf("%u pulses of %.1f T-States", n, time_of(units, b.clock) * signals::kSpectrum.hz);
  };
  if (b.pilot_pulses != 0) field("Pilot tone", pulses(b.pilot_pulses, b.pilot));
  if (bits) field("Bit-0", pulses(b.pulses[0], b.pulse[0])), field("Bit-1", pulses(b.pulses[1], b.pulse[1]));
  if (bits && b.origin != O::acorn_bits && b.origin != O::acorn_security)
    field("Byte", strprintf("%u start (%u), %u data bits %s first%s, %u stop (%u)", b.leading, b.leading_value,
                            b.data_bits, b.msb_first ? "MSb" : "LSb",
                            b.parity == 1 ? ", even parity" : b.parity == 2 ? ", odd parity" : "", b.trailing,
                            b.trailing_value));
  if (b.tail_pulses != 0) field("Tone after", pulses(b.tail_pulses, b.tail));
  if (bits && baud != 0) field("Baud", strprintf("%d", baud));
  if (b.pause != 0) field("Pause after block", strprintf("%u milliseconds", b.pause));
  return out;
}

Described Describe(const Gap &b) {
  const double s = b.tstates / 3500000.0;
  return {strprintf("    Pause                 Length: %2.3fs%s", s, b.level ? ", high" : ""), "Pause",
          {{"Duration", seconds(s)}, {"Level", b.level ? "high" : "low"}}};
}

Described Describe(const PzxPulses &b) {
  uint64_t pulses = 0, tstates = 0;
  size_t at = 0;
  for (uint32_t n = 0, d = 0; b.next(at, n, d);) pulses += n, tstates += uint64_t(n) * d;
  const auto n = static_cast<unsigned long long>(pulses);
  Described out{strprintf("    Pulses                Length: %5llu", n), "Pulses",
                {{"Pulses", strprintf("%llu", n)}, {"Duration", seconds(tstates / 3500000.0)}}};
  if (at < b.entries.size()) out.fields.push_back({"Damage", "the block ends inside a pulse"});
  return out;
}

Described Describe(const PzxData &b) {
  const Reader s0(b.s0), s1(b.s1);
  auto seq = [](const Reader &r, unsigned n) {
    std::string s;
    for (unsigned i = 0; i < n; i++) s += strprintf(" %u", r.u16(2 * i));
    return n == 0 ? std::string(" none") : s + " T-States";
  };
  Described out{strprintf("    Data                  Length:%6d  Bits: %u", static_cast<int>(b.data.size()), b.bits), "Data",
                {{"Bits", strprintf("%u", b.bits)},
                 {"Initial level", b.level ? "high" : "low"},
                 {"Bit-0 pulses", seq(s0, b.p0).substr(1)},
                 {"Bit-1 pulses", seq(s1, b.p1).substr(1)},
                 {"Tail pulse", strprintf("%u T-States", b.tail)}}};
  if (b.data.size() * 8ull < b.bits) out.fields.push_back({"Damage", "the block ends before its bits"});
  return out;
}

Described Describe(const TapeText &b) {
  Described out{"    " + b.title, b.title, b.fields};
  if (!b.fields.empty() && !b.fields[0].second.empty()) out.one_line += ": " + b.fields[0].second;
  return out;
}

namespace {

const char *copy_word(CommodoreCopies::State s) {
  return s == CommodoreCopies::State::good ? "good" : s == CommodoreCopies::State::bad ? "BAD" : "-";
}

// The worst of the copies' states: bad when one is, missing when one is.
CommodoreCopies::State worst(const std::vector<CommodoreCopies> &copies, bool repeat) {
  using S = CommodoreCopies::State;
  S w = copies.empty() ? S::missing : S::good;
  for (const CommodoreCopies &c : copies) {
    const S s = repeat ? c.repeat_state : c.first_state;
    if (s == S::bad || (s == S::missing && w == S::good)) w = s;
  }
  return w;
}

const char *type_word(CommodoreType t) {
  switch (t) {
    case CommodoreType::relocatable: return "Relocatable";
    case CommodoreType::program: return "Program";
    case CommodoreType::data_header: return "Data File";
    case CommodoreType::end_of_tape: return "End of Tape";
    default: return "Data";
  }
}

}  // namespace

Described Describe(const CommodorePulses &b) {
  uint64_t cycles = 0, pulses = 0;
  size_t at = 0;
  for (uint32_t c = 0; b.next(at, c);) cycles += c, pulses++;
  // Each value is a cycle, or in version 2 a half cycle: its length all the same.
  const double s = time_of(cycles, b.clock);
  const std::vector<std::pair<std::string, std::string>> sound = {
      {"Length", count(b.data.size(), "bytes")},
      {"Pulses", count(b.version == 2 ? pulses : 2 * pulses, "pulses")},
      {"Clock", strprintf("%u Hz", b.clock.hz / b.clock.per)},
      {"Duration", seconds(s)}};
  if (!b.file)
    return {strprintf("    Commodore Pulses      Length:%6d  Duration: %.3fs", static_cast<int>(b.data.size()), s),
            "Commodore Pulses", sound};
  // A file the ROM loader finds: its header's type, name and addresses, and
  // how each copy of its header and its data stands.
  const CommodoreFile &f = *b.file;
  const std::string name = f.header.found() ? PetsciiName(f.name) : std::string();
  const char *type = f.header.found() ? type_word(f.type) : "Data";
  Described out;
  out.one_line = strprintf("    %-12s: %-16s %04X-%04X  Header %s/%s  Data %s/%s", type, name.c_str(), f.start, f.end,
                           copy_word(f.header.first_state), copy_word(f.header.repeat_state),
                           copy_word(worst(f.data, false)), copy_word(worst(f.data, true)));
  out.title = strprintf("Commodore ROM File - %s%s%s", type, name.empty() ? "" : ": ", name.c_str());
  out.fields = {{"Type", type},
                {"Name", name},
                {"Start", strprintf("%04X", f.start)},
                {"End", strprintf("%04X", f.end)},
                {"Length", count(f.bytes().size(), "bytes")},
                {"Header", strprintf("first copy %s, repeat %s", copy_word(f.header.first_state), copy_word(f.header.repeat_state))},
                {"Data", strprintf("%zu block%s, first copies %s, repeats %s", f.data.size(), f.data.size() == 1 ? "" : "s",
                                   copy_word(worst(f.data, false)), copy_word(worst(f.data, true)))}};
  for (const auto &field : sound) out.fields.push_back({field.first == "Length" ? "Pulse bytes" : field.first, field.second});
  return out;
}

Described Describe(const Zx81Program &b) {
  const std::string name = Zx81Text(b.name);
  const int n = static_cast<int>(b.data.size());
  if (b.zx80) return {strprintf("    ZX80 Program          Length:%6d", n), "ZX80 Program", {{"Length", count(n, "bytes")}}};
  return {strprintf("    ZX81 Program: %-8s Length:%6d", name.c_str(), n), "ZX81 Program - " + name,
          {{"Name", name}, {"Length", count(n, "bytes")}}};
}

}  // namespace listing
