#include "format/tape.hpp"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <new>

#include "format/failure.hpp"
#include "format/ids.hpp"
#include "format/readers.hpp"
#include "format/registry.hpp"
#include "format/signals.hpp"

namespace format {

ImageFile::ImageFile(const std::string &path) : path_(path) {
  int err = file_.open_read(path);
  if (err == ENOENT || err == ENOTDIR) throw Failure("File not found");
  os::FileInfo info;
  if (err == 0) err = file_.info(info);
  if (err != 0) throw Failure(strprintf("Cannot read %s: %s", path.c_str(), std::strerror(err)));
  if (!info.regular)
    throw Failure(strprintf("Cannot read %s: %s", path.c_str(),
                            info.directory ? std::strerror(EISDIR) : "not a regular file"));
  length_ = info.size;
}

int ImageFile::read(uint8_t *p, size_t n) {
  while (n > 0) {
    size_t got = 0;
    if (const int err = file_.read(p, n, got)) return err;
    if (got == 0) return EIO;  // the file ends before its length
    p += got;
    n -= got;
  }
  return 0;
}

void ImageFile::read_rest(std::vector<uint8_t> &have) {
  if (length_ > 0x7FFFFFFF) throw Failure("File is too large: tape images of 2 GiB or more are not supported!");
  if (have.size() >= length_) return;
  const size_t start = have.size();
  try {
    have.resize(static_cast<size_t>(length_));
  } catch (const std::bad_alloc &) {
    throw Failure("Not enough memory to load the file!");
  }
  if (const int err = read(have.data() + start, have.size() - start))
    throw Failure(strprintf("Cannot read %s: %s", path_.c_str(), std::strerror(err)));
}

bool IsTzxHeader(const uint8_t *p, size_t n) { return n >= kTzxHeaderSize && std::memcmp(p, "ZXTape!", 7) == 0; }

namespace {

const char kCswSignature[] = "Compressed Square Wave\x1A";
constexpr size_t kCswSignatureSize = 23;

bool is_csw(Bytes b) { return b.size() >= kCswSignatureSize && std::memcmp(b.data(), kCswSignature, kCswSignatureSize) == 0; }

// A TAP file's chain of lengths: each block at least a flag and a checksum,
// the last one ending at the file's end.
bool sound_tap_chain(Bytes b) {
  Reader r(b);
  size_t at = 0;
  while (at < b.size()) {
    if (!r.fits(at, 2) || r.u16(at) < 2) return false;
    at += 2 + r.u16(at);
  }
  return at == b.size() && !b.empty();
}

bool starts_with(Bytes b, const void *sig, size_t n) { return b.size() >= n && std::memcmp(b.data(), sig, n) == 0; }
bool is_tzx(Bytes b) { return IsTzxHeader(b.data(), b.size()); }
bool is_pzx(Bytes b) { return starts_with(b, "PZXT", 4); }
bool is_commodore(Bytes b) { return starts_with(b, "C64-TAPE-RAW", 12) || starts_with(b, "C16-TAPE-RAW", 12); }
bool is_uef(Bytes b) { return starts_with(b, "UEF File!", 10); }
bool is_msx(Bytes b) { return starts_with(b, signals::msx::kMarker, 8); }
bool is_gzip(Bytes b) { return b.size() >= 2 && b[0] == 0x1F && b[1] == 0x8B; }
// Sound files: recordings of a tape's sound.
bool is_wav(Bytes b) { return starts_with(b, "RIFF", 4) && b.size() >= 12 && std::memcmp(b.data() + 8, "WAVE", 4) == 0; }
bool is_au(Bytes b) { return starts_with(b, ".snd", 4); }
bool is_voc(Bytes b) { return starts_with(b, "Creative Voice File\x1A", 20); }
bool is_flac(Bytes b) { return starts_with(b, "fLaC", 4); }

// The inputs, in the order they are tried: a row takes a file whose content
// its test accepts or whose name ends in one of its extensions.
struct Input {
  Kind kind;
  bool (*content)(Bytes);
  const char *names[3];
};
const Input kInputs[] = {
    {Kind::tzx, is_tzx, {}},
    {Kind::csw, is_csw, {}},
    {Kind::wav, is_wav, {}},
    {Kind::au, is_au, {}},
    {Kind::voc, is_voc, {}},
    {Kind::flac, is_flac, {}},
    {Kind::pzx, is_pzx, {}},
    {Kind::commodore, is_commodore, {}},
    {Kind::uef, is_uef, {}},
    {Kind::msx, is_msx, {".cas"}},
    {Kind::zx81, nullptr, {".p", ".p81", ".o"}},
    {Kind::tap, sound_tap_chain, {".tap"}},
    {Kind::uef, is_gzip, {".uef"}},
};

}  // namespace

bool NamedAs(const std::string &name, const char *ext) {
  const size_t n = std::strlen(ext);
  if (name.size() < n) return false;
  for (size_t i = 0; i < n; i++)
    if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != ext[i]) return false;
  return true;
}

std::optional<Kind> KindOf(Bytes image, const std::string &name) {
  if (image.empty()) return std::nullopt;
  for (const Input &in : kInputs) {
    if (in.content && in.content(image)) return in.kind;
    for (const char *ext : in.names)
      if (ext && NamedAs(name, ext)) return in.kind;
  }
  return std::nullopt;
}

