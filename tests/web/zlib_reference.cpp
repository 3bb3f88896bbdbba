// zlib itself, the reference the web build's inflate is held to.
#include <zlib.h>

#include "inflate_loop.hpp"

namespace reference {

Bytes Deflate(const Bytes &data, bool gzip, bool named) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, gzip ? 15 + 16 : 15, 8, Z_DEFAULT_STRATEGY);
  gz_header h{};
  char name[] = "tape.uef", comment[] = "a note";
  unsigned char extra[] = {'R', 'W', 2, 0, 1, 0};
  if (gzip && named) {
    h.name = reinterpret_cast<Bytef *>(name), h.comment = reinterpret_cast<Bytef *>(comment);
    h.extra = extra, h.extra_len = sizeof extra, h.hcrc = 1;
    deflateSetHeader(&z, &h);
  }
  Bytes out(deflateBound(&z, static_cast<uLong>(data.size())) + 64);
  z.next_in = const_cast<Bytef *>(data.data()), z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data(), z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

Inflated Inflate(const Bytes &in, int window_bits, size_t piece) {
  return Loop<z_stream>(
      in, piece, [window_bits](z_stream &z) { inflateInit2(&z, window_bits); },
      [](z_stream &z) { return inflate(&z, Z_NO_FLUSH); }, [](z_stream &z) { inflateEnd(&z); });
}

}  // namespace reference
