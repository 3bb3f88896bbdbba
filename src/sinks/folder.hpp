// Files written into one folder, each a new file: nothing there is ever
// written over. A name that is taken gets "-2", "-3", ... before its
// extension.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace sinks {

class FolderWriter {
 public:
  // The folder is made when it is not there (its parent must be); a name
  // that leads to anything but a folder fails with the text to show.
  explicit FolderWriter(std::string folder);

  struct Part {
    std::string ext;  // "" for none
    std::span<const uint8_t> bytes;
  };
  // Writes the parts as files of one name, `stem` or the first of "stem-2",
  // "stem-3", ... under which none of them is taken, and returns that name.
  // `stem` must be a name, not a path. A failed write removes what it made
  // and fails with the text to show.
  std::string write(const std::string &stem, const std::vector<Part> &parts);
  // The path of a name in the folder.
  std::string path(const std::string &name) const;

 private:
  std::string folder_;
};

}  // namespace sinks
