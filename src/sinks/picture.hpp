// Pictures as PNG files, written with libpng where the program is built
// with it (a cross-built Windows program is not: it refuses them).
#pragma once

#include <cstdint>
#include <vector>

namespace sinks {

// Whether this program writes PNG files.
bool CanWritePng();
// A PNG file of 8-bit red, green and blue pixels, row by row from the top;
// fails with the text to show where the program has no PNG writer.
std::vector<uint8_t> EncodePng(unsigned width, unsigned height, const std::vector<uint8_t> &rgb);

}  // namespace sinks
