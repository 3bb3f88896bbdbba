#include "zlib.h"

#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Most bytes a stream inflates to here: as much as the tape readers take.
constexpr size_t kMaxOutput = 256u << 20;
bool g_over_limit = false;

void *Grow(void *p, size_t n) {
  if (n > kMaxOutput) {
    g_over_limit = true;
    return nullptr;
  }
  return std::realloc(p, n);
}

}  // namespace

#define STBI_REALLOC(p, n) Grow(p, n)
#define STBI_MALLOC(n) std::malloc(n)
#define STBI_FREE(p) std::free(p)
#define STBI_NO_STDIO
#define STBI_ONLY_PNG
#define STBI_NO_FAILURE_STRINGS
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wunused-function"
#pragma clang diagnostic ignored "-Wunused-parameter"
#endif
#include "stb_image.h"
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

struct Inflated {
  bool gzip = false, any = false;  // any: a gzip or a zlib stream, by its first bytes
  bool done = false;
  int result = Z_OK;  // what follows the output: Z_STREAM_END or an error
  char *out = nullptr;
  size_t have = 0, at = 0;
};

namespace {

uint32_t Crc32(const uint8_t *p, size_t n) {
  static uint32_t table[256];
  if (!table[1]) {
    for (uint32_t i = 0; i < 256; i++) {
      uint32_t c = i;
      for (int k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
  }
  uint32_t c = 0xFFFFFFFFu;
  while (n--) c = table[(c ^ *p++) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

uint32_t Adler32(const uint8_t *p, size_t n) {
  uint32_t a = 1, b = 0;
  while (n--) {
    a = (a + *p++) % 65521;
    b = (b + a) % 65521;
  }
  return (b << 16) | a;
}

uint32_t Le32(const uint8_t *p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint32_t Be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// Where the deflate data of a gzip member begins, or 0 when its header is
// cut short (n when the header is damaged: nothing inflates then).
size_t GzipData(const uint8_t *p, size_t n, bool &damaged) {
  damaged = n >= 3 && (p[2] != 8);
  if (n < 10 || damaged) return 0;
  const uint8_t flags = p[3];
  size_t at = 10;
  if (flags & 4) {
    if (at + 2 > n) return 0;
    at += 2 + (p[at] | p[at + 1] << 8);
  }
  for (int bit : {8, 16}) {
    if (!(flags & bit)) continue;
    while (at < n && p[at] != 0) at++;
    at++;
  }
  if (flags & 2) at += 2;
  return at <= n ? at : 0;
}

// Inflates the whole input; the result is what follows the output.
void InflateAll(Inflated &s, const uint8_t *in, size_t n) {
  bool gzip = s.gzip;
  if (s.any) gzip = n >= 2 && in[0] == 0x1F && in[1] == 0x8B;
  size_t start = 0;
  if (gzip) {
    bool damaged = false;
    start = GzipData(in, n, damaged);
    if (damaged) return void(s.result = Z_DATA_ERROR);
    if (start == 0) return void(s.result = Z_BUF_ERROR);
  } else if (n < 2) {
    return void(s.result = Z_BUF_ERROR);
  }
  if (start > n) return void(s.result = Z_BUF_ERROR);
  // The input is padded, so that a stream cut short is seen: it reads past its end.
  constexpr size_t kPad = 16;
  std::vector<uint8_t> padded(n - start + kPad);
  std::copy(in + start, in + n, padded.begin());
  stbi__zbuf a{};
  a.zbuffer = padded.data();
  a.zbuffer_end = padded.data() + padded.size();
  g_over_limit = false;
  char *buf = static_cast<char *>(std::malloc(64 * 1024));
  if (!buf) return void(s.result = Z_MEM_ERROR);
  const bool ok = stbi__do_zlib(&a, buf, 64 * 1024, 1, gzip ? 0 : 1) != 0;
  s.out = a.zout_start;
  s.have = static_cast<size_t>(a.zout - a.zout_start);
  const size_t used_bits = static_cast<size_t>(a.zbuffer - padded.data()) * 8 - static_cast<size_t>(a.num_bits);
  const size_t end = (used_bits + 7) / 8, real = n - start, trailer = gzip ? 8 : 4;
  if (g_over_limit) return void(s.result = Z_OK);  // more than is taken: the reader stops first
  if (end > real) return void(s.result = Z_BUF_ERROR);
  if (!ok) return void(s.result = Z_DATA_ERROR);
  if (end + trailer > real) return void(s.result = Z_BUF_ERROR);
  const uint8_t *t = padded.data() + end;
  const auto *o = reinterpret_cast<const uint8_t *>(s.out);
  const bool check = gzip ? Le32(t) == Crc32(o, s.have) && Le32(t + 4) == static_cast<uint32_t>(s.have)
                          : Be32(t) == Adler32(o, s.have);
  s.result = check ? Z_STREAM_END : Z_DATA_ERROR;
}

int Init(z_stream *z, bool gzip, bool any) {
  z->state = new Inflated{};
  z->state->gzip = gzip;
  z->state->any = any;
  z->msg = nullptr;
  return Z_OK;
}

}  // namespace

int inflateInit(z_stream *z) { return Init(z, false, false); }

int inflateInit2(z_stream *z, int window_bits) {
  if (window_bits >= 8 + 32 && window_bits <= 15 + 32) return Init(z, false, true);
  if (window_bits >= 8 + 16 && window_bits <= 15 + 16) return Init(z, true, false);
  if (window_bits >= 8 && window_bits <= 15) return Init(z, false, false);
  return Z_STREAM_ERROR;
}

int inflate(z_stream *z, int) {
  Inflated *s = z->state;
  if (!s) return Z_STREAM_ERROR;
  if (!s->done) {
    InflateAll(*s, z->next_in, z->avail_in);
    z->total_in += z->avail_in;
    z->next_in += z->avail_in;
    z->avail_in = 0;
    s->done = true;
  }
  const size_t n = s->have - s->at < z->avail_out ? s->have - s->at : z->avail_out;
  if (n) std::memcpy(z->next_out, s->out + s->at, n);
  s->at += n;
  z->next_out += n;
  z->avail_out -= static_cast<uInt>(n);
  z->total_out += n;
  if (s->at < s->have) return Z_OK;
  if (s->result == Z_OK) return n ? Z_OK : Z_BUF_ERROR;  // over the limit: nothing more comes
  if (s->result == Z_BUF_ERROR && n) return Z_OK;        // what there was, then the end too early
  return s->result;
}

int inflateEnd(z_stream *z) {
  if (!z->state) return Z_STREAM_ERROR;
  std::free(z->state->out);
  delete z->state;
  z->state = nullptr;
  return Z_OK;
}
