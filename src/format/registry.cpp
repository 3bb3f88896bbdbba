#include "format/registry.hpp"

#include <algorithm>
#include <array>
#include <cstring>

namespace format {

namespace {

Block standard(uint8_t, Reader b) { return StandardData{uint16_t(b.u16(0)), b.bytes(4, b.u16(2))}; }

Block turbo(uint8_t, Reader b) {
  TurboData t;
  t.pilot = uint16_t(b.u16(0)), t.sync1 = uint16_t(b.u16(2)), t.sync2 = uint16_t(b.u16(4));
  t.bit0 = uint16_t(b.u16(6)), t.bit1 = uint16_t(b.u16(8));
  t.pilot_pulses = uint16_t(b.u16(10));
  t.last_bits = uint8_t(b.u8(12));
  t.pause = uint16_t(b.u16(13));
  t.data = b.bytes(18, b.u24(15));
  return t;
}

Block pure_tone(uint8_t, Reader b) { return PureTone{uint16_t(b.u16(0)), uint16_t(b.u16(2))}; }

Block pulse_sequence(uint8_t, Reader b) {
  uint8_t n = uint8_t(b.u8(0));
  return PulseSequence{n, b.bytes(1, 2u * n)};
}

Block pure_data(uint8_t, Reader b) {
  PureData d;
  d.bit0 = uint16_t(b.u16(0)), d.bit1 = uint16_t(b.u16(2));
  d.last_bits = uint8_t(b.u8(4));
  d.pause = uint16_t(b.u16(5));
  d.data = b.bytes(10, b.u24(7));
  return d;
}

Block direct_recording(uint8_t, Reader b) {
  DirectRecording d;
  d.tstates_per_sample = uint16_t(b.u16(0));
  d.pause = uint16_t(b.u16(2));
  d.last_bits = uint8_t(b.u8(4));
  d.data = b.bytes(8, b.u24(5));
  return d;
}

Block c64_rom(uint8_t, Reader b) {
  C64RomData c;
  c.pilot = uint16_t(b.u16(4)), c.pilot_waves = uint16_t(b.u16(6));
  c.sync1 = uint16_t(b.u16(8)), c.sync2 = uint16_t(b.u16(10));
  c.bit0_first = uint16_t(b.u16(12)), c.bit0_second = uint16_t(b.u16(14));
  c.bit1_first = uint16_t(b.u16(16)), c.bit1_second = uint16_t(b.u16(18));
  c.xor_type = uint8_t(b.u8(20));
  c.finish_byte_first = uint16_t(b.u16(21)), c.finish_byte_second = uint16_t(b.u16(23));
  c.finish_data_first = uint16_t(b.u16(25)), c.finish_data_second = uint16_t(b.u16(27));
  c.trailing_pulse = uint16_t(b.u16(29)), c.trailing_waves = uint16_t(b.u16(31));
  c.last_bits = uint8_t(b.u8(33));
  c.endian = uint8_t(b.u8(34));
  c.pause = uint16_t(b.u16(35));
  c.data = b.bytes(40, b.u24(37));
  return c;
}

Block c64_turbo(uint8_t, Reader b) {
  C64TurboData c;
  c.bit0 = uint16_t(b.u16(4)), c.bit1 = uint16_t(b.u16(6));
  c.additional = uint8_t(b.u8(8));
  c.lead_in_count = uint16_t(b.u16(9));
  c.lead_in_byte = uint8_t(b.u8(11));
  c.last_bits = uint8_t(b.u8(12));
  c.endian = uint8_t(b.u8(13));
  c.trailing_count = uint16_t(b.u16(14));
  c.trailing_byte = uint8_t(b.u8(16));
  c.pause = uint16_t(b.u16(17));
  c.data = b.bytes(22, b.u24(19));
  return c;
}

Block csw_recording(uint8_t, Reader b) {
  CswRecording c;
  c.pause = uint16_t(b.u16(4));
  c.rate = b.u24(6);
  c.compression = uint8_t(b.u8(9));
  c.stored_pulses = b.u32(10);
  c.stream = b.rest(14);
  return c;
}

// A symbol table of `symbols` rows (0 meaning 256) from `at`; moves `at` past it.
SymbolTable symbol_table(Reader b, size_t &at, unsigned pulses, unsigned symbols, bool &complete) {
  SymbolTable t;
  t.pulses = pulses;
  t.symbols = symbols == 0 ? 256 : symbols;
  const size_t size = t.symbols * t.row_size();
  t.rows = b.bytes(at, size);
  complete = complete && t.rows.size() == size;
  at += size;
  return t;
}

Block generalized_data(uint8_t, Reader b) {
  GeneralizedData g;
  g.pause = uint16_t(b.u16(4));
  g.pilot_entries = b.u32(6);
  g.data_symbols = b.u32(12);
  g.complete = b.fits(0, 18);
  size_t at = 18;
  if (g.pilot_entries > 0) {
    g.pilot_table = symbol_table(b, at, b.u8(10), b.u8(11), g.complete);
    const uint64_t size = 3ull * g.pilot_entries;
    g.pilot_stream = b.bytes(at, size);
    g.complete = g.complete && g.pilot_stream.size() == size;
    at = static_cast<size_t>(std::min<uint64_t>(at + size, b.size()));
  }
  if (g.data_symbols > 0) {
    g.data_table = symbol_table(b, at, b.u8(16), b.u8(17), g.complete);
    while ((1u << g.bits) < g.data_table.symbols) g.bits++;  // bits enough to count the symbols
    const uint64_t size = (uint64_t(g.bits) * g.data_symbols + 7) / 8;
    g.data_stream = b.bytes(at, size);
    g.complete = g.complete && g.data_stream.size() == size;
  }
  return g;
}

// 0x4B: the parameters, then the bytes, each framed by leading and trailing bits.
Block kansas_city(uint8_t, Reader b) {
  FramedData k;
  k.stated = b.u32(0);
  k.pause = uint16_t(b.u16(4));
  k.pilot = b.u16(6), k.pilot_pulses = b.u16(8);
  k.pulse[0] = b.u16(10), k.pulse[1] = b.u16(12);
  const unsigned bits = b.u8(14), bytes = b.u8(15);
  k.pulses[0] = uint8_t((bits >> 4) == 0 ? 16 : bits >> 4);  // a nibble of 0 means 16
  k.pulses[1] = uint8_t((bits & 15) == 0 ? 16 : bits & 15);
  k.leading = uint8_t(bytes >> 6), k.leading_value = uint8_t(bytes >> 5 & 1);
  k.trailing = uint8_t(bytes >> 3 & 3), k.trailing_value = uint8_t(bytes >> 2 & 1);
  k.msb_first = bytes & 1;
  k.data = b.bytes(16, k.stated < 12 ? 0 : k.stated - 12);
  return k;
}

Block pause(uint8_t, Reader b) {
  if (b.u16(0) == 0) return StopTape{};
  return Pause{uint16_t(b.u16(0))};
}

Block group_start(uint8_t, Reader b) { return GroupStart{b.bytes(1, b.u8(0))}; }
Block group_end(uint8_t, Reader) { return GroupEnd{}; }
Block jump(uint8_t, Reader b) { return Jump{int16_t(b.s16(0))}; }
Block loop_start(uint8_t, Reader b) { return LoopStart{uint16_t(b.u16(0))}; }
Block loop_end(uint8_t, Reader) { return LoopEnd{}; }

Block call_sequence(uint8_t, Reader b) {
  uint16_t n = uint16_t(b.u16(0));
  return CallSequence{n, b.bytes(2, 2u * n)};
}

Block return_from_call(uint8_t, Reader) { return ReturnFromCall{}; }

Block select(uint8_t, Reader b) {
  Select s;
  s.count = uint8_t(b.u8(2));
  size_t at = 3;
  for (unsigned i = 0; i < s.count && b.fits(at, 3); i++) {
    s.entries.push_back({int16_t(b.s16(at)), b.bytes(at + 3, b.u8(at + 2))});
    at += 3 + b.u8(at + 2);
  }
  return s;
}

Block stop_48k(uint8_t, Reader) { return Stop48k{}; }
Block signal_level(uint8_t, Reader b) { return SignalLevel{uint8_t(b.u8(4))}; }
Block description(uint8_t, Reader b) { return Description{b.bytes(1, b.u8(0))}; }
Block message(uint8_t, Reader b) { return Message{uint8_t(b.u8(0)), b.bytes(2, b.u8(1))}; }

Block archive_info(uint8_t, Reader b) {
  ArchiveInfo a;
  a.count = uint8_t(b.u8(2));
  a.first = {uint8_t(b.u8(3)), b.bytes(5, b.u8(4))};
  size_t at = 3;
  for (unsigned i = 0; i < a.count && b.fits(at, 2); i++) {
    Bytes text = b.bytes(at + 2, b.u8(at + 1));
    a.strings.push_back({uint8_t(b.u8(at)), text});
    if (text.size() < b.u8(at + 1)) break;  // cut short by the block's end
    at += 2 + text.size();
  }
  return a;
}

Block hardware_info(uint8_t, Reader b) {
  HardwareInfo h;
  for (unsigned e = 0, n = b.u8(0); e < n; e++)
    h.entries.push_back({uint8_t(b.u8(1 + 3 * e)), uint8_t(b.u8(2 + 3 * e)), uint8_t(b.u8(3 + 3 * e))});
  return h;
}

Block emulation_info(uint8_t, Reader) { return EmulationInfo{}; }

// The trainer table of a "POKEs" block, read as far as it lies inside.
Pokes pokes(Reader b) {
  Pokes p;
  size_t at = 20;
  if (!b.fits(at, 1)) return p;
  p.has_description = true;
  p.description_length = uint8_t(b.u8(at));
  p.description = b.bytes(at + 1, p.description_length);
  at += 1 + p.description.size();
  if (p.description.size() < p.description_length || !b.fits(at, 1)) return p;
  p.has_trainers = true;
  unsigned trainers = b.u8(at++);
  for (unsigned t = 0; t < trainers && b.fits(at, 1); t++) {
    Trainer tr;
    unsigned len = b.u8(at++);
    tr.name = b.bytes(at, len);
    at += tr.name.size();
    if (tr.name.size() < len || !b.fits(at, 1)) {
      p.trainers.push_back(tr);
      break;
    }
    unsigned count = b.u8(at++);
    for (unsigned k = 0; k < count && b.fits(at, 5); k++, at += 5)
      tr.pokes.push_back({uint8_t(b.u8(at)), uint16_t(b.u16(at + 1)), uint8_t(b.u8(at + 3)), uint8_t(b.u8(at + 4))});
    bool cut = tr.pokes.size() < count;
    p.trainers.push_back(tr);
    if (cut) break;
  }
  return p;
}

Block custom_info(uint8_t, Reader b) {
  CustomInfo c;
  c.ident = b.bytes(0, 16);
  c.is_pokes = c.ident.size() == 16 && std::memcmp(c.ident.data(), "POKEs           ", 16) == 0;
  if (c.is_pokes) c.pokes = pokes(b);
  return c;
}

Block snapshot(uint8_t, Reader b) { return Snapshot{uint8_t(b.u8(0))}; }
Block merged_tapes(uint8_t, Reader) { return MergedTapes{}; }
Block unknown(uint8_t id, Reader) { return Unknown{id}; }

// Widths of the length fields: 1, 2, 3 or 4 bytes; 0 for a fixed length.
constexpr LengthRule fixed(uint8_t n) { return {n, 0, 0, 1}; }
constexpr LengthRule field(uint8_t n, uint8_t at, uint8_t width, uint8_t scale = 1) { return {n, at, width, scale}; }

constexpr BlockType kTypes[] = {
    {0x10, "Standard Loading Data", field(4, 2, 2), standard, true},
    {0x11, "Custom Loading Data", field(18, 15, 3), turbo, true},
    {0x12, "Pure Tone", fixed(4), pure_tone, true},
    {0x13, "Sequence of Pulses", field(1, 0, 1, 2), pulse_sequence, true},
    {0x14, "Pure Data", field(10, 7, 3), pure_data, true},
    {0x15, "Direct Recording", field(8, 5, 3), direct_recording, true},
    {0x16, "C64 ROM Type Data", field(4, 0, 4), c64_rom, true},
    {0x17, "C64 Turbo Tape Type Data", field(4, 0, 4), c64_turbo, true},
    {0x18, "CSW Recording", field(4, 0, 4), csw_recording, true},
    {0x19, "Generalized Data", field(4, 0, 4), generalized_data, true},
    {0x20, "Pause (Silence)", fixed(2), pause, true},
    {0x21, "Group", field(1, 0, 1), group_start, true},
    {0x22, "Group End", fixed(0), group_end, true},
    {0x23, "Jump Relative", fixed(2), jump, true},
    {0x24, "Loop Start", fixed(2), loop_start, true},
    {0x25, "Loop End", fixed(0), loop_end, true},
    {0x26, "Call Sequence", field(2, 0, 2, 2), call_sequence, true},
    {0x27, "Return from Call", fixed(0), return_from_call, true},
    {0x28, "Select Block", field(2, 0, 2), select, true},
    {0x2A, "Stop the tape if in 48k mode", fixed(4), stop_48k, true},
    {0x2B, "Set Signal Level", field(4, 0, 4), signal_level, true},
    {0x30, "Description", field(1, 0, 1), description, true},
    {0x31, "Message", field(2, 1, 1), message, true},
    {0x32, "Archive Info", field(2, 0, 2), archive_info, true},
    {0x33, "Hardware Info", field(1, 0, 1, 3), hardware_info, true},
    {0x34, "Emulation Info", fixed(8), emulation_info, true},
    {0x35, "Custom Info", field(20, 16, 4), custom_info, true},
    {0x40, "Snapshot", field(4, 1, 3), snapshot, true},
    {0x4B, "Kansas City Standard", field(4, 0, 4), kansas_city, true},
    {0x5A, "Merget Tapes", fixed(9), merged_tapes, true},
};

constexpr BlockType kUnknown = {0, "Unknown Block", field(4, 0, 4), unknown, false};

constexpr std::array<const BlockType *, 256> index_types() {
  std::array<const BlockType *, 256> by_id{};
  for (const BlockType &t : kTypes) by_id[t.id] = &t;
  return by_id;
}
constexpr std::array<const BlockType *, 256> kById = index_types();

}  // namespace

const BlockType &TypeOf(uint8_t id) { return kById[id] ? *kById[id] : kUnknown; }

std::optional<uint64_t> BodyLength(const BlockType &type, Reader rest) {
  const LengthRule &r = type.length;
  if (r.width == 0) return r.fixed;
  if (!rest.fits(r.at, r.width)) return std::nullopt;
  uint64_t v = r.width == 1 ? rest.u8(r.at) : r.width == 2 ? rest.u16(r.at) : r.width == 3 ? rest.u24(r.at) : rest.u32(r.at);
  return r.fixed + uint64_t(r.scale) * v;
}

}  // namespace format
