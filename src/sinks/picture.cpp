#include "sinks/picture.hpp"

#include "format/failure.hpp"

#ifdef REELWRIGHT_PNG
#include <png.h>
#endif

namespace sinks {

#ifdef REELWRIGHT_PNG

namespace {

void append(png_structp png, png_bytep data, png_size_t n) {
  auto *out = static_cast<std::vector<uint8_t> *>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}
void no_flush(png_structp) {}
[[noreturn]] void failed(png_structp png, png_const_charp) { png_longjmp(png, 1); }

}  // namespace

bool CanWritePng() { return true; }

std::vector<uint8_t> EncodePng(unsigned width, unsigned height, const std::vector<uint8_t> &rgb) {
  std::vector<uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, failed, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw format::Failure("Not enough memory to make a PNG picture!");
  }
  std::vector<png_bytep> rows(height);
  for (unsigned y = 0; y < height; y++) rows[y] = const_cast<png_bytep>(rgb.data() + size_t(y) * width * 3);
  // libpng reports its errors by a long jump back here; nothing that needs
  // destroying is made between here and there.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw format::Failure("libpng could not make the PNG picture!");
  }
  png_set_write_fn(png, &out, append, no_flush);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

#else

bool CanWritePng() { return false; }

std::vector<uint8_t> EncodePng(unsigned, unsigned, const std::vector<uint8_t> &) {
  throw format::Failure("This program was built without libpng: it writes no PNG picture (-screen)!");
}

#endif

}  // namespace sinks
