// The part of zlib's inflate interface the tape readers use, for the web
// build, which has no zlib: an inflate from stb_image underneath. The whole
// input is handed over at once (as the readers do); the output is inflated
// at the first call, at most kMaxOutput bytes of it, and handed out in the
// pieces asked for. The zlib and gzip checks are verified as zlib does.
#pragma once

#include <cstddef>

using Bytef = unsigned char;
using uInt = unsigned int;
using uLong = unsigned long;

constexpr int Z_OK = 0, Z_STREAM_END = 1, Z_STREAM_ERROR = -2, Z_DATA_ERROR = -3, Z_MEM_ERROR = -4, Z_BUF_ERROR = -5;
constexpr int Z_NO_FLUSH = 0;

struct z_stream {
  const Bytef *next_in = nullptr;
  uInt avail_in = 0;
  uLong total_in = 0;
  Bytef *next_out = nullptr;
  uInt avail_out = 0;
  uLong total_out = 0;
  const char *msg = nullptr;
  struct Inflated *state = nullptr;
};

// A zlib stream; windowBits 15 + 32 takes a zlib or a gzip stream.
int inflateInit(z_stream *z);
int inflateInit2(z_stream *z, int windowBits);
int inflate(z_stream *z, int flush);
int inflateEnd(z_stream *z);
