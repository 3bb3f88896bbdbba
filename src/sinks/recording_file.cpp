#include "sinks/recording_file.hpp"

#include <algorithm>
#include <cmath>

#include "sinks/device.hpp"

namespace sinks {

namespace {

// Staged sample bytes: a VOC sample block's worth at most.
constexpr size_t kStage = 65535;
// The most sample bytes a header counts.
constexpr uint64_t kMaxBytes = 0xFFFFFFFFull - 64;

void le(std::vector<uint8_t> &b, uint32_t v, int n) {
  for (int i = 0; i < n; i++) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void be(std::vector<uint8_t> &b, uint32_t v) {
  for (int i = 3; i >= 0; i--) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

RecordingFile::RecordingFile(std::string path, Kind kind, int rate, int channels, bool sixteen)
    : file_(std::move(path)), kind_(kind), rate_(rate), channels_(channels), width_(sixteen ? 2 : 1) {
  file_.create();
  header(false);
}

RecordingFile::~RecordingFile() {
  try {
    finish();
  } catch (...) {  // reported by the run that failed already
  }
}

// WAV: RIFF, a format chunk, the data chunk. AU: 24 bytes and a pad to 32.
// VOC: the signature, then a block of type 9 that says rate, bits and
// channels, its sample blocks following as blocks of type 2.
void RecordingFile::header(bool final) {
  std::vector<uint8_t> h;
  const uint32_t data = static_cast<uint32_t>(final ? bytes_ : 0), frame = static_cast<uint32_t>(channels_ * width_);
  switch (kind_) {
    case Kind::wav:
      for (char c : std::string("RIFF")) h.push_back(static_cast<uint8_t>(c));
      le(h, 36 + data + (data & 1), 4);
      for (char c : std::string("WAVEfmt ")) h.push_back(static_cast<uint8_t>(c));
      le(h, 16, 4), le(h, 1, 2), le(h, static_cast<uint32_t>(channels_), 2), le(h, static_cast<uint32_t>(rate_), 4);
      le(h, static_cast<uint32_t>(rate_) * frame, 4), le(h, frame, 2), le(h, 8u * static_cast<uint32_t>(width_), 2);
      for (char c : std::string("data")) h.push_back(static_cast<uint8_t>(c));
      le(h, data, 4);
      break;
    case Kind::au:
      be(h, 0x2E736E64), be(h, 32), be(h, final ? data : 0xFFFFFFFF), be(h, width_ == 2 ? 3 : 2);
      be(h, static_cast<uint32_t>(rate_)), be(h, static_cast<uint32_t>(channels_)), be(h, 0), be(h, 0);
      break;
    case Kind::voc:
      for (char c : std::string("Creative Voice File\x1A")) h.push_back(static_cast<uint8_t>(c));
      // Version 1.20 (the first with blocks of type 9), and its check.
      le(h, 0x1A, 2), le(h, 0x0114, 2), le(h, (~0x0114u + 0x1234u) & 0xFFFF, 2);
      h.push_back(9), le(h, 12, 3), le(h, static_cast<uint32_t>(rate_), 4), h.push_back(8);
      h.push_back(static_cast<uint8_t>(channels_)), le(h, 0, 2), le(h, 0, 4);
      if (final) return;  // nothing to fill in
      break;
  }
  if (final) file_.write_at(0, h.data(), h.size());
  else file_.put(h.data(), h.size());
}

void RecordingFile::write(const float *a, const float *b, size_t n) {
  if (done_) return;
  for (size_t i = 0; i < n; i++) {
    for (int c = 0; c < channels_; c++) {
      const float f = c == 0 || !b ? a[i] : b[i];
      if (width_ == 2) {
        const int16_t v = Sample16(f);
        const uint16_t u = static_cast<uint16_t>(v);
        if (kind_ == Kind::au) staged_.push_back(static_cast<uint8_t>(u >> 8)), staged_.push_back(static_cast<uint8_t>(u));
        else staged_.push_back(static_cast<uint8_t>(u)), staged_.push_back(static_cast<uint8_t>(u >> 8));
      } else {
        const long v = std::lround(std::clamp(f, -1.0f, 1.0f) * 127.0f);
        staged_.push_back(static_cast<uint8_t>(kind_ == Kind::au ? v : v + 128));
      }
    }
    if (staged_.size() + static_cast<size_t>(channels_ * width_) > kStage) flush();
  }
}

void RecordingFile::flush() {
  if (staged_.empty() || bytes_ + staged_.size() > kMaxBytes) return staged_.clear();
  if (kind_ == Kind::voc) {
    const uint8_t block[4] = {2, static_cast<uint8_t>(staged_.size()), static_cast<uint8_t>(staged_.size() >> 8),
                              static_cast<uint8_t>(staged_.size() >> 16)};
    file_.put(block, sizeof block);
  }
  file_.put(staged_.data(), staged_.size());
  bytes_ += staged_.size();
  staged_.clear();
}

void RecordingFile::finish() {
  if (done_) return;
  done_ = true;
  flush();
  if (kind_ == Kind::voc) {
    const uint8_t end = 0;
    file_.put(&end, 1);
  } else if (kind_ == Kind::wav && (bytes_ & 1)) {
    const uint8_t pad = 0;
    file_.put(&pad, 1);
  }
  header(true);
  file_.close();
}

}  // namespace sinks
