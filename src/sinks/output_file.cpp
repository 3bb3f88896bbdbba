#include "sinks/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <climits>
#include <unistd.h>

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

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
}

void OutputFile::create() {
  try {
    buf_.reset(new uint8_t[kCapacity]);  // not cleared: only what is staged is touched
  } catch (const std::bad_alloc &) {
    throw Failure("Not enough memory to set up .VOC file buffer!");
  }
  fd_ = open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0660);
  if (fd_ < 0) throw Failure(strprintf("Cannot create %s: %s", path_.c_str(), std::strerror(errno)));
}

void OutputFile::failed(const char *what, int err) {
  // The file cannot be finished any more, so it would stay a broken sound
  // file: a regular file is removed.
  bool removed = false;
  if (fd_ >= 0) {
    struct stat st;
    bool regular = fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd_);
    removed = regular && unlink(path_.c_str()) == 0;
  }
  fd_ = -1;
  buf_.reset();
  len_ = 0;
  throw Failure(strprintf("Cannot %s %s: %s%s", what, path_.c_str(), std::strerror(err),
                          removed ? " (the unfinished file is removed)" : ""));
}

void OutputFile::write_all(const uint8_t *p, size_t n) {
  while (n > 0) {
    ssize_t r = write(fd_, p, n);
    if (r < 0) {
      if (errno == EINTR) continue;
      failed("write to", errno);
    }
    if (r == 0) failed("write to", ENOSPC);
    p += r;
    n -= static_cast<size_t>(r);
  }
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

void OutputFile::put_direct(std::span<const iovec> pieces, bool aligned) {
  size_t n = 0;
  for (const iovec &v : pieces) n += v.iov_len;
  if (pin_ != kNone || (aligned && (written_ % kAlign != 0 || (len_ + n) % kAlign != 0))) {
    for (const iovec &v : pieces) put(v.iov_base, v.iov_len);
    return;
  }
  std::vector<iovec> all;
  all.reserve(pieces.size() + 1);
  if (len_ != 0) all.push_back({buf_.get(), len_});
  all.insert(all.end(), pieces.begin(), pieces.end());
  iovec *v = all.data();
  size_t count = all.size();
  while (count > 0) {
    ssize_t r = writev(fd_, v, static_cast<int>(count < IOV_MAX ? count : IOV_MAX));
    if (r < 0) {
      if (errno == EINTR) continue;
      failed("write to", errno);
    }
    if (r == 0) failed("write to", ENOSPC);
    size_t done = static_cast<size_t>(r);
    for (; count > 0 && done >= v->iov_len; v++, count--) done -= v->iov_len;
    if (count > 0) {
      v->iov_base = static_cast<uint8_t *>(v->iov_base) + done;
      v->iov_len -= done;
    }
  }
  written_ += len_ + n;
  len_ = 0;
}

void OutputFile::patch(uint64_t at, const void *p, size_t n) {
  std::memcpy(buf_.get() + (at - written_), p, n);
}

void OutputFile::write_at(uint64_t at, const void *p, size_t n) {
  write_staged(len_);
  if (lseek(fd_, static_cast<off_t>(at), SEEK_SET) < 0) failed("seek in", errno);
  write_all(static_cast<const uint8_t *>(p), n);
}

void OutputFile::close() {
  if (fd_ < 0) return;
  write_staged(len_);
  buf_.reset();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw Failure(strprintf("Cannot write to %s: %s", path_.c_str(), std::strerror(errno)));
}

}  // namespace sinks
