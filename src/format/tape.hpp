// The tape image in memory and its index of blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "format/blocks.hpp"
#include "format/reader.hpp"

namespace format {

// The input file, open for the run. Opening and reading fail with the texts
// the user is shown ("File not found", ...).
class ImageFile {
 public:
  explicit ImageFile(const std::string &path);
  ~ImageFile();
  ImageFile(const ImageFile &) = delete;
  ImageFile &operator=(const ImageFile &) = delete;

  uint64_t length() const { return length_; }
  // Reads the next n bytes (all of them, or fails).
  bool read(uint8_t *p, size_t n);
  // Reads the rest of the file after `have`, which already holds its start.
  void read_rest(std::vector<uint8_t> &have);

 private:
  std::string path_;
  int fd_ = -1;
  uint64_t length_ = 0;
};

// The 10-byte TZX header.
struct TzxHeader {
  uint8_t major = 0, minor = 0;
};
constexpr size_t kTzxHeaderSize = 10;
// Whether the first 7 bytes are the signature "ZXTape!" (byte 7 is not looked at).
bool IsTzxHeader(const uint8_t *p, size_t n);
// Whether a file that starts with these bytes, under this name, is a tape
// image the program reads.
bool IsTapeImage(const uint8_t *p, size_t n, const std::string &name);

struct IndexedBlock {
  uint64_t offset = 0;  // file offset of the block's ID byte
  uint8_t id = 0;
  Block block;
};

class Tape {
 public:
  // Indexes the blocks of a TZX image (the whole file, header included).
  static Tape FromTzx(std::vector<uint8_t> image);

  int size() const { return static_cast<int>(starts_.size()); }
  // The decoded block at an index (0 to size() - 1).
  IndexedBlock at(int i) const;

  bool has_unknown_ids() const { return unknown_ids_; }
  // The image ends inside a block: that block and any after it are left out.
  bool truncated() const { return truncated_; }

 private:
  std::vector<uint8_t> image_;
  std::vector<uint32_t> starts_;  // offset of each block's ID byte
  uint32_t end_ = 0;              // just past the last complete block
  bool unknown_ids_ = false;
  bool truncated_ = false;
};

}  // namespace format
