// The decoders of the ZX81's and the ZX80's tapes.
#pragma once

#include <memory>
#include <vector>

#include "decode/family.hpp"

namespace decode {

// A ZX81 program's block is its name and its memory, as a .P81 file holds
// it; a ZX80 one's its memory, as a .O file holds it.
std::unique_ptr<Family> MakeZx81(int rate);
std::unique_ptr<Family> MakeZx80(int rate);
// Their blocks one after another: a .P81 or a .O file.
format::Image Zx81Image(const std::vector<Found> &blocks, std::vector<size_t> &offsets);

}  // namespace decode
