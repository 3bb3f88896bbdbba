// The decoder of the ZX Spectrum's and the Amstrad CPC's tapes, and the
// checks of their blocks.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "decode/family.hpp"

namespace decode {

// Its blocks are TZX blocks, each its ID first.
std::unique_ptr<Family> MakeSpectrum(int rate);
// A TZX image of them.
format::Image SpectrumImage(const std::vector<Found> &blocks, std::vector<size_t> &offsets);

// The checks of a block's bytes: the Spectrum's XOR of all bytes (flag and
// checksum included) is 0; an Amstrad CPC block (sync byte, segments of 256
// bytes each with its CRC, a trailer) has every segment's CRC right.
bool XorGood(format::Bytes data);
bool CpcGood(format::Bytes data);
// The CPC firmware's CRC of one segment: CRC-16, polynomial 0x1021, initial
// 0xFFFF, stored complemented.
uint16_t CpcCrc(format::Bytes segment);

}  // namespace decode
