// Files on Windows: handles opened by the UTF-16 form of the name, and the
// volume serial number with the file's index on it as its identity.
#include <windows.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "os/files.hpp"

namespace os {

namespace {

HANDLE handle_of(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

// Windows names files in UTF-16.
std::wstring wide(const std::string &s) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

// The errno value that says what a Windows error says.
int error_of(DWORD e) {
  switch (e) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_PATHNAME:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_NETWORK_ACCESS_DENIED:
      return EACCES;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_FILE_TOO_LARGE:
      return EFBIG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    default:
      return EIO;
  }
}
int last_error() { return error_of(GetLastError()); }

bool is_folder(const std::wstring &name) {
  const DWORD a = GetFileAttributesW(name.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kLargest = 1u << 30;  // bytes a single read or write asks for

}  // namespace

File::~File() {
  if (is_open()) CloseHandle(handle_of(handle_));
}

int File::open_read(const std::string &path) {
  // Others may go on using the file, as on other systems; a folder opens too,
  // so that it is told apart from a missing file.
  const HANDLE h = CreateFileW(wide(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return last_error();
  handle_ = reinterpret_cast<intptr_t>(h);
  return 0;
}

int File::create(const std::string &path) {
  const std::wstring name = wide(path);
  const HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                               CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const int err = last_error();
    return err == EACCES && is_folder(name) ? EISDIR : err;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  return 0;
}

int File::create_new(const std::string &path) {
  const std::wstring name = wide(path);
  const HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const int err = last_error();
    return err == EACCES && GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES ? EEXIST : err;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  return 0;
}

int File::info(FileInfo &out) const {
  out = FileInfo{};
  if (GetFileType(handle_of(handle_)) != FILE_TYPE_DISK) return 0;  // a device or pipe
  BY_HANDLE_FILE_INFORMATION i;
  if (!GetFileInformationByHandle(handle_of(handle_), &i)) return last_error();
  out.directory = (i.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  out.regular = !out.directory;
  out.size = static_cast<uint64_t>(i.nFileSizeHigh) << 32 | i.nFileSizeLow;
  return 0;
}

int File::read(void *p, size_t n, size_t &got) {
  DWORD r = 0;
  if (!ReadFile(handle_of(handle_), p, n < kLargest ? static_cast<DWORD>(n) : kLargest, &r, nullptr)) {
    const DWORD e = GetLastError();
    if (e != ERROR_HANDLE_EOF && e != ERROR_BROKEN_PIPE) return error_of(e);
  }
  got = r;
  return 0;
}

int File::write(std::span<const Piece> pieces) {
  for (const Piece &piece : pieces) {
    const uint8_t *p = static_cast<const uint8_t *>(piece.data);
    for (size_t n = piece.size; n > 0;) {
      DWORD w = 0;
      if (!WriteFile(handle_of(handle_), p, n < kLargest ? static_cast<DWORD>(n) : kLargest, &w, nullptr))
        return last_error();
      if (w == 0) return ENOSPC;
      p += w;
      n -= w;
    }
  }
  return 0;
}

int File::seek(uint64_t at) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(at);
  return SetFilePointerEx(handle_of(handle_), to, nullptr, FILE_BEGIN) ? 0 : last_error();
}

int File::close() {
  const HANDLE h = handle_of(handle_);
  handle_ = kClosed;
  return CloseHandle(h) ? 0 : last_error();
}

int Remove(const std::string &path) { return DeleteFileW(wide(path).c_str()) ? 0 : last_error(); }

int MakeFolder(const std::string &path) {
  if (CreateDirectoryW(wide(path).c_str(), nullptr)) return 0;
  const int err = last_error();
  return err == EEXIST && IsFolder(path) ? 0 : err;
}

bool IsFolder(const std::string &path) { return is_folder(wide(path)); }

FileId IdentityOf(const std::string &path) {
  // No right to read is needed to learn who a file is.
  const HANDLE h = CreateFileW(wide(path).c_str(), 0, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                               nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  FileId id;
  // The 128-bit file IDs of ReFS volumes, where the system knows them; the
  // 64-bit index otherwise.
  FILE_ID_INFO full;
  BY_HANDLE_FILE_INFORMATION i;
  if (GetFileInformationByHandleEx(h, FileIdInfo, &full, sizeof full)) {
    uint64_t half[2];
    static_assert(sizeof half == sizeof full.FileId);
    std::memcpy(half, &full.FileId, sizeof half);
    id = {true, full.VolumeSerialNumber, half[1], half[0]};
  } else if (GetFileInformationByHandle(h, &i)) {
    id = {true, i.dwVolumeSerialNumber, 0, static_cast<uint64_t>(i.nFileIndexHigh) << 32 | i.nFileIndexLow};
  }
  CloseHandle(h);
  return id;
}

size_t NameStart(std::string_view path) {
  const size_t sep = path.find_last_of("/\\");
  if (sep != std::string_view::npos) return sep + 1;
  // "C:name" is a file in the current folder of drive C.
  return path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])) ? 2 : 0;
}

}  // namespace os
