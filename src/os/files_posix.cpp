// Files on POSIX systems (Linux, macOS, the BSDs): descriptors, writev, and
// the device and inode numbers as a file's identity.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "os/files.hpp"

namespace os {

namespace {

int fd_of(intptr_t h) { return static_cast<int>(h); }

}  // namespace

File::~File() {
  if (is_open()) ::close(fd_of(handle_));
}

int File::open_read(const std::string &path) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return errno;
  handle_ = fd;
  return 0;
}

int File::create(const std::string &path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0660);
  if (fd < 0) return errno;
  handle_ = fd;
  return 0;
}

int File::create_new(const std::string &path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0660);
  if (fd < 0) return errno;
  handle_ = fd;
  return 0;
}

int File::info(FileInfo &out) const {
  struct stat st;
  if (fstat(fd_of(handle_), &st) != 0) return errno;
  out.regular = S_ISREG(st.st_mode);
  out.directory = S_ISDIR(st.st_mode);
  out.size = static_cast<uint64_t>(st.st_size);
  return 0;
}

int File::read(void *p, size_t n, size_t &got) {
  ssize_t r;
  do r = ::read(fd_of(handle_), p, n);
  while (r < 0 && errno == EINTR);
  if (r < 0) return errno;
  got = static_cast<size_t>(r);
  return 0;
}

int File::write(std::span<const Piece> pieces) {
  std::vector<iovec> all;
  all.reserve(pieces.size());
  for (const Piece &p : pieces)
    if (p.size > 0) all.push_back({const_cast<void *>(p.data), p.size});
  iovec *v = all.data();
  size_t count = all.size();
  while (count > 0) {
    const ssize_t r = writev(fd_of(handle_), v, static_cast<int>(count < IOV_MAX ? count : IOV_MAX));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return errno;
    if (r == 0) return ENOSPC;
    size_t done = static_cast<size_t>(r);
    for (; count > 0 && done >= v->iov_len; v++, count--) done -= v->iov_len;
    if (count > 0) {
      v->iov_base = static_cast<uint8_t *>(v->iov_base) + done;
      v->iov_len -= done;
    }
  }
  return 0;
}

int File::seek(uint64_t at) { return lseek(fd_of(handle_), static_cast<off_t>(at), SEEK_SET) < 0 ? errno : 0; }

int File::close() {
  const int fd = fd_of(handle_);
  handle_ = kClosed;
  return ::close(fd) != 0 ? errno : 0;
}

int Remove(const std::string &path) { return unlink(path.c_str()) != 0 ? errno : 0; }

int MakeFolder(const std::string &path) {
  if (mkdir(path.c_str(), 0777) == 0) return 0;
  const int err = errno;
  return err == EEXIST && IsFolder(path) ? 0 : err;
}

bool IsFolder(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileId IdentityOf(const std::string &path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return {};
  return {true, static_cast<uint64_t>(st.st_dev), 0, static_cast<uint64_t>(st.st_ino)};
}

size_t NameStart(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? 0 : slash + 1;
}

}  // namespace os
