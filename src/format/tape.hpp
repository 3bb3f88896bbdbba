// The tape image in memory and its index of blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "format/blocks.hpp"
#include "format/reader.hpp"
#include "os/files.hpp"

namespace format {

// The input file, open for the run. Opening and reading fail with the texts
// the user is shown ("File not found", ...).
class ImageFile {
 public:
  explicit ImageFile(const std::string &path);
  ImageFile(const ImageFile &) = delete;
  ImageFile &operator=(const ImageFile &) = delete;

  uint64_t length() const { return length_; }
  // Reads the next n bytes, all of them: returns 0, or the error (an errno
  // value; EIO when the file ends before them).
  int read(uint8_t *p, size_t n);
  // Reads the rest of the file after `have`, which already holds its start
  // (a tape image of 2 GiB or more is refused; a recording is streamed).
  void read_rest(std::vector<uint8_t> &have);

 private:
  std::string path_;
  os::File file_;
  uint64_t length_ = 0;
};

constexpr size_t kTzxHeaderSize = 10;
// Whether the first 7 bytes are the signature "ZXTape!" (byte 7 is not looked at).
bool IsTzxHeader(const uint8_t *p, size_t n);

// The kinds of file the program reads: tape images, and recordings of a
// tape's sound (a CSW file is both).
enum class Kind { tzx, tap, csw, pzx, commodore, msx, uef, zx81, wav, au, voc, flac };
// Whether a file of this kind is a sound file, to be decoded.
inline bool IsSound(Kind k) { return k == Kind::wav || k == Kind::au || k == Kind::voc || k == Kind::flac; }
// What kind of file one of these bytes and this name is, by the table of
// inputs in tape.cpp, in its order: TZX, CSW, the sound files (WAV, AU, VOC,
// FLAC), PZX, Commodore TAP, plain UEF and MSX CAS by their signatures; ZX81
// and ZX80 programs by their names (.p, .p81, .o); TAP when its chain of
// block lengths is sound (it ends exactly at the file's end) or its name ends
// in ".tap"; then a gzip stream, a compressed UEF file. Names match in any case.
std::optional<Kind> KindOf(Bytes image, const std::string &name);
// Whether a name ends in the extension `ext` (".tap"), in any case.
bool NamedAs(const std::string &name, const char *ext);
// Whether the file at `path` is a tape image, by its first bytes, its name
// and, for a file of up to 16 MiB, its TAP length chain. A file that begins
// as a sound file does is none: its samples may happen to chain like a TAP
// file's lengths (16-bit AU samples of ±4096 often do).
bool IsTapeImage(const std::string &path);

// The header of a CSW file.
struct CswHeader {
  unsigned major = 0, minor = 0;
  uint32_t rate = 0, pulses = 0;
  uint8_t compression = 0;
  bool high_first = false;  // the initial level
  size_t data = 0;          // offset of the pulse stream
};
// Reads the header of a CSW file; a header cut short or of an unknown
// version fails with the text to show.
CswHeader ReadCswHeader(Bytes image);

struct IndexedBlock {
  uint64_t offset = 0;  // file offset of the block (its ID byte in a TZX image)
  uint8_t id = 0;
  Block block;
};

// How the tapes of other machines are read.
struct ReadOptions {
  std::string name;           // the file's name: a ZX81 program's name comes from it
  bool msx_2400 = false;      // MSX tapes at 2400 baud
};

class Tape {
 public:
  // Moved, never copied: the blocks of a tape read by a reader hold views of
  // its image, which a move keeps and a copy would leave behind.
  Tape() = default;
  Tape(Tape &&) = default;
  Tape &operator=(Tape &&) = default;
  Tape(const Tape &) = delete;
  Tape &operator=(const Tape &) = delete;

  // Indexes the blocks of an image (the whole file, header included): TZX
  // blocks; TAP blocks, each a standard-speed block with a pause of 1000 ms;
  // or a CSW file's one recording.
  static Tape FromTzx(std::vector<uint8_t> image);
  static Tape FromTap(std::vector<uint8_t> image);
  static Tape FromCsw(std::vector<uint8_t> image, const CswHeader &header);
  // The tape of another machine's image, read by its reader (see
  // readers.hpp). Fails with the text to show when the image is no such
  // tape at all.
  static Tape Read(Kind kind, std::vector<uint8_t> image, const ReadOptions &options);
  // A tape of decoded blocks whose views lie in `image`.
  static Tape FromBlocks(Kind kind, std::vector<uint8_t> image, std::vector<IndexedBlock> blocks);

  int size() const { return static_cast<int>(blocks_.empty() ? starts_.size() : blocks_.size()); }
  // The decoded block at an index (0 to size() - 1).
  IndexedBlock at(int i) const;
  // The bytes of a block as the image holds them (a TZX block's ID first);
  // nothing for the blocks another machine's reader made.
  Bytes raw(int i) const;
  // The whole image the blocks are views of (a compressed file's inflated bytes).
  Bytes image() const { return image_; }
  // Whether the blocks are the image's own: TZX, TAP or CSW, which a TZX
  // image can hold as they stand.
  bool spectrum_blocks() const { return blocks_.empty(); }

  Kind kind() const { return kind_; }
  bool has_unknown_ids() const { return unknown_ids_; }
  // The image ends inside a block: that block and any after it are left out.
  bool truncated() const { return truncated_; }
  // What the image is, for the line that announces it ("PZX file revision 1.0").
  const std::string &about() const { return about_; }
  // What a reader found wrong with the image, for warnings.
  const std::vector<std::string> &problems() const { return problems_; }
  void set_about(std::string s) { about_ = std::move(s); }
  void warn(std::string s) { problems_.push_back(std::move(s)); }
  void set_truncated() { truncated_ = true; }

 private:
  Kind kind_ = Kind::tzx;
  CswHeader csw_;
  std::vector<uint8_t> image_;
  std::vector<uint32_t> starts_;  // offset of each block's ID byte
  std::vector<IndexedBlock> blocks_;  // the blocks of a tape read by a reader
  std::string about_;
  std::vector<std::string> problems_;
  uint32_t end_ = 0;              // just past the last complete block
  bool unknown_ids_ = false;
  bool truncated_ = false;
};

}  // namespace format
