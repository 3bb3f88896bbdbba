// The web build's inflate against zlib: the same bytes and the same last word for whole, cut and
// damaged streams, zlib's and gzip's.
#include <gtest/gtest.h>

#ifdef REELWRIGHT_STB

#include <string>
#include <tuple>

#include "inflate_loop.hpp"
#include "web/zlib/zlib.h"

namespace {

reference::Inflated Shim(const reference::Bytes &in, int window_bits, size_t piece) {
  return reference::Loop<z_stream>(
      in, piece, [window_bits](z_stream &z) { EXPECT_EQ(inflateInit2(&z, window_bits), Z_OK); },
      [](z_stream &z) { return inflate(&z, Z_NO_FLUSH); }, [](z_stream &z) { EXPECT_EQ(inflateEnd(&z), Z_OK); });
}

// Pulse bytes as a CSW file holds them: runs of a few lengths, and some noise.
reference::Bytes Pulses(size_t n) {
  reference::Bytes b(n);
  uint32_t x = 12345;
  for (size_t i = 0; i < n; i++) b[i] = (x = x * 1103515245 + 12345) >> 28 ? uint8_t(10 + (i / 97) % 3) : uint8_t(x >> 16);
  return b;
}

TEST(Inflate, GivesWhatZlibGivesForWholeCutAndDamagedStreams) {
  const reference::Bytes data = Pulses(300000);
  // [what, gzip, with a name, windowBits, bytes left out at the end (when negative: -1 - the bytes kept),
  //  the byte (from 1) whose bits are inverted, from the end when negative (0: none)]
  const std::tuple<const char *, bool, bool, int, long, long> rows[] = {
      {"a zlib stream", false, false, 15, 0, 0},
      {"a zlib stream, either kind asked for", false, false, 15 + 32, 0, 0},
      {"a gzip stream", true, false, 15 + 32, 0, 0},
      {"a gzip stream with a name, a comment and extra data", true, true, 15 + 32, 0, 0},
      {"a gzip stream asked for as gzip", true, false, 15 + 16, 0, 0},
      {"a gzip stream asked for as zlib", true, false, 15, 0, 0},
      {"a zlib stream asked for as gzip", false, false, 15 + 16, 0, 0},
      {"zlib, its check cut short", false, false, 15, 2, 0},
      {"zlib, its check missing", false, false, 15, 4, 0},
      {"zlib, cut in its data", false, false, 15, 5000, 0},
      {"zlib, cut in its header", false, false, 15, -2, 0},
      {"zlib, nothing", false, false, 15, -1, 0},
      {"zlib, a wrong check", false, false, 15, 0, -1},
      {"zlib, a damaged header", false, false, 15, 0, 1},
      {"gzip, its length cut", true, false, 15 + 32, 3, 0},
      {"gzip, cut in its data", true, false, 15 + 32, 9000, 0},
      {"gzip, cut in its header", true, true, 15 + 32, -13, 0},
      {"gzip, a wrong length", true, false, 15 + 32, 0, -2},
      {"gzip, a wrong check", true, false, 15 + 32, 0, -6},
      {"gzip, an unknown method", true, false, 15 + 32, 0, 3},
  };
  for (const auto &[what, gzip, named, bits, cut, flip] : rows) {
    reference::Bytes in = reference::Deflate(data, gzip, named);
    in.resize(cut < 0 ? static_cast<size_t>(-cut - 1) : in.size() - static_cast<size_t>(cut));
    if (flip != 0) in[flip > 0 ? static_cast<size_t>(flip - 1) : in.size() - static_cast<size_t>(-flip)] ^= 0xFF;
    for (size_t piece : {size_t(65536), size_t(1000)}) {
      const reference::Inflated want = reference::Inflate(in, bits, piece), got = Shim(in, bits, piece);
      EXPECT_EQ(got.code, want.code) << what;
      // What a sound stream gives is the same; of a damaged one, the checks decide.
      EXPECT_TRUE((want.code != 1 && flip >= 0) || got.bytes == want.bytes) << what;
    }
  }
}

TEST(Inflate, RefusesWhatIsNoStreamOfZlibs) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, 7), Z_STREAM_ERROR);
  EXPECT_EQ(inflate(&z, Z_NO_FLUSH), Z_STREAM_ERROR);
  EXPECT_EQ(inflateEnd(&z), Z_STREAM_ERROR);
}

}  // namespace

#else
TEST(Inflate, NeedsStbImage) { GTEST_SKIP() << "stb_image.h is not installed: the web build's inflate is not tested"; }
#endif
