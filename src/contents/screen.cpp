#include "contents/screen.hpp"

namespace contents {

std::vector<uint8_t> ScreenPixels(format::Bytes screen) {
  const format::Reader r(screen);
  std::vector<uint8_t> rgb;
  rgb.reserve(size_t(kScreenWidth) * kScreenHeight * 3);
  for (unsigned y = 0; y < kScreenHeight; y++) {
    // The thirds, then the pixel row in a character, then the character row.
    const unsigned row = (y & 0xC0) << 5 | (y & 7) << 8 | (y & 0x38) << 2;
    for (unsigned x = 0; x < kScreenWidth; x++) {
      const bool ink = (r.u8(row | x >> 3) >> (7 - (x & 7))) & 1;
      const unsigned a = r.u8(6144 + (y / 8) * 32 + x / 8);
      const unsigned colour = ink ? a & 7 : (a >> 3) & 7;
      const uint8_t level = a & 0x40 ? 0xFF : 0xD7;
      rgb.push_back(colour & 2 ? level : 0);  // red
      rgb.push_back(colour & 4 ? level : 0);  // green
      rgb.push_back(colour & 1 ? level : 0);  // blue
    }
  }
  return rgb;
}

}  // namespace contents
