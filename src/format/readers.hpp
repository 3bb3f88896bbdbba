// One reader per tape format of the other machines: each turns an image into
// the typed blocks the rest of the program knows, with the views of the
// blocks in the image it keeps. A reader fails with the text to show when the
// image is no tape of its kind at all, and warns (Tape::problems) of damage
// it reads past.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/tape.hpp"

namespace format {

Tape ReadPzx(std::vector<uint8_t> image);
Tape ReadCommodore(std::vector<uint8_t> image);
Tape ReadMsx(std::vector<uint8_t> image, const ReadOptions &options);
Tape ReadUef(std::vector<uint8_t> image);
Tape ReadZx81(std::vector<uint8_t> image, const ReadOptions &options);

// ZX81 characters as text (bit 7 of each ignored; those without a twin as '?').
std::string Zx81Text(Bytes name);

}  // namespace format
