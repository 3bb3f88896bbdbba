// The decoder of the Commodore machines' tapes.
#pragma once

#include <memory>
#include <vector>

#include "decode/family.hpp"

namespace decode {

// Its blocks are the values of a Commodore TAP file, a stretch of pulses each.
std::unique_ptr<Family> MakeCommodore(int rate);
// A Commodore TAP file of them: version 1, the C64's PAL clock.
format::Image CommodoreImage(const std::vector<Found> &blocks, std::vector<size_t> &offsets);

}  // namespace decode
