// The decoder of the MSX's tapes: a leader of the high tone, then a block's
// bytes framed as the BIOS frames them, as CAS blocks.
#pragma once

#include <memory>
#include <vector>

#include "decode/family.hpp"

namespace decode {

// Its blocks are CAS blocks, each its marker first. The MSX's bytes have no
// checksum: a block is listed with none, or bad when some of its bytes are
// misframed (a stop bit missing, a start bit lost), when a dropout broke it
// (the bytes after it are more of it), or when it is a leader with no bytes
// after it (an empty block). The recording is surely an MSX's when a file
// header (16 bytes: 10 equal type bytes and a name) after a leader is
// framed without fault.
std::unique_ptr<Family> MakeMsx(int rate);
// A CAS image of them: each block after the one before padded with zeros to
// a multiple of 8 bytes, where a marker is looked for.
format::Image MsxImage(const std::vector<Found> &blocks, std::vector<size_t> &offsets);

}  // namespace decode
