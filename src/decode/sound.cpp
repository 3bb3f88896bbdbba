#include "decode/sound.hpp"

#include <cerrno>
#include <cmath>
#include <cstring>

#include "format/failure.hpp"

namespace decode {

using format::Failure;
using format::strprintf;

namespace {

uint32_t le(const uint8_t *p, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; i--) v = v << 8 | p[i];
  return v;
}
uint32_t be(const uint8_t *p, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; i++) v = v << 8 | p[i];
  return v;
}

// G.711 mu-law to a float.
float mulaw(uint8_t u) {
  u = static_cast<uint8_t>(~u);
  const int t = ((u & 0x0F) << 3) + 0x84;
  const int v = (t << ((u & 0x70) >> 4)) - 0x84;
  return static_cast<float>((u & 0x80) ? -v : v) / 32768.0f;
}

constexpr int kMinRate = 4000, kMaxRate = 400000;

}  // namespace

SoundReader::SoundReader(const std::string &path, format::Kind kind)
    : file_(path), kind_(kind), buf_(new uint8_t[kBuf]) {
  switch (kind) {
    case format::Kind::au: au(); break;
    case format::Kind::voc: voc(); break;
    case format::Kind::flac:
      flac_ = std::make_unique<FlacReader>(path);
      rate_ = flac_->rate(), channels_ = flac_->channels(), bits_ = (flac_->bits() + 7) / 8 * 8, frames_ = flac_->frames();
      check();
      words_ = "FLAC, " + words_;
      break;
    default: wav(); break;
  }
}

SoundReader::~SoundReader() = default;

bool SoundReader::skip(uint64_t n) {
  while (n > 0) {
    const size_t k = n < kBuf ? static_cast<size_t>(n) : kBuf;
    if (file_.read(buf_.get(), k) != 0) return false;
    n -= k;
  }
  return true;
}

void SoundReader::check() {
  if (channels_ < 1 || channels_ > 16) throw Failure(strprintf("The recording has %d channels: it cannot be read!", channels_));
  if (rate_ < kMinRate || rate_ > kMaxRate)
    throw Failure(strprintf("The recording's rate of %d Hz is out of range (%d to %d Hz)!", rate_, kMinRate, kMaxRate));
  const bool ok = coding_ == Coding::float_le || coding_ == Coding::float_be ? bits_ == 32 || bits_ == 64
                  : coding_ == Coding::unsigned8 || coding_ == Coding::mulaw ? bits_ == 8
                                                                             : bits_ % 8 == 0 && bits_ >= 8 && bits_ <= 32;
  if (!ok) throw Failure(strprintf("Samples of %d bits in this coding cannot be read!", bits_));
  words_ = strprintf("%d Hz, %d-bit%s, %s", rate_, bits_,
                     coding_ == Coding::float_le || coding_ == Coding::float_be ? " float" : "",
                     channels_ == 1 ? "mono" : channels_ == 2 ? "stereo" : strprintf("%d channels", channels_).c_str());
}

