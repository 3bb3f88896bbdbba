#include "format/csw.hpp"

#include <zlib.h>

#include <vector>

namespace format {

struct CswPulses::Inflater {
  z_stream z{};
  std::vector<uint8_t> out = std::vector<uint8_t>(64 * 1024);
  size_t have = 0, at = 0;
  uint64_t total = 0;
  bool ended = false;
};

CswPulses::CswPulses(Bytes stream, uint8_t compression) : in_(stream) {
  if (compression == static_cast<uint8_t>(CswCompression::rle)) return;
  if (compression != static_cast<uint8_t>(CswCompression::zrle)) {
    problem_ = "an unknown compression";
    in_ = {};
    return;
  }
  z_ = std::make_unique<Inflater>();
  z_->z.next_in = const_cast<Bytef *>(stream.data());
  z_->z.avail_in = static_cast<uInt>(stream.size() < UINT32_MAX ? stream.size() : UINT32_MAX);
  if (inflateInit(&z_->z) != Z_OK) {
    problem_ = "no memory to inflate it";
    z_->ended = true;
  }
}

CswPulses::~CswPulses() {
  if (z_) inflateEnd(&z_->z);
}

bool CswPulses::refill() {
  Inflater &z = *z_;
  while (!z.ended) {
    if (z.total >= kMaxInflated) {
      problem_ = "more than 256 MiB of pulses";
      z.ended = true;
      break;
    }
    z.z.next_out = z.out.data();
    z.z.avail_out = static_cast<uInt>(z.out.size());
    const int r = inflate(&z.z, Z_NO_FLUSH);
    z.have = z.out.size() - z.z.avail_out;
    z.at = 0;
    z.total += z.have;
    if (r == Z_STREAM_END) z.ended = true;
    else if (r == Z_BUF_ERROR && z.z.avail_in == 0) problem_ = "a compressed stream that ends early", z.ended = true;
    else if (r != Z_OK) problem_ = "a damaged compressed stream", z.ended = true;
    if (z.have > 0) return true;
  }
  return false;
}

bool CswPulses::byte(uint8_t &b) {
  if (!z_) {
    if (at_ >= in_.size()) return false;
    b = in_[at_++];
    return true;
  }
  if (z_->at == z_->have && !refill()) return false;
  b = z_->out[z_->at++];
  return true;
}

bool CswPulses::next(uint32_t &samples) {
  uint8_t b = 0;
  if (!byte(b)) return false;
  if (b != 0) {
    samples = b;
    return true;
  }
  uint32_t v = 0;
  for (int i = 0; i < 4; i++) {
    if (!byte(b)) {
      if (!problem_) problem_ = "a long pulse cut short";
      return false;
    }
    v |= uint32_t(b) << (8 * i);
  }
  samples = v;
  return true;
}

CswSummary SummarizeCsw(Bytes stream, uint8_t compression) {
  CswSummary s;
  CswPulses p(stream, compression);
  for (uint32_t n = 0; p.next(n);) s.pulses++, s.samples += n;
  s.problem = p.problem();
  return s;
}

}  // namespace format
