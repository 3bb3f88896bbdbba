#include "sinks/output_file.hpp"

#include <cerrno>
#include <cstring>
#include <new>

#include "format/failure.hpp"

namespace sinks {

namespace {

constexpr size_t kAlign = 64u << 10;                   // writes end on such file offsets
constexpr size_t kPiece = 64u << 10;                   // largest piece staged at once
constexpr size_t kCapacity = (256u << 10) + kPiece + 8;  // room for a pinned block and a piece

}  // namespace

using format::Failure;
using format::strprintf;

void OutputFile::create() {
  try {
    buf_.reset(new uint8_t[kCapacity]);  // not cleared: only what is staged is touched
  } catch (const std::bad_alloc &) {
    throw Failure("Not enough memory to set up .VOC file buffer!");
  }
  if (const int err = file_.create(path_))
    throw Failure(strprintf("Cannot create %s: %s", path_.c_str(), std::strerror(err)));
}

void OutputFile::failed(const char *what, int err) {
  // The file cannot be finished any more, so it would stay a broken sound
  // file: a regular file is removed.
  bool removed = false;
  if (file_.is_open()) {
    os::FileInfo info;
    const bool regular = file_.info(info) == 0 && info.regular;
    file_.close();
    removed = regular && os::Remove(path_) == 0;
  }
  buf_.reset();
  len_ = 0;
  throw Failure(strprintf("Cannot %s %s: %s%s", what, path_.c_str(), std::strerror(err),
                          removed ? " (the unfinished file is removed)" : ""));
}

void OutputFile::write_all(const uint8_t *p, size_t n) {
  const os::Piece piece{p, n};
  if (const int err = file_.write(std::span<const os::Piece>(&piece, 1))) failed("write to", err);
}

void OutputFile::write_staged(size_t n) {
  write_all(buf_.get(), n);
  std::memmove(buf_.get(), buf_.get() + n, len_ - n);
  len_ -= n;
  written_ += n;
}

void OutputFile::make_room(size_t n) {
  if (len_ + n <= kCapacity) return;
  // Up to the last 64 KiB boundary of the file that the writable bytes reach.
  const size_t writable = pin_ == kNone ? len_ : static_cast<size_t>(pin_ - written_);
  const uint64_t cut = (written_ + writable) / kAlign * kAlign;
  write_staged(cut > written_ ? static_cast<size_t>(cut - written_) : writable);
}

void OutputFile::put(const void *p, size_t n) {
  const uint8_t *from = static_cast<const uint8_t *>(p);
  while (n > 0) {
    const size_t k = n < kPiece ? n : kPiece;
    make_room(k);
    std::memcpy(buf_.get() + len_, from, k);
    len_ += k;
    from += k;
    n -= k;
  }
}

void OutputFile::fill(uint8_t value, size_t n) {
  while (n > 0) {
    const size_t k = n < kPiece ? n : kPiece;
    make_room(k);
    std::memset(buf_.get() + len_, value, k);
    len_ += k;
    n -= k;
  }
}

void OutputFile::put_direct(std::span<const os::Piece> pieces, bool aligned) {
  size_t n = 0;
  for (const os::Piece &v : pieces) n += v.size;
  if (pin_ != kNone || (aligned && (written_ % kAlign != 0 || (len_ + n) % kAlign != 0))) {
    for (const os::Piece &v : pieces) put(v.data, v.size);
    return;
  }
  std::vector<os::Piece> all;
  all.reserve(pieces.size() + 1);
  if (len_ != 0) all.push_back({buf_.get(), len_});
  all.insert(all.end(), pieces.begin(), pieces.end());
  if (const int err = file_.write(all)) failed("write to", err);
  written_ += len_ + n;
  len_ = 0;
}

void OutputFile::patch(uint64_t at, const void *p, size_t n) {
  std::memcpy(buf_.get() + (at - written_), p, n);
}

void OutputFile::write_at(uint64_t at, const void *p, size_t n) {
  write_staged(len_);
  if (const int err = file_.seek(at)) failed("seek in", err);
  write_all(static_cast<const uint8_t *>(p), n);
}

void OutputFile::close() {
  if (!file_.is_open()) return;
  write_staged(len_);
  buf_.reset();
  if (const int err = file_.close())
    throw Failure(strprintf("Cannot write to %s: %s", path_.c_str(), std::strerror(err)));
}

}  // namespace sinks
