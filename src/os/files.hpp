// Files as the program uses them, alike on every system: bytes go in and out
// unchanged (no line ends translated), names are UTF-8. Each system has its
// own file of this interface: files_posix.cpp, files_windows.cpp.
//
// A failure is given as the errno value that says why (ENOENT, EACCES,
// ENOSPC, ...), whatever the system's own code was, so that the program's
// messages read the same everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace os {

// A piece of a gathered write.
struct Piece {
  const void *data;
  size_t size;
};

// What an open file is.
struct FileInfo {
  bool regular = false;    // a file on a disk: no device, pipe or folder
  bool directory = false;
  uint64_t size = 0;
};

// One open file. The calls return 0 or the error.
class File {
 public:
  File() = default;
  ~File();  // closes the file; an error then goes unreported
  File(const File &) = delete;
  File &operator=(const File &) = delete;

  // Opens an existing file, or folder, for reading.
  int open_read(const std::string &path);
  // Creates a file for writing, or empties the one there; a new file gets
  // the permissions rw-rw---- (less the umask) where files have such bits.
  int create(const std::string &path);
  // Creates a file that is not there yet: EEXIST when a file (or anything)
  // has the name already, which is left as it is.
  int create_new(const std::string &path);
  bool is_open() const { return handle_ != kClosed; }
  int info(FileInfo &out) const;
  // Reads up to n bytes; `got` is 0 at the file's end.
  int read(void *p, size_t n, size_t &got);
  // Writes every piece, in order, in as few calls as the system allows.
  int write(std::span<const Piece> pieces);
  // The next write goes to file offset `at`.
  int seek(uint64_t at);
  // Closes the file: a write the system had put off may fail only here.
  int close();

 private:
  static constexpr intptr_t kClosed = -1;
  intptr_t handle_ = kClosed;  // the descriptor or handle
};

// Removes a file.
int Remove(const std::string &path);

// Makes a folder (its parent must be there); 0 also when a folder of that
// name is there already.
int MakeFolder(const std::string &path);
// Whether the name leads to a folder.
bool IsFolder(const std::string &path);

// Which file a name leads to. Every name of one file gives the same identity:
// a link, another spelling of its path, another case where the system's
// names ignore case.
struct FileId {
  bool exists = false;
  uint64_t volume = 0, high = 0, low = 0;
  bool operator==(const FileId &) const = default;
};
FileId IdentityOf(const std::string &path);

// Where a path's file name starts: after its last folder separator (on
// Windows also after a drive such as "C:").
size_t NameStart(std::string_view path);

}  // namespace os
