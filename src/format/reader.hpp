// A view of part of the tape image whose reads never leave it: a field that
// lies wholly or partly outside the view reads as 0.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace format {

using Bytes = std::span<const uint8_t>;

class Reader {
 public:
  Reader() = default;
  Reader(const uint8_t *p, size_t len) : p_(p), len_(len) {}
  explicit Reader(Bytes b) : p_(b.data()), len_(b.size()) {}

  size_t size() const { return len_; }
  const uint8_t *data() const { return p_; }

  unsigned u8(size_t off) const { return off < len_ ? p_[off] : 0u; }
  unsigned u16(size_t off) const { return fits(off, 2) ? p_[off] | p_[off + 1] << 8 : 0u; }
  unsigned u24(size_t off) const { return fits(off, 3) ? p_[off] | p_[off + 1] << 8 | p_[off + 2] << 16 : 0u; }
  uint32_t u32(size_t off) const {
    return fits(off, 4) ? uint32_t(p_[off]) | uint32_t(p_[off + 1]) << 8 | uint32_t(p_[off + 2]) << 16 |
                              uint32_t(p_[off + 3]) << 24
                        : 0u;
  }
  int s16(size_t off) const { return static_cast<int16_t>(u16(off)); }

  bool fits(size_t off, size_t n) const { return off <= len_ && n <= len_ - off; }
  // Bytes that lie inside the view from `off` on.
  size_t avail(size_t off) const { return off < len_ ? len_ - off : 0; }
  // The `declared` bytes from `off` on, as far as they lie inside the view.
  Bytes bytes(size_t off, size_t declared) const {
    size_t n = avail(off);
    return Bytes(p_ + (off < len_ ? off : len_), declared < n ? declared : n);
  }
  // Everything from `off` on.
  Bytes rest(size_t off) const { return bytes(off, avail(off)); }

 private:
  const uint8_t *p_ = nullptr;
  size_t len_ = 0;
};

}  // namespace format
