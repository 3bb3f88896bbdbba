// The decoder of Acorn's tapes (BBC Micro, Electron): carriers of the high
// tone and blocks of bytes between them at 1200 or 300 baud, as UEF chunks.
#pragma once

#include <memory>
#include <vector>

#include "decode/family.hpp"

namespace decode {

// Its blocks are UEF chunks, each its id and length first: a carrier (0x0110),
// a gap (0x0112, or 0x0116 when longer than 0x0112 holds), the base
// frequency where it changes (0x0113), the baud rate where it changes
// (0x0117), bytes of the standard framing (0x0100) or of another (0x0104),
// and sound that frames as no bytes as the bits (0x0102) or the cycles
// (0x0114) it makes. A block of the cassette filing system is good when its
// header's CRC and its data's hold; other bytes have no check, and bytes
// misframed make either bad.
std::unique_ptr<Family> MakeAcorn(int rate);
// A UEF image of them.
format::Image AcornImage(const std::vector<Found> &blocks, std::vector<size_t> &offsets);

}  // namespace decode
