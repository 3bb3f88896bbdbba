#include "sinks/sound_file.hpp"

#include <cstring>
#include <stdexcept>

#include "engine/pulse.hpp"

namespace sinks {

namespace {

constexpr size_t kDirect = 16u << 10;  // samples written straight from the engine's chunk
constexpr size_t kScratch = 64u << 10;  // samples made at once from the engine's

// Puts n samples from p, or n copies of value when p is null.
void put_samples(OutputFile &f, const uint8_t *p, uint8_t value, size_t n) {
  if (p) f.put(p, n);
  else f.fill(value, n);
}

}  // namespace

SoundFile::SoundFile(std::string path, uint64_t limit, const Signal &signal, const Layout &layout)
    : file_(std::move(path)), width_(signal.wide ? 2 : 1), capacity_(layout.max_bytes / width_) {
  if (limit < capacity_) capacity_ = limit;
  const Levels l = LevelsAt(signal, layout.usual, 8 * static_cast<int>(width_));
  for (int level = 0; level < 2; level++) {
    const int32_t v = level ? l.high : l.low;
    const uint8_t sample = static_cast<uint8_t>(v + (layout.signed8 ? 0 : 128));
    const uint8_t hi = static_cast<uint8_t>(v >> 8), lo = static_cast<uint8_t>(v);
    if (width_ == 1) bytes_[level][0] = sample;
    else bytes_[level][0] = layout.big_endian ? hi : lo, bytes_[level][1] = layout.big_endian ? lo : hi;
  }
  same_ = width_ == 1 && bytes_[0][0] == static_cast<uint8_t>(engine::Level::low) &&
          bytes_[1][0] == static_cast<uint8_t>(engine::Level::high);
}

int SoundFile::begin(int rate) {
  file_.create();
  if (!same_) scratch_.reset(new uint8_t[kScratch * width_]);
  start(rate);
  return rate;
}

void SoundFile::run(uint8_t value, uint64_t count) {
  if (!file_.is_open()) return;
  const uint8_t *b = bytes_[IsHigh(value)];
  if (width_ == 1) return append(nullptr, same_ ? value : b[0], static_cast<size_t>(count));
  for (size_t i = 0; i < kScratch && i < count; i++) std::memcpy(scratch_.get() + 2 * i, b, 2);
  while (count > 0 && file_.is_open()) {
    const size_t k = count < kScratch ? static_cast<size_t>(count) : kScratch;
    append(scratch_.get(), 0, 2 * k);
    count -= k;
  }
}

void SoundFile::samples(std::span<const uint8_t> s) {
  if (!file_.is_open()) return;
  if (same_) return append(s.data(), 0, s.size());
  for (size_t at = 0; at < s.size() && file_.is_open(); at += kScratch) {
    const size_t k = s.size() - at < kScratch ? s.size() - at : kScratch;
    uint8_t *to = scratch_.get();
    for (size_t i = 0; i < k; i++, to += width_) std::memcpy(to, bytes_[IsHigh(s[at + i])], width_);
    append(scratch_.get(), 0, k * width_);
  }
}

void SoundFile::put_plain(const uint8_t *p, uint8_t value, size_t n) {
  if (p && n >= kDirect) {
    const os::Piece piece{p, n};
    file_.put_direct(std::span<const os::Piece>(&piece, 1), true);
  } else {
    put_samples(file_, p, value, n);
  }
}

void SoundFile::finish() {
  if (!file_.is_open()) return;
  end();
  file_.close();
}

namespace {

void put_le(uint8_t *p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void put_be(uint8_t *p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

}  // namespace

// --- VOC ---

namespace {
constexpr uint32_t kVocBlock = 65535;  // samples in a full sample block
constexpr size_t kMaxBlocks = 8;        // whole blocks written at once
}

VocFile::VocFile(std::string path, uint64_t limit, const Signal &signal)
    : SoundFile(std::move(path), limit, signal, {kUsual, false, false, kMaxSamples}) {
  if (width_ != 1) throw std::invalid_argument("a VOC file of 16-bit samples");
}

void VocFile::start(int rate) {
  static const uint8_t head[26] = {'C', 'r', 'e', 'a', 't', 'i', 'v', 'e', ' ', 'V', 'o', 'i', 'c',
                                   'e', ' ', 'F', 'i', 'l', 'e', 0x1A, 0x1A, 0x00, 0x0A, 0x01, 0x29, 0x11};
  file_.put(head, sizeof head);
  if (rate <= 35000) {
    // Sound data with a time constant, carrying one sample of value 0.
    uint8_t b[7] = {0x01, 0x03, 0x00, 0x00, static_cast<uint8_t>((256 - 1000000 / rate) & 0xFF), 0x00, 0x00};
    file_.put(b, sizeof b);
  } else {
    // Sound data, new format: the rate in full, 8 bits, mono, unsigned PCM.
    uint8_t b[17] = {0x09, 0x0D, 0x00, 0x00, 0, 0, 0, 0, 8, 1, 0x00, 0x00, 0, 0, 0, 0, 0x00};
    put_le(b + 4, static_cast<uint32_t>(rate), 4);
    file_.put(b, sizeof b);
  }
}

void VocFile::append(const uint8_t *p, uint8_t value, size_t n) {
  static const uint8_t full[4] = {0x02, 0xFF, 0xFF, 0x00};
  while (n > 0) {
    if (in_block_ == 0 && p && n >= kVocBlock) {
      // Whole blocks go out as they are, each after its header.
      const size_t blocks = n / kVocBlock < kMaxBlocks ? n / kVocBlock : kMaxBlocks;
      os::Piece pieces[2 * kMaxBlocks];
      for (size_t i = 0; i < blocks; i++) {
        pieces[2 * i] = {full, sizeof full};
        pieces[2 * i + 1] = {p, kVocBlock};
        p += kVocBlock;
      }
      file_.put_direct(std::span<const os::Piece>(pieces, 2 * blocks), false);
      n -= blocks * kVocBlock;
      continue;
    }
    if (in_block_ == 0) {
      // A block opens with the header of a full one; the last block's header
      // gets its own count at the end.
      header_at_ = file_.size();
      file_.pin(header_at_);
      file_.put(full, sizeof full);
    }
    size_t k = kVocBlock - in_block_;
    if (k > n) k = n;
    put_samples(file_, p, value, k);
    if (p) p += k;
    n -= k;
    in_block_ += static_cast<uint32_t>(k);
    if (in_block_ == kVocBlock) {
      in_block_ = 0;
      file_.unpin();
    }
  }
}

void VocFile::end() {
  if (in_block_ != 0) {
    uint8_t count[3];
    put_le(count, in_block_, 3);
    file_.patch(header_at_ + 1, count, sizeof count);
    file_.unpin();
  }
  static const uint8_t terminator[4] = {0, 0, 0, 0};
  file_.put(terminator, sizeof terminator);
}

// --- AU ---

AuFile::AuFile(std::string path, uint64_t limit, const Signal &signal)
    : SoundFile(std::move(path), limit, signal, {kUsualAu, true, true, kMaxSamples}) {}

void AuFile::header(uint8_t *out) const {
  put_be(out, 0x2E736E64);  // ".snd"
  put_be(out + 4, 32);      // offset of the first sample
  put_be(out + 8, data_size_);
  put_be(out + 12, width_ == 1 ? 2 : 3);  // 8-bit or 16-bit linear
  put_be(out + 16, static_cast<uint32_t>(rate_));
  put_be(out + 20, 1);  // mono
}

void AuFile::start(int rate) {
  rate_ = rate;
  uint8_t b[32] = {};
  header(b);  // provisional: no samples yet
  file_.put(b, sizeof b);
}

void AuFile::append(const uint8_t *p, uint8_t value, size_t n) {
  data_size_ += static_cast<uint32_t>(n);
  put_plain(p, value, n);
}

void AuFile::end() {
  uint8_t b[24];
  header(b);
  file_.write_at(0, b, sizeof b);
}

// --- WAV ---

WavFile::WavFile(std::string path, uint64_t limit, const Signal &signal)
    : SoundFile(std::move(path), limit, signal, {kUsual, false, false, kMaxSamples}) {}

void WavFile::start(int rate) {
  uint8_t b[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
  const uint32_t width = static_cast<uint32_t>(width_);
  put_le(b + 16, 16, 4);  // the format chunk's size
  put_le(b + 20, 1, 2);   // PCM
  put_le(b + 22, 1, 2);   // mono
  put_le(b + 24, static_cast<uint32_t>(rate), 4);
  put_le(b + 28, static_cast<uint32_t>(rate) * width, 4);  // bytes a second
  put_le(b + 32, width, 2);                                // bytes a frame
  put_le(b + 34, 8 * width, 2);                            // bits a sample
  std::memcpy(b + 36, "data", 4);
  put_le(b + 4, 36, 4);  // provisional sizes: no samples yet
  file_.put(b, sizeof b);
}

void WavFile::append(const uint8_t *p, uint8_t value, size_t n) {
  data_size_ += static_cast<uint32_t>(n);
  put_plain(p, value, n);
}

void WavFile::end() {
  // A chunk of an odd size is followed by a pad byte.
  const uint32_t pad = data_size_ & 1;
  if (pad) file_.put("", 1);
  uint8_t size[4];
  put_le(size, 36 + data_size_ + pad, 4);
  file_.write_at(4, size, 4);
  put_le(size, data_size_, 4);
  file_.write_at(40, size, 4);
}

}  // namespace sinks
