#include "format/tape.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "format/failure.hpp"
#include "format/registry.hpp"

namespace format {

ImageFile::ImageFile(const std::string &path) : path_(path) {
  fd_ = open(path.c_str(), O_RDONLY);
  if (fd_ < 0 && (errno == ENOENT || errno == ENOTDIR)) throw Failure("File not found");
  if (fd_ < 0) throw Failure(strprintf("Cannot read %s: %s", path.c_str(), std::strerror(errno)));
  struct stat st;
  if (fstat(fd_, &st) != 0) throw Failure(strprintf("Cannot read %s: %s", path.c_str(), std::strerror(errno)));
  if (!S_ISREG(st.st_mode))
    throw Failure(strprintf("Cannot read %s: %s", path.c_str(),
                            S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file"));
  length_ = static_cast<uint64_t>(st.st_size);
  if (length_ > 0x7FFFFFFF) throw Failure("File is too large: tape images of 2 GiB or more are not supported!");
}

ImageFile::~ImageFile() {
  if (fd_ >= 0) close(fd_);
}

bool ImageFile::read(uint8_t *p, size_t n) {
  while (n > 0) {
    ssize_t r = ::read(fd_, p, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

void ImageFile::read_rest(std::vector<uint8_t> &have) {
  const size_t start = have.size();
  try {
    have.resize(static_cast<size_t>(length_));
  } catch (const std::bad_alloc &) {
    throw Failure("Not enough memory to load the file!");
  }
  errno = 0;
  if (!read(have.data() + start, have.size() - start))
    throw Failure(strprintf("Cannot read %s: %s", path_.c_str(), std::strerror(errno ? errno : EIO)));
}

bool IsTzxHeader(const uint8_t *p, size_t n) { return n >= kTzxHeaderSize && std::memcmp(p, "ZXTape!", 7) == 0; }

bool IsTapeImage(const uint8_t *p, size_t n, const std::string &) { return n >= 7 && std::memcmp(p, "ZXTape!", 7) == 0; }

Tape Tape::FromTzx(std::vector<uint8_t> image) {
  Tape t;
  t.image_ = std::move(image);
  const size_t size = t.image_.size();
  size_t pos = kTzxHeaderSize;
  while (pos < size) {
    const uint8_t id = t.image_[pos];
    const BlockType &type = TypeOf(id);
    Reader rest(t.image_.data() + pos + 1, size - pos - 1);
    std::optional<uint64_t> length = BodyLength(type, rest);
    // A block whose length fields or body reach past the image is left out,
    // and so is everything after it.
    if (!length || *length > rest.size()) {
      t.truncated_ = true;
      break;
    }
    if (!type.known) t.unknown_ids_ = true;
    t.starts_.push_back(static_cast<uint32_t>(pos));
    pos += 1 + static_cast<size_t>(*length);
  }
  t.end_ = static_cast<uint32_t>(pos < size ? pos : size);
  return t;
}

IndexedBlock Tape::at(int i) const {
  const size_t n = static_cast<size_t>(i);
  const uint32_t start = starts_[n];
  const uint32_t end = n + 1 < starts_.size() ? starts_[n + 1] : end_;
  const uint8_t id = image_[start];
  return {start, id, Decode(id, Reader(image_.data() + start + 1, end - start - 1))};
}

}  // namespace format
