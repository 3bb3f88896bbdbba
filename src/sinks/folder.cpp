#include "sinks/folder.hpp"

#include <cerrno>
#include <cstring>

#include "format/failure.hpp"
#include "os/files.hpp"

namespace sinks {

using format::Failure;
using format::strprintf;

namespace {

// Names tried for one file before giving up: a folder that holds them all
// already is no place to write more.
constexpr int kMaxTries = 10000;

std::string file_name(const std::string &stem, int n, const std::string &ext) {
  std::string s = n == 1 ? stem : strprintf("%s-%d", stem.c_str(), n);
  if (!ext.empty()) s.append(1, '.').append(ext);
  return s;
}

}  // namespace

FolderWriter::FolderWriter(std::string folder) : folder_(std::move(folder)) {
  if (folder_.empty()) folder_ = std::string(1, '.');
  if (const int err = os::MakeFolder(folder_))
    throw Failure(strprintf("Cannot make the folder %s: %s", folder_.c_str(), std::strerror(err)));
}

std::string FolderWriter::path(const std::string &name) const {
  const char last = folder_.back();
  std::string p = folder_;
  if (last != '/' && last != '\\') p.append(1, '/');
  return p.append(name);
}

std::string FolderWriter::write(const std::string &stem, const std::vector<Part> &parts) {
  for (int n = 1; n <= kMaxTries; n++) {
    std::vector<std::string> made;
    auto undo = [&] {
      for (const std::string &m : made) os::Remove(m);
    };
    bool taken = false;
    for (const Part &p : parts) {
      const std::string name = path(file_name(stem, n, p.ext));
      os::File f;
      if (const int err = f.create_new(name)) {
        undo();
        if (err == EEXIST) {
          taken = true;
          break;
        }
        throw Failure(strprintf("Cannot create %s: %s", name.c_str(), std::strerror(err)));
      }
      made.push_back(name);
      const os::Piece piece{p.bytes.data(), p.bytes.size()};
      int err = f.write(std::span<const os::Piece>(&piece, 1));
      const int closed = f.close();
      if (err == 0) err = closed;
      if (err != 0) {
        undo();
        throw Failure(strprintf("Cannot write to %s: %s (what was written of it is removed)", name.c_str(),
                                std::strerror(err)));
      }
    }
    if (!taken) return file_name(stem, n, "");
  }
  throw Failure(strprintf("Every name from %s to %s-%d is taken in %s: nothing more is written!", stem.c_str(),
                          stem.c_str(), kMaxTries, folder_.c_str()));
}

}  // namespace sinks
