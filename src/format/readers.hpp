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
#include "format/writer.hpp"

#include <functional>

namespace format {

Tape ReadPzx(std::vector<uint8_t> image);
Tape ReadCommodore(std::vector<uint8_t> image);
Tape ReadMsx(std::vector<uint8_t> image, const ReadOptions &options);
Tape ReadUef(std::vector<uint8_t> image);
Tape ReadZx81(std::vector<uint8_t> image, const ReadOptions &options);

// Whether a tape is of ZX81 programs (or of ZX80 ones).
bool IsZx81Tape(const Tape &t, bool zx80);
// Its programs [first, end) as a .P81 file (each its name, then its
// memory), a .O file (the memories, `name` false) or a .P file (the first
// program's memory alone, `one`); a block that is none, or a program after
// the first of a .P file, is told to `left_out`.
Image WriteZx81(const Tape &tape, int first, int end, bool name, bool one,
                const std::function<void(int, const char *)> &left_out);

// ZX81 characters as text (bit 7 of each ignored; those without a twin as '?').
std::string Zx81Text(Bytes name);

}  // namespace format
