// A Spectrum screen (6912 bytes: the bitmap in the display's own order, then
// the attributes) as a picture of 256 x 192 pixels.
#pragma once

#include <cstdint>
#include <vector>

#include "format/reader.hpp"

namespace contents {

constexpr unsigned kScreenWidth = 256, kScreenHeight = 192, kScreenBytes = 6912;

// Red, green and blue of each pixel, row by row from the top left. Colours
// are the Spectrum's 15: 0xD7 for an ordinary one, 0xFF for a bright one;
// FLASH in its first phase (ink as ink). Bytes past the end of `screen`
// read as 0.
std::vector<uint8_t> ScreenPixels(format::Bytes screen);

}  // namespace contents
