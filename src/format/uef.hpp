// Acorn's tapes (BBC Micro, Electron): the blocks of the cassette filing
// system, and UEF files written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "format/tape.hpp"
#include "format/writer.hpp"

namespace format {

// The cassette filing system's CRC: CRC-16, polynomial 0x1021, initial 0,
// most significant bit first; stored high byte first.
uint16_t AcornCrc(Bytes b);

enum class CrcState { none, good, bad };

// A block of the cassette filing system: the sync byte 0x2A, the file name
// (up to 10 characters, ended by a NUL), load and execution address, block
// number, data length, flags, four spare bytes, the header's CRC; then the
// data and their CRC (none when the length is 0).
struct AcornBlock {
  std::string name;  // printable characters as they are, others as '?'
  uint32_t load = 0, exec = 0;
  uint16_t number = 0, length = 0;
  uint8_t flags = 0;  // bit 7 the file's last block, bit 6 empty, bit 0 locked
  CrcState header = CrcState::none, data = CrcState::none;
  size_t size = 0;  // bytes of the block in the bytes it was read from (fewer when they end first)
  bool good() const { return header == CrcState::good && data != CrcState::bad; }
};
// The block the bytes begin with; nothing when they do not hold its sync
// byte, a name ended within 11 bytes and the fields up to the block number
// (fields past their end read 0, and a CRC past it is bad).
std::optional<AcornBlock> ReadAcornBlock(Bytes d);

// UEF: the file header ("UEF File!", a NUL, minor and major version), and a
// chunk of an id and a body.
Image UefHeader();
Image UefChunk(uint16_t id, Bytes body);
// A chunk whose body is a float (0x0113 base frequency, 0x0116 gap in seconds).
Image UefFloatChunk(uint16_t id, float value);

// A UEF tape written again, plain (not compressed): its header and the chunks
// of the blocks [first, end) as the reader took them, each as the file holds
// it. A range that begins later carries the base frequency and baud rate in
// force there first. Fails for a tape that is no UEF file's.
Image WriteUef(const Tape &tape, int first, int end);

}  // namespace format
