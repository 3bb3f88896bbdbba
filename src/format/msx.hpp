// The MSX's tapes: file headers, and CAS and TSX files written.
#pragma once

#include <functional>
#include <string>

#include "format/tape.hpp"
#include "format/writer.hpp"

namespace format {

// The type of the file whose header block these bytes are (10 equal type
// bytes, then a name of 6 characters): "binary", "BASIC", "ASCII"; nothing
// for any other block.
const char *MsxFileType(Bytes block);

// Bytes as the MSX BIOS frames them, in the TSX block of the MSX: a 0 start
// bit, 8 data bits least significant first, two 1 stop bits, each bit whole
// cycles of two tones (a 0 one of the low, a 1 two of the high).
bool IsMsxFraming(const FramedData &b);

// A CAS file: each block that the MSX's framing plays (a CAS block, or a
// TSX block of that framing) after its 8-byte marker, padded with zeros to a
// multiple of 8 bytes when another block follows (where the next marker is
// looked for). `left_out` is told the number (from 1) and name of every
// other block, which a CAS file cannot hold.
Image WriteCas(const Tape &tape, int first, int end, const std::function<void(int, const char *)> &left_out);

// A TSX file: a TZX file of revision 1.21 led by a text description. Each
// block of an MSX CAS tape becomes a block 0x4B of its timing, the silence
// before a block the pause after the one before it (before the first, a
// pause block); the blocks of a TZX, TAP or CSW tape are written as
// WriteTzx writes them. Fails for a tape of another kind.
Image WriteTsx(const Tape &tape, int first, int end, const std::string &description);

}  // namespace format
