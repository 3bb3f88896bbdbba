// Writing tape images: the blocks of a tape as a TZX image (revision 1.20,
// led by a text description) or as a TAP file (the data blocks' bytes). The
// encoders give one block each, its ID first, as the reader takes it back.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "format/blocks.hpp"
#include "format/tape.hpp"

namespace format {

using Image = std::vector<uint8_t>;

// "ZXTape!", 0x1A, revision 1.20.
Image TzxHeader();
Image EncodeText(const std::string &text);                 // 0x30
Image EncodeStandard(uint16_t pause, Bytes data);          // 0x10
Image EncodeTurbo(const TurboData &t);                     // 0x11, t.data as its bytes
// 0x18 of RLE pulses, each a count of samples at `rate` Hz.
Image EncodeCsw(uint16_t pause, uint32_t rate, const std::vector<uint32_t> &pulses);

// A data block (0x10, 0x11, 0x14) as a TAP block: its length, its bytes;
// nothing for a block a TAP file cannot hold.
std::optional<Image> EncodeTapBlock(const Block &b);

// A CSW file of version 2.00, RLE, as it is written a pulse at a time: its
// header (the count of pulses is a hint: it may be 0), then each pulse.
Image CswFileHeader(uint32_t rate, uint32_t pulses, bool high_first);
void AppendRle(Image &to, uint32_t samples);

// The tape as a TZX image: the header, the description, then every block of
// the range [first, end) as the image holds it (a TAP block as 0x10 with a
// pause of 1000 ms). A CSW file is decoded before it is written.
Image WriteTzx(const Tape &tape, int first, int end, const std::string &description);
// The data blocks' bytes as TAP blocks; `left_out` is told the number (from
// 1) and name of each other block, which a TAP file cannot hold.
Image WriteTap(const Tape &tape, int first, int end, const std::function<void(int, const char *)> &left_out);

}  // namespace format
