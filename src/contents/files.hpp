// What a tape holds as files: each program, code, screen or data file, with
// the bytes the machine loads and what its header says, read from the blocks
// of any machine's tape.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/tape.hpp"

namespace contents {

enum class System : uint8_t { spectrum, zx81, zx80, commodore, acorn, msx };

// The BASIC a file holds, if any.
enum class Dialect : uint8_t { none, spectrum, zx81, zx80, msx, msx_ascii, bbc, commodore };

struct TapeFile {
  System system = System::spectrum;
  int block = 0, last_block = 0;  // the blocks it comes from, counted from 1
  bool has_header = false;
  const char *label = "";  // what it is: "Program", "Bytes", "Commodore Program", ...
  std::string name;    // from its header, as ASCII ('?' for a character without one); empty without a header
  const char *ext = "";    // the extension of its file: "bas", "bin", "scr", "dat", "p", "o", "prg", "seq", "asc"; "" none
  std::vector<uint8_t> bytes;  // what the machine loads (a .prg's load address first; see FilesOf)
  bool good = true;            // every checksum of its blocks holds
  Dialect basic = Dialect::none;
  bool screen = false;          // a Spectrum screen: 6912 bytes for 16384
  uint32_t load = 0, exec = 0;  // the header's load and execution addresses, where it has them
  unsigned autostart = 0x8000;  // a Spectrum program's LINE (32768 and above: none)
  size_t program_length = 0;    // a Spectrum program's bytes before its variables
  bool locked = false;          // an Acorn file
  std::vector<std::string> problems;  // what does not add up, for warnings
};

// The files of the blocks from index `first` up to `end` (not included).
// Spectrum files: a header and the data block after it, or a data block alone
// (headerless), flag and checksum left out. ZX81 and ZX80: the program as a
// .p or .o file holds it. Commodore: the ROM loader's files (a TAP file's
// pulses, TZX C64 ROM blocks), a program's two-byte load address first. Acorn:
// a file's blocks joined. MSX: a BASIC file with its 0xFF first, a binary
// one as BLOAD reads it from a disk (0xFE, the start, end and execution
// addresses, the bytes), an ASCII one up to its end mark.
std::vector<TapeFile> FilesOf(const format::Tape &tape, int first, int end);

// CRC-16 of Acorn's tapes: polynomial 0x1021, from 0, most significant bit
// first.
uint16_t AcornCrc(const uint8_t *p, size_t n);

}  // namespace contents
