// The files the Commodore ROM loader (C64, VIC-20, C16/Plus4) finds in a
// stretch of pulses: each block copy it would read, and the copies grouped
// into files (a header and the data after it).
//
// The framing: three pulse lengths, short, medium and long, learnt from each
// block's leader of short pulses (the first long and medium pulses after it
// set the other two). A byte is a marker (long, medium), 8 bits least
// significant first (short+medium a 0, medium+short a 1) and an odd parity
// bit; long+short ends a block's data. A block is the leader, a countdown of
// 9 bytes (0x89 to 0x81 before the first copy, 0x09 to 0x01 before the
// repeat), the data and a checksum byte, the XOR of the data.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/blocks.hpp"

namespace format {

// One copy of a block as the loader reads it.
struct CommodoreBlock {
  bool repeat = false;            // the repeated copy (countdown 0x09 to 0x01)
  std::vector<uint8_t> data;      // between the countdown and the checksum
  uint8_t checksum = 0;           // the byte the block ends in
  bool checksum_ok = false;       // it is the XOR of the data
  unsigned parity_errors = 0;     // bytes whose parity bit is wrong
  unsigned pulse_errors = 0;      // bit cells that were neither a 0 nor a 1
  bool ended = false;             // an end-of-data marker closed it
  // Where it lies, as offsets into CommodorePulses::data: from the first
  // pulse of its leader to just past its last byte's pulses or the end
  // marker; `bytes_at` is the first pulse of its first countdown byte.
  size_t begin = 0, bytes_at = 0, end = 0;
  // The pulse lengths learnt from it, in cycles (0 for a block not read
  // from pulses).
  uint32_t short_pulse = 0, medium_pulse = 0, long_pulse = 0;
  // Read as the loader reads it: checksum right, every parity bit right.
  bool good() const { return checksum_ok && parity_errors == 0 && pulse_errors == 0; }
};

// The two copies the ROM writes of each block, as far as they were found.
struct CommodoreCopies {
  enum class State : uint8_t { missing, good, bad };
  int first = -1, repeat = -1;  // indices into the blocks; -1: not found
  State first_state = State::missing, repeat_state = State::missing;
  std::vector<uint8_t> data;    // of a good copy when there is one (the first preferred)
  bool good() const { return first_state == State::good || repeat_state == State::good; }
  bool found() const { return first >= 0 || repeat >= 0; }
};

// A header's file types.
enum class CommodoreType : uint8_t {
  none = 0,           // no header was found: data alone
  relocatable = 1,    // a program loaded at the start of BASIC
  data_block = 2,     // a block of a data file (its first data byte)
  program = 3,        // a program loaded at its own address
  data_header = 4,    // a data file's header
  end_of_tape = 5,
};

struct CommodoreFile {
  CommodoreCopies header;              // not found for data without a header
  std::vector<CommodoreCopies> data;   // a program's one data block; a data file's blocks
  CommodoreType type = CommodoreType::none;
  uint16_t start = 0, end = 0;         // from the header; end is one past the last byte
  std::vector<uint8_t> name;           // 16 PETSCII bytes as the header holds them
  // From the first pulse of the first copy found to the end of the last
  // copy and the short pulses after it.
  size_t begin = 0, finish = 0;
  int last = -1;  // the last block copy of the file, an index into the blocks
  // The program's bytes (its data block), or a data file's bytes, the type
  // byte of each block left out.
  std::vector<uint8_t> bytes() const;
  // Every block found has a copy that held its checksum and parity.
  bool good() const;
};

struct CommodoreContents {
  std::vector<CommodoreBlock> blocks;  // in the order of the pulses
  std::vector<CommodoreFile> files;
};

// Every block copy in the pulses (versions 0 and 1: a value a cycle;
// version 2: a value a half cycle), and the files they make.
CommodoreContents FindCommodoreFiles(const CommodorePulses &pulses);

// A block copy as a TZX C64 ROM block holds it: the countdown, the data,
// the checksum (no place in any pulses). Nothing when no countdown begins it.
std::optional<CommodoreBlock> CommodoreBlockOf(Bytes countdown_data_checksum);
// The copies grouped into files: each block paired with its repeat, a
// header with the data after it.
std::vector<CommodoreFile> GroupCommodoreFiles(const std::vector<CommodoreBlock> &blocks);

// A PETSCII name as ASCII: letters, digits and signs (0x20 to 0x5D) as they
// are, a shifted space as a space, the padding after the name cut, anything
// else '?'.
std::string PetsciiName(const std::vector<uint8_t> &name);

}  // namespace format
