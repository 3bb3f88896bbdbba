// One decoded value per block: its fields as the tape gives them (T-states,
// counts, milliseconds, views of its bytes), made once when the tape is
// indexed and never changed afterwards. What changes while a tape plays (the
// level, the loop and call state) lives in the player, never here.
//
// Every view lies inside the tape image: a count or length that runs past
// the block's end is cut at the end.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "format/reader.hpp"

namespace format {

// 0x10: ROM timing, pilot length by the flag byte (below 128: the long one).
struct StandardData {
  uint16_t pause = 0;  // ms
  Bytes data;          // flag byte first
};

// 0x11
struct TurboData {
  uint16_t pilot = 0, sync1 = 0, sync2 = 0, bit0 = 0, bit1 = 0;  // T-states
  uint16_t pilot_pulses = 0;
  uint8_t last_bits = 0;  // bits used in the last byte
  uint16_t pause = 0;
  Bytes data;
};

// 0x12
struct PureTone {
  uint16_t pulse = 0;  // T-states
  uint16_t count = 0;
};

// 0x13
struct PulseSequence {
  uint8_t count = 0;
  Bytes lengths;  // count u16 lengths in T-states
  unsigned length(size_t i) const { return Reader(lengths).u16(2 * i); }
};

// 0x14
struct PureData {
  uint16_t bit0 = 0, bit1 = 0;
  uint8_t last_bits = 0;
  uint16_t pause = 0;
  Bytes data;
};

// 0x15: one bit a recorded sample, most significant first.
struct DirectRecording {
  uint16_t tstates_per_sample = 0;
  uint16_t pause = 0;
  uint8_t last_bits = 0;
  Bytes data;
};

// 0x16: pulse lengths are the half-lengths of square waves.
struct C64RomData {
  uint16_t pilot = 0, pilot_waves = 0, sync1 = 0, sync2 = 0;
  uint16_t bit0_first = 0, bit0_second = 0, bit1_first = 0, bit1_second = 0;
  uint8_t xor_type = 0;  // start value of the check bit; 0xFF: none
  uint16_t finish_byte_first = 0, finish_byte_second = 0;
  uint16_t finish_data_first = 0, finish_data_second = 0;
  uint16_t trailing_pulse = 0, trailing_waves = 0;
  uint8_t last_bits = 0;
  uint8_t endian = 0;  // 0: least significant bit first
  uint16_t pause = 0;
  Bytes data;
};

// 0x17
struct C64TurboData {
  uint16_t bit0 = 0, bit1 = 0;
  uint8_t additional = 0;  // bits 0-1 count, bit 2 after the byte, bit 3 value
  uint16_t lead_in_count = 0;
  uint8_t lead_in_byte = 0;
  uint8_t last_bits = 0;
  uint8_t endian = 0;
  uint16_t trailing_count = 0;
  uint8_t trailing_byte = 0;
  uint16_t pause = 0;
  Bytes data;
};

// 0x18: a sampled recording, stored as in a CSW file.
struct CswRecording {
  uint16_t pause = 0;
  uint32_t rate = 0;          // samples a second of the recording
  uint8_t compression = 0;    // 1 RLE, 2 Z-RLE
  uint32_t stored_pulses = 0; // as the block says (writers disagree on it: a hint)
  Bytes stream;
  std::optional<bool> initial_high;  // a CSW file's initial level; a block goes on from the level it finds
};

// A symbol table of a generalized data block: each row a flag byte and up to
// `pulses` lengths in T-states (a 0 ends the symbol early).
struct SymbolTable {
  unsigned pulses = 0;   // pulses a symbol at most
  unsigned symbols = 0;  // rows (a 0 in the block means 256)
  Bytes rows;            // as far as the block holds them
  size_t row_size() const { return 1 + 2 * size_t(pulses); }
  bool has(unsigned s) const { return s < symbols && (s + 1) * row_size() <= rows.size(); }
  // The flag's low two bits: the level of the first pulse against the one
  // before it (0 the other, 1 the same, 2 low, 3 high).
  unsigned flag(unsigned s) const { return rows[s * row_size()] & 3u; }
  unsigned pulse(unsigned s, unsigned i) const {
    return i < pulses ? Reader(rows).u16(s * row_size() + 1 + 2 * size_t(i)) : 0;
  }
};

// 0x19: pilot/sync symbols with repetitions, then data symbols of `bits`
// bits each, most significant first.
struct GeneralizedData {
  uint16_t pause = 0;
  uint32_t pilot_entries = 0;  // TOTP
  SymbolTable pilot_table;
  Bytes pilot_stream;          // 3 bytes an entry: symbol, u16 repetitions
  uint32_t data_symbols = 0;   // TOTD
  SymbolTable data_table;
  unsigned bits = 0;           // bits a data symbol
  Bytes data_stream;
  bool complete = true;        // all its parts lie inside the block
};

// 0x20 with a duration.
struct Pause {
  uint16_t ms = 0;
};
// 0x20 with a duration of 0.
struct StopTape {};

struct GroupStart {  // 0x21
  Bytes name;
};
struct GroupEnd {};  // 0x22

struct Jump {  // 0x23
  int16_t distance = 0;
};
struct LoopStart {  // 0x24
  uint16_t count = 0;
};
struct LoopEnd {};  // 0x25

struct CallSequence {  // 0x26
  uint16_t count = 0;
  Bytes distances;  // count s16 distances
  int call(size_t i) const { return Reader(distances).s16(2 * i); }
};
struct ReturnFromCall {};  // 0x27

struct SelectEntry {
  int16_t distance = 0;
  Bytes text;
};
struct Select {  // 0x28
  uint8_t count = 0;                 // as the block says
  std::vector<SelectEntry> entries;  // those that lie inside the block
};

struct Stop48k {};  // 0x2A

struct SignalLevel {  // 0x2B: the level the next pulse plays at
  uint8_t level = 0;  // 0 low, 1 high
};

struct Description {  // 0x30
  Bytes text;
};
struct Message {  // 0x31
  uint8_t seconds = 0;
  Bytes text;
};

struct ArchiveString {
  uint8_t kind = 0;  // 0 title ... 8 origin; any other: comment
  Bytes text;
};
struct ArchiveInfo {  // 0x32
  uint8_t count = 0;
  // The strings as far as the block holds them; the last may be cut short.
  std::vector<ArchiveString> strings;
  // The first string read as the block's fields stand (fields past its end
  // reading 0): the title of the one-line text when its kind is 0.
  ArchiveString first;
};

struct HardwareEntry {
  uint8_t type = 0, id = 0, relation = 0;
};
struct HardwareInfo {  // 0x33
  std::vector<HardwareEntry> entries;
};

struct EmulationInfo {};  // 0x34

struct Poke {
  uint8_t flags = 0;  // bits 0-2 page; 8 no page; 16 no value; 32 no previous value
  uint16_t address = 0;
  uint8_t value = 0, original = 0;
};
struct Trainer {
  Bytes name;
  std::vector<Poke> pokes;  // the complete ones
};
// The contents of a custom-info block whose identification is "POKEs".
struct Pokes {
  bool has_description = false;  // the description's length byte is there
  uint8_t description_length = 0;
  Bytes description;
  bool has_trainers = false;  // the trainer count is there
  std::vector<Trainer> trainers;
};
struct CustomInfo {  // 0x35
  Bytes ident;  // 16 characters
  bool is_pokes = false;
  Pokes pokes;
};

struct Snapshot {  // 0x40
  uint8_t type = 0;
};
struct MergedTapes {};  // 0x5A

// A machine's clock: `hz / per` units a second.
struct Clock {
  uint32_t hz = 3500000;
  uint32_t per = 1;
};

// Bytes as framed bits, each bit a run of pulses of one length, after a tone
// and before another: TZX 0x4B (TSX), and the tapes of the MSX and of
// Acorn's machines. Durations are units of `clock`.
struct FramedData {
  enum class Origin : uint8_t { tsx, msx, acorn, acorn_bits, acorn_security } origin = Origin::tsx;
  Clock clock;
  uint16_t before = 0;  // ms of silence (low) before the tone
  uint32_t pilot = 0, pilot_pulses = 0;
  uint32_t pulse[2] = {0, 0};   // pulse length of a 0 and of a 1 bit
  uint8_t pulses[2] = {0, 0};   // pulses in a 0 and in a 1 bit
  uint8_t data_bits = 8;        // bits of each byte played
  uint8_t leading = 0, leading_value = 0, trailing = 0, trailing_value = 0;
  uint8_t parity = 0;           // 0 none, 1 even, 2 odd: a bit after the data bits
  uint8_t extra_pulses = 0;     // pulses of a 1 bit's length after each byte
  bool msb_first = false;
  uint8_t last_bits = 8;        // data bits of the last byte (bit streams)
  bool cut_first = false, cut_last = false;  // the first or last pulse of the bits left out
  uint32_t tail = 0, tail_pulses = 0;        // a tone after the data
  uint16_t pause = 0;                        // ms after, as after a TZX data block
  uint32_t stated = 0;                       // a count the tape states (0x4B: its length field)
  Bytes data;
};

// A stretch of one level: a gap of a UEF file, a PZX pause.
struct Gap {
  uint32_t tstates = 0;
  uint8_t level = 0;  // 0 low, 1 high
};

// PZX "PULS": entries of repeated pulses in T-states, from the low level.
struct PzxPulses {
  Bytes entries;
  // The entry at `at`, which moves past it: `count` pulses of `d`. False at
  // the end, or at an entry cut short by it (`at` then stays on it).
  bool next(size_t &at, uint32_t &count, uint32_t &d) const {
    const Reader r(entries);
    size_t p = at;
    if (!r.fits(p, 2)) return false;
    count = 1, d = r.u16(p);
    if (d > 0x8000) count = d & 0x7FFF, d = r.u16(p += 2);
    if (d >= 0x8000) d = (d & 0x7FFF) << 16 | r.u16(p += 2);
    if (!r.fits(p, 2)) return false;
    at = p + 2;
    return true;
  }
};

// PZX "DATA": bits, most significant first, each a sequence of pulses.
struct PzxData {
  uint32_t bits = 0;
  uint8_t level = 0;  // the initial level
  uint16_t tail = 0;  // a pulse after the data, T-states
  uint8_t p0 = 0, p1 = 0;
  Bytes s0, s1;  // p0 and p1 u16 pulse lengths
  Bytes data;
};

// The texts of a tape's header or info chunk: a title and labelled lines.
struct TapeText {
  std::string title;
  std::vector<std::pair<std::string, std::string>> fields;
};

struct CommodoreFile;

// A stretch of a Commodore TAP file: each byte a pulse length in clock cycles.
struct CommodorePulses {
  Clock clock;
  uint8_t version = 0;  // 0 and 1: a value is a whole cycle; 2: a half cycle
  Bytes data;
  // The file the ROM loader finds in the stretch, when it is one (its
  // copies and what follows them up to the next).
  std::shared_ptr<const CommodoreFile> file;
  // The cycles of the value at `at`, which moves past it: a byte b > 0 is
  // b x 8 cycles; a 0 byte is 256 x 8 in version 0 and, in versions 1 and 2,
  // the u24 after it. False at the end, or at a 0 byte cut short by it
  // (`at` then stays on that byte).
  bool next(size_t &at, uint32_t &cycles) const {
    if (at >= data.size()) return false;
    const uint8_t b = data[at++];
    if (b != 0) return cycles = b * 8u, true;
    if (version == 0) return cycles = 256u * 8u, true;
    if (data.size() - at < 3) return at--, false;
    cycles = Reader(data).u24(at);
    at += 3;
    return true;
  }
};

// A ZX81 program (.P, .P81) or a ZX80 one (.O): the name as it goes on tape
// (ZX81 characters, the last with bit 7 set; none for the ZX80), the memory.
struct Zx81Program {
  bool zx80 = false;
  std::vector<uint8_t> name;
  Bytes data;
};

// Any ID the format does not give a meaning.
struct Unknown {
  uint8_t id = 0;
};

using Block = std::variant<Unknown, StandardData, TurboData, PureTone, PulseSequence, PureData, DirectRecording,
                           C64RomData, C64TurboData, CswRecording, GeneralizedData, Pause, StopTape, GroupStart,
                           GroupEnd, Jump, LoopStart, LoopEnd, CallSequence, ReturnFromCall, Select, Stop48k,
                           SignalLevel, Description, Message, ArchiveInfo, HardwareInfo, EmulationInfo, CustomInfo,
                           Snapshot, MergedTapes, FramedData, Gap, PzxPulses, PzxData, TapeText, CommodorePulses,
                           Zx81Program>;

}  // namespace format