void SoundReader::wav() {
  uint8_t h[40];
  auto need = [this](uint8_t *p, size_t n) {
    if (file_.read(p, n) != 0) throw Failure("The WAV file is cut short before its samples!");
  };
  need(h, 12);
  uint64_t at = 12;
  bool fmt = false;
  for (;;) {
    need(h, 8);
    at += 8;
    const uint32_t size = le(h + 4, 4);
    if (std::memcmp(h, "fmt ", 4) == 0) {
      if (size < 16) throw Failure("The WAV file's format chunk is too short!");
      uint8_t f[40] = {};
      need(f, size < 40 ? size : 40);
      if (!skip(size < 40 ? size & 1 : size - 40 + (size & 1))) need(h, 1);
      at += size + (size & 1);
      unsigned tag = le(f, 2);
      if (tag == 0xFFFE && size >= 26) tag = le(f + 24, 2);  // extensible: the sub-format's first two bytes
      channels_ = static_cast<int>(le(f + 2, 2)), rate_ = static_cast<int>(le(f + 4, 4) > 0x7FFFFFFF ? 0 : le(f + 4, 4));
      bits_ = static_cast<int>(le(f + 14, 2));
      if (tag == 1) coding_ = bits_ == 8 ? Coding::unsigned8 : Coding::signed_le;
      else if (tag == 3) coding_ = Coding::float_le;
      else if (tag == 7) coding_ = Coding::mulaw;
      else throw Failure(strprintf("The WAV file's samples are coded in a way it cannot read (format %u)!", tag));
      check();
      if (le(f + 12, 2) != static_cast<unsigned>(channels_ * bits_ / 8))
        throw Failure(strprintf("The WAV file's block size of %u bytes does not fit %d channels of %d bits!",
                                le(f + 12, 2), channels_, bits_));
      fmt = true;
    } else if (std::memcmp(h, "data", 4) == 0) {
      if (!fmt) throw Failure("The WAV file has no format chunk before its samples!");
      // A size that runs past the file's end is cut at it.
      left_ = size;
      if (at + left_ > file_.length()) left_ = file_.length() - at;
      break;
    } else {
      if (!skip(size + (size & 1))) need(h, 1);
      at += size + (size & 1);
    }
  }
  frames_ = left_ / static_cast<uint64_t>(channels_ * bits_ / 8);
  words_ = "WAV, " + words_;
}

void SoundReader::au() {
  uint8_t h[24];
  if (file_.read(h, 24) != 0) throw Failure("The AU file's header is cut short!");
  const uint32_t offset = be(h + 4, 4), size = be(h + 8, 4), coding = be(h + 12, 4);
  rate_ = static_cast<int>(be(h + 16, 4) > 0x7FFFFFFF ? 0 : be(h + 16, 4)), channels_ = static_cast<int>(be(h + 20, 4) > 64 ? 0 : be(h + 20, 4));
  static const struct { uint32_t id; Coding coding; int bits; } kCodings[] = {
      {1, Coding::mulaw, 8}, {2, Coding::signed_be, 8}, {3, Coding::signed_be, 16}, {4, Coding::signed_be, 24},
      {5, Coding::signed_be, 32}, {6, Coding::float_be, 32}, {7, Coding::float_be, 64}};
  bool known = false;
  for (const auto &c : kCodings)
    if (c.id == coding) coding_ = c.coding, bits_ = c.bits, known = true;
  if (!known) throw Failure(strprintf("The AU file's samples are coded in a way it cannot read (encoding %u)!", coding));
  check();
  if (offset < 24 || offset > file_.length()) throw Failure("The AU file's header is cut short!");
  skip(offset - 24);
  left_ = file_.length() - offset;
  if (size != 0xFFFFFFFF && size < left_) left_ = size;
  frames_ = left_ / static_cast<uint64_t>(channels_ * bits_ / 8);
  words_ = "AU, " + words_;
}

void SoundReader::voc() {
  uint8_t h[26];
  if (file_.read(h, 26) != 0) throw Failure("The VOC file's header is cut short!");
  skip(le(h + 20, 2) > 26 ? le(h + 20, 2) - 26 : 0);
  channels_ = 1, bits_ = 8, coding_ = Coding::unsigned8;
  if (!voc_block()) throw Failure("The VOC file holds no sound!");
  frames_ = 0;
  words_ = "VOC, " + words_;
}

