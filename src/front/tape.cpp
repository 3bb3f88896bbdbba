#include "front/tape.hpp"

#include <variant>

#include "format/failure.hpp"

namespace front {

using format::Failure;
using format::strprintf;

namespace {

// The tape's headline counts and warnings.
void Index(const format::Tape &tape, const Announce &say) {
  const int blocks = tape.size();
  say.text(strprintf("Number of Blocks: %d\n", blocks));
  if (tape.has_unknown_ids()) say.warning("Some blocks were *NOT* recognised!");
  if (tape.truncated()) say.warning(strprintf("The tape ends inside block %d, which is ignored!", blocks + 1));
  for (const std::string &p : tape.problems()) say.warning(p);
  if (tape.kind() != format::Kind::tap) return;
  // The first TAP block that holds nothing, not even its flag.
  for (int i = 0; i < blocks; i++) {
    if (std::get<format::StandardData>(tape.at(i).block).data.empty()) {
      say.warning(strprintf("TAP block %d is empty: it plays as a block without data!", i + 1));
      return;
    }
  }
}

Loaded Recording(const LoadOptions &o, format::Kind kind, std::vector<uint8_t> image, const Announce &say,
                 const decode::Progress &progress) {
  decode::DecodedTape t = kind == format::Kind::csw
                              ? decode::DecodeCsw(image, format::ReadCswHeader(image), progress)
                              : decode::DecodeSound(o.read.name, kind, o.channel, progress);
  say.text(strprintf("\nRecording: %s, decoded\n", t.words.c_str()));
  Loaded l;
  l.where = std::move(t.where);
  l.tape = std::make_shared<const format::Tape>(decode::ReadDecoded(t));
  return l;
}

Loaded Image(const LoadOptions &o, std::vector<uint8_t> image, const Announce &say, const decode::Progress &progress) {
  const format::Kind kind = format::KindOf(image, o.read.name).value_or(format::Kind::tzx);
  // A CSW file is played as it stands, and decoded when it becomes a tape image.
  if (kind == format::Kind::csw && o.decode_csw) return Recording(o, kind, std::move(image), say, progress);
  Loaded l;
  switch (kind) {
    case format::Kind::tzx: {
      if (!format::IsTzxHeader(image.data(), image.size())) throw Failure("File is not in ZXTape format!");
      const unsigned major = image[8], minor = image[9];
      say.text(strprintf("\nZXTape file revision %d.%02d\n", major, minor));
      if (major == 0) throw Failure("Development versions of ZXTape format are not supported!");
      if (major > 1) say.warning("Some blocks may not be recognised and used!");
      // The program knows every block of revision 1.20.
      if (major == 1 && minor > 20) say.warning("Some of the data might not be properly recognised!");
      l.tape = std::make_shared<const format::Tape>(format::Tape::FromTzx(std::move(image)));
      break;
    }
    case format::Kind::tap:
      say.text("\nTAP file, blocks of standard speed\n");
      l.tape = std::make_shared<const format::Tape>(format::Tape::FromTap(std::move(image)));
      break;
    case format::Kind::csw: {
      const format::CswHeader h = format::ReadCswHeader(image);
      say.text(strprintf("\nCSW file revision %u.%02u\n", h.major, h.minor));
      l.tape = std::make_shared<const format::Tape>(format::Tape::FromCsw(std::move(image), h));
      break;
    }
    default:  // the tapes of other machines, each read by its reader
      l.tape = std::make_shared<const format::Tape>(format::Tape::Read(kind, std::move(image), o.read));
      say.text(strprintf("\n%s\n", l.tape->about().c_str()));
      break;
  }
  return l;
}

}  // namespace

Loaded Load(const LoadOptions &o, const Announce &say, const decode::Progress &progress) {
  std::vector<uint8_t> image;
  Loaded l;
  {
    format::ImageFile file(o.read.name);
    image.resize(static_cast<size_t>(file.length() < 64 ? file.length() : 64));
    if (file.read(image.data(), image.size()) != 0) image.clear();
    const std::optional<format::Kind> kind = format::KindOf(image, o.read.name);
    // A recording is decoded, not loaded: it may be far larger than memory.
    if (kind && format::IsSound(*kind)) {
      l = Recording(o, *kind, {}, say, progress);
    } else {
      file.read_rest(image);
    }
  }
  if (!l.tape) l = Image(o, std::move(image), say, progress);
  Index(*l.tape, say);
  return l;
}

std::string WhereClock(const std::vector<decode::Where> &where, int index) {
  return decode::Clock(where[static_cast<size_t>(index)].start);
}

const char *CheckWord(decode::Check check) {
  switch (check) {
    case decode::Check::good: return "good";
    case decode::Check::bad: return "BAD";
    case decode::Check::none:
    case decode::Check::sound: break;
  }
  return "-";
}

std::string OnePrefix(int number, const decode::Where &w) {
  return strprintf("%3d %7s %-4s:", number, decode::Clock(w.start).c_str(), CheckWord(w.check));
}

std::string OnePrefix(const std::vector<decode::Where> &where, int index, uint64_t offset) {
  if (!where.empty()) return OnePrefix(index + 1, where[static_cast<size_t>(index)]);
  return strprintf("%3d-%5llX:", index + 1, static_cast<unsigned long long>(offset));
}

const format::ImageFormat &ImageFor(const format::ImageFormat &named, const format::Tape &tape) {
  const format::ImageFormat *f = format::ImageFor(named, tape);
  if (!f) throw Failure(strprintf("A %s image holds %s only: this tape is not written!", named.title, named.holds));
  return *f;
}

format::Image WriteImage(const format::Tape &tape, const format::ImageFormat &image, int first, int end,
                         const std::string &source, const std::function<void(const std::string &)> &warning) {
  format::WriteContext context;
  context.description = "Made by reelwright from " + source;
  std::string left_out;
  context.left_out = [&left_out](int n, const char *name) {
    left_out += strprintf("%s%d (%s)", left_out.empty() ? "" : ", ", n, name);
  };
  const format::Image bytes = image.write(tape, first, end, context);
  if (!left_out.empty())
    warning(strprintf("A %s file holds %s only; these blocks are left out: %s!", image.title, image.keeps, left_out.c_str()));
  if (bytes.empty()) throw Failure(strprintf("No block of the tape can be held in a %s file: nothing is written!", image.title));
  return bytes;
}

}  // namespace front
