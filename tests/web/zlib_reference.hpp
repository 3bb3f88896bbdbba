// zlib's own deflate and inflate (the web build's inflate is held to them).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace reference {

using Bytes = std::vector<uint8_t>;
struct Inflated {
  Bytes bytes;
  int code = 0;  // the last inflate()'s
};
// A zlib stream, or a gzip one (with a name, a comment, extra data and a header check when `named`).
Bytes Deflate(const Bytes &data, bool gzip, bool named = false);
// Inflated `piece` bytes at a time until inflate() says anything but Z_OK.
Inflated Inflate(const Bytes &in, int window_bits, size_t piece);

}  // namespace reference
