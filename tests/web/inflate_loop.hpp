// zlib's interface driven as the tape readers drive it, for zlib itself (zlib_reference.cpp)
// and for the web build's inflate (test_inflate.cpp), each of which sees only its own zlib.h.
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

// All the input at once, then `piece` bytes out at a time until inflate() says anything but Z_OK (0).
template <class Stream, class Init, class Step, class End>
Inflated Loop(const Bytes &in, size_t piece, Init init, Step step, End end) {
  Stream z{};
  Inflated r;
  init(z);
  z.next_in = const_cast<uint8_t *>(in.data());
  z.avail_in = static_cast<unsigned>(in.size());
  do {
    const size_t have = r.bytes.size();
    r.bytes.resize(have + piece);
    z.next_out = r.bytes.data() + have;
    z.avail_out = static_cast<unsigned>(piece);
    r.code = step(z);
    r.bytes.resize(r.bytes.size() - z.avail_out);
  } while (r.code == 0);
  end(z);
  return r;
}
// zlib's own: a zlib or gzip stream (with a name, a comment, extra data and a header check when `named`), and inflate.
Bytes Deflate(const Bytes &data, bool gzip, bool named = false);
Inflated Inflate(const Bytes &in, int window_bits, size_t piece);
}  // namespace reference