bool IsTapeImage(const std::string &path) {
  os::File file;
  os::FileInfo info;
  if (file.open_read(path) != 0 || file.info(info) != 0) return false;
  std::vector<uint8_t> b;
  if (info.regular) {
    b.resize(static_cast<size_t>(info.size < (16 << 20) ? info.size : 64));
    size_t got = 0;
    if (file.read(b.data(), b.size(), got) != 0) got = 0;
    b.resize(got);
  }
  // Any RIFF file is taken for sound, as before (its samples may chain like TAP lengths).
  if (b.size() >= 4 && std::memcmp(b.data(), "RIFF", 4) == 0) return false;
  const std::optional<Kind> kind = KindOf(b, path);
  return kind && !IsSound(*kind);
}

CswHeader ReadCswHeader(Bytes image) {
  Reader r(image);
  CswHeader h;
  h.major = r.u8(0x17), h.minor = r.u8(0x18);
  if (h.major == 1) {
    if (!r.fits(0, 0x20)) throw Failure("The CSW file's header is cut short!");
    h.rate = r.u16(0x19), h.compression = uint8_t(r.u8(0x1B)), h.high_first = r.u8(0x1C) & 1, h.data = 0x20;
  } else if (h.major == 2) {
    if (!r.fits(0, 0x34) || !r.fits(0, 0x34 + r.u8(0x23))) throw Failure("The CSW file's header is cut short!");
    h.rate = r.u32(0x19), h.pulses = r.u32(0x1D), h.compression = uint8_t(r.u8(0x21));
    h.high_first = r.u8(0x22) & 1, h.data = 0x34 + r.u8(0x23);
  } else {
    throw Failure(strprintf("CSW version %u.%02u is not supported!", h.major, h.minor));
  }
  return h;
}

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

Tape Tape::FromTap(std::vector<uint8_t> image) {
  Tape t;
  t.kind_ = Kind::tap;
  t.image_ = std::move(image);
  Reader r(t.image_);
  size_t pos = 0;
  while (pos < t.image_.size()) {
    if (!r.fits(pos, 2) || !r.fits(pos + 2, r.u16(pos))) {
      t.truncated_ = true;
      break;
    }
    t.starts_.push_back(static_cast<uint32_t>(pos));
    pos += 2 + r.u16(pos);
  }
  t.end_ = static_cast<uint32_t>(pos < t.image_.size() ? pos : t.image_.size());
  return t;
}

Tape Tape::FromCsw(std::vector<uint8_t> image, const CswHeader &header) {
  Tape t;
  t.kind_ = Kind::csw;
  t.csw_ = header;
  t.image_ = std::move(image);
  t.starts_.push_back(static_cast<uint32_t>(header.data));
  t.end_ = static_cast<uint32_t>(t.image_.size());
  return t;
}

Bytes Tape::raw(int i) const {
  const size_t n = static_cast<size_t>(i);
  if (!blocks_.empty()) return {};
  const uint32_t end = n + 1 < starts_.size() ? starts_[n + 1] : end_;
  return Bytes(image_.data() + starts_[n], end - starts_[n]);
}

Tape Tape::FromBlocks(Kind kind, std::vector<uint8_t> image, std::vector<IndexedBlock> blocks) {
  Tape t;
  t.kind_ = kind;
  t.image_ = std::move(image);  // a moved vector keeps its storage: the views stay valid
  t.blocks_ = std::move(blocks);
  return t;
}

Tape Tape::Read(Kind kind, std::vector<uint8_t> image, const ReadOptions &options) {
  switch (kind) {
    case Kind::pzx: return ReadPzx(std::move(image));
    case Kind::commodore: return ReadCommodore(std::move(image));
    case Kind::msx: return ReadMsx(std::move(image), options);
    case Kind::uef: return ReadUef(std::move(image));
    case Kind::zx81: return ReadZx81(std::move(image), options);
    case Kind::tzx: return FromTzx(std::move(image));
    case Kind::tap: return FromTap(std::move(image));
    case Kind::csw: break;
    case Kind::wav:
    case Kind::au:
    case Kind::voc:
    case Kind::flac: throw Failure("A recording is decoded, not read as a tape image!");
  }
  const CswHeader h = ReadCswHeader(image);
  return FromCsw(std::move(image), h);
}

IndexedBlock Tape::at(int i) const {
  const size_t n = static_cast<size_t>(i);
  if (!blocks_.empty()) return blocks_[n];
  const uint32_t start = starts_[n];
  const uint32_t end = n + 1 < starts_.size() ? starts_[n + 1] : end_;
  switch (kind_) {
    case Kind::tap:
      // A TAP block is what a standard-speed block with a pause of 1000 ms is.
      return {start, static_cast<uint8_t>(Id::standard),
              StandardData{1000, Bytes(image_.data() + start + 2, end - start - 2)}};
    case Kind::csw: {
      CswRecording c;
      c.rate = csw_.rate, c.compression = csw_.compression, c.stored_pulses = csw_.pulses;
      c.initial_high = csw_.high_first;
      c.stream = Bytes(image_.data() + start, end - start);
      return {start, static_cast<uint8_t>(Id::csw_recording), c};
    }
    default: break;  // a TZX image, or a decoded recording's
  }
  const uint8_t id = image_[start];
  return {start, id, Decode(id, Reader(image_.data() + start + 1, end - start - 1))};
}

}  // namespace format