bool SoundReader::voc_block() {
  for (;;) {
    uint8_t h[12];
    if (file_.read(h, 1) != 0 || h[0] == 0 || file_.read(h + 1, 3) != 0) return false;
    uint32_t size = le(h + 1, 3);
    if (h[0] == 1 && size >= 2) {  // sound: rate divisor, codec
      file_.read(h + 4, 2);
      if (h[5] != 0) throw Failure("The VOC file's samples are coded in a way it cannot read!");
      rate_ = static_cast<int>(std::lround(1e6 / (256 - h[4])));
      channels_ = 1, bits_ = 8, coding_ = Coding::unsigned8;
      size -= 2;
    } else if (h[0] == 9 && size >= 12) {  // sound of the newer kind: rate, bits, channels, codec
      file_.read(h, 12);
      rate_ = static_cast<int>(le(h, 4) > 0x7FFFFFFF ? 0 : le(h, 4)), bits_ = h[4], channels_ = h[5];
      const unsigned codec = le(h + 6, 2);
      if (codec != 0 && codec != 4) throw Failure("The VOC file's samples are coded in a way it cannot read!");
      coding_ = codec == 0 ? Coding::unsigned8 : Coding::signed_le;
      size -= 12;
    } else if (h[0] != 2) {  // anything but more sound is passed over
      if (!skip(size)) return false;
      continue;
    }
    check();
    if (size > file_.length()) size = static_cast<uint32_t>(file_.length());
    left_ = size;
    if (left_ > 0) return true;
  }
}

// One channel's samples of `frames` frames from `p` on, each sample a frame after the last.
void SoundReader::convert(const uint8_t *p, size_t frames, float *out) const {
  const size_t width = static_cast<size_t>(bits_ / 8), frame = width * static_cast<size_t>(channels_);
  switch (coding_) {
    case Coding::unsigned8:
      for (size_t i = 0; i < frames; i++) out[i] = (static_cast<float>(p[i * frame]) - 128.0f) / 128.0f;
      return;
    case Coding::mulaw:
      for (size_t i = 0; i < frames; i++) out[i] = mulaw(p[i * frame]);
      return;
    case Coding::signed_le:
      if (width == 2) {  // the commonest: 16-bit WAV
        for (size_t i = 0; i < frames; i++, p += frame)
          out[i] = static_cast<float>(static_cast<int16_t>(p[0] | p[1] << 8)) / 32768.0f;
        return;
      }
      [[fallthrough]];
    case Coding::signed_be:
      for (size_t i = 0; i < frames; i++, p += frame) {
        const uint32_t u = coding_ == Coding::signed_le ? le(p, bits_ / 8) : be(p, bits_ / 8);
        out[i] = static_cast<float>(static_cast<int32_t>(u << (32 - bits_))) / 2147483648.0f;
      }
      return;
    case Coding::float_le:
    case Coding::float_be:
      for (size_t i = 0; i < frames; i++, p += frame) {
        uint8_t o[8];
        for (size_t k = 0; k < width; k++) o[k] = coding_ == Coding::float_le ? p[k] : p[width - 1 - k];
        float v;
        if (width == 4) {
          std::memcpy(&v, o, 4);
        } else {
          double x;
          std::memcpy(&x, o, 8);
          v = static_cast<float>(x);
        }
        out[i] = std::isfinite(v) ? v : 0;
      }
      return;
  }
}

size_t SoundReader::read(float *a, float *b, size_t n) {
  if (flac_) return flac_->read(a, b, n);
  const size_t width = static_cast<size_t>(bits_ / 8), frame = width * static_cast<size_t>(channels_);
  size_t done = 0;
  while (done < n) {
    if (left_ < frame && !(kind_ == format::Kind::voc && voc_block())) break;
    size_t want = (n - done) * frame;
    if (want > left_) want = static_cast<size_t>(left_);
    if (want > kBuf) want = kBuf;
    want -= want % frame;
    if (want == 0) break;
    if (file_.read(buf_.get(), want) != 0) {
      left_ = 0;  // the file ends early: what came is kept
      break;
    }
    left_ -= want;
    const size_t frames = want / frame;
    for (int c = 0; c < channels(); c++) convert(buf_.get() + static_cast<size_t>(c) * width, frames, (c == 0 ? a : b) + done);
    done += frames;
  }
  return done;
}

}  // namespace decode
