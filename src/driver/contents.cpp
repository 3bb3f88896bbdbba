#include "driver/contents.hpp"

#include <cctype>
#include <cstring>
#include <variant>

#include "contents/basic.hpp"
#include "contents/dump.hpp"
#include "contents/files.hpp"
#include "contents/names.hpp"
#include "contents/screen.hpp"
#include "format/commodore_files.hpp"
#include "format/failure.hpp"
#include "listing/listing.hpp"
#include "os/files.hpp"
#include "sinks/folder.hpp"
#include "sinks/output_file.hpp"
#include "sinks/picture.hpp"

namespace driver {

using contents::TapeFile;
using format::Failure;
using format::strprintf;

namespace {

// "Block   3: Program: BorderDemo (LINE 10)".
std::string heading(const TapeFile &f) {
  std::string s = strprintf("Block %3d: %s", f.block, f.label);
  if (!f.name.empty()) s.append(": ").append(f.name);
  if (f.basic == contents::Dialect::spectrum && f.autostart < 0x8000) s += strprintf(" (LINE %u)", f.autostart);
  if (!f.good) s += " (checksum BAD)";
  return s;
}

void warn_problems(Console &c, const TapeFile &f, const std::vector<std::string> &more = {}) {
  for (const std::vector<std::string> *list : {&f.problems, &more})
    for (const std::string &p : *list) c.warning(strprintf("Block %d: %s!", f.block, p.c_str()));
}

void basic(const Options &o, Console &c, const std::vector<TapeFile> &files) {
  int listed = 0;
  for (const TapeFile &f : files) {
    if (f.basic == contents::Dialect::none) continue;
    const contents::Listing l = contents::ListBasic(f, o.mode128);
    c.say("%s\n", heading(f).c_str());
    for (const std::string &line : l.lines) c.say("%s\n", line.c_str());
    c.say("\n");
    std::vector<std::string> problems;
    for (const std::string &p : l.problems) problems.push_back(p + ": listed as far as its bytes go");
    warn_problems(c, f, problems);
    listed++;
  }
  if (listed == 0) c.say("No BASIC program on the tape.\n\n");
}

// The bytes a block holds as data, if any.
std::optional<format::Bytes> data_of(const format::Block &b) {
  return std::visit(
      [](const auto &v) -> std::optional<format::Bytes> {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, format::StandardData> || std::is_same_v<T, format::TurboData> ||
                      std::is_same_v<T, format::PureData> || std::is_same_v<T, format::C64RomData> ||
                      std::is_same_v<T, format::C64TurboData> || std::is_same_v<T, format::FramedData> ||
                      std::is_same_v<T, format::PzxData> || std::is_same_v<T, format::Zx81Program>)
          return v.data.empty() ? std::nullopt : std::optional<format::Bytes>(v.data);
        else
          return std::nullopt;
      },
      b);
}

void dump(Console &c, const std::vector<std::string> &lines) {
  for (const std::string &l : lines) c.say("%s\n", l.c_str());
  c.say("\n");
}

void hex(Console &c, const format::Tape &tape, int first, int end) {
  for (int i = first; i < end; i++) {
    const format::IndexedBlock b = tape.at(i);
    std::string text = listing::OneLine(b.block, listing::Place{i + 1, b.offset, b.id, false, {}});
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    const size_t start = text.find_first_not_of(' ');
    text = start == std::string::npos ? "" : text.substr(start);
    if (const auto *p = std::get_if<format::CommodorePulses>(&b.block)) {
      // The block copies the ROM loader finds in the pulses.
      const format::CommodoreContents found = format::FindCommodoreFiles(*p);
      for (const format::CommodoreBlock &k : found.blocks) {
        c.say("Block %3d (%5llX): Commodore ROM block, %s copy, %u bytes, checksum %s\n", i + 1,
              static_cast<unsigned long long>(b.offset + k.bytes_at), k.repeat ? "repeated" : "first",
              unsigned(k.data.size()), k.good() ? "good" : "BAD");
        dump(c, contents::HexDump(k.data));
      }
      continue;
    }
    const std::optional<format::Bytes> d = data_of(b.block);
    if (!d) continue;
    c.say("Block %3d (%5llX): %s\n", i + 1, static_cast<unsigned long long>(b.offset), text.c_str());
    dump(c, contents::HexDump(*d));
  }
}

bool is_png(const std::string &path) {
  os::File f;
  if (f.open_read(path) != 0) return false;
  uint8_t head[8] = {};
  size_t got = 0;
  return f.read(head, 8, got) == 0 && got == 8 && std::memcmp(head, "\x89PNG\r\n\x1A\n", 8) == 0;
}

void screens(const Options &o, Console &c, const std::vector<TapeFile> &files) {
  if (!sinks::CanWritePng()) (void)sinks::EncodePng(0, 0, {});  // says why not
  std::string stem = o.screen;
  const size_t dot = stem.rfind('.');
  if (dot != std::string::npos && dot >= os::NameStart(stem)) {
    std::string ext = stem.substr(dot);
    for (char &ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (ext == ".png") stem.erase(dot);
  }
  int n = 0;
  for (const TapeFile &f : files) {
    if (!f.screen) continue;
    const std::string name = ++n == 1 ? stem + ".png" : strprintf("%s-%d.png", stem.c_str(), n);
    if (os::IdentityOf(name).exists && !is_png(name))
      throw Failure(strprintf("%s is there and is no PNG picture: it is not overwritten!", name.c_str()));
    warn_problems(c, f);
    if (f.bytes.size() != contents::kScreenBytes)
      c.warning(strprintf("Block %d holds %u bytes of a screen's 6912: drawn as far as they go!", f.block,
                          unsigned(f.bytes.size())));
    const std::vector<uint8_t> png =
        sinks::EncodePng(contents::kScreenWidth, contents::kScreenHeight, contents::ScreenPixels(f.bytes));
    sinks::OutputFile out(name);
    out.create();
    out.put(png.data(), png.size());
    out.close();
    if (f.name.empty()) c.say("Screen of block %d written to %s\n", f.block, name.c_str());
    else c.say("Screen of block %d (%s) written to %s\n", f.block, f.name.c_str(), name.c_str());
  }
  c.say(n == 0 ? "No loading screen on the tape: no picture is written.\n\n" : "\n");
}

// An Acorn file's .inf: its name, load and execution address and length,
// and L when it is locked.
std::string inf(const TapeFile &f) {
  return strprintf("%s %08X %08X %08X%s\n", f.name.c_str(), f.load, f.exec, unsigned(f.bytes.size()),
                   f.locked ? " L" : "");
}

void extract(const Options &o, Console &c, const std::vector<TapeFile> &files) {
  sinks::FolderWriter folder(o.extract);
  std::vector<std::string> written;
  int count = 0;
  uint64_t bytes = 0;
  for (const TapeFile &f : files) {
    warn_problems(c, f);
    const std::string stem = contents::SafeName(f.name, strprintf("block-%d", f.block));
    const std::string ext = f.good ? std::string(f.ext) : *f.ext == 0 ? std::string("bad") : std::string("bad.").append(f.ext);
    std::vector<sinks::FolderWriter::Part> parts{{ext, f.bytes}};
    const std::string text = f.system == contents::System::acorn ? inf(f) : std::string();
    if (!text.empty())
      parts.push_back({f.good ? "inf" : "bad.inf", std::span<const uint8_t>(reinterpret_cast<const uint8_t *>(text.data()), text.size())});
    const std::string used = folder.write(stem, parts);
    std::string name = used;
    if (!ext.empty()) name.append(1, '.').append(ext);
    if (!f.good) c.warning(strprintf("Block %d: the checksum fails: written as %s!", f.block, name.c_str()));
    std::string blocks = f.last_block > f.block ? strprintf("blocks %d-%d", f.block, f.last_block) : strprintf("block %d", f.block);
    written.push_back(strprintf("  %-24s %6u bytes  %s%s", name.c_str(), unsigned(f.bytes.size()), blocks.c_str(),
                                text.empty() ? "" : strprintf(", and %s.%s", used.c_str(), parts[1].ext.c_str()).c_str()));
    count++;
    bytes += f.bytes.size();
  }
  c.say("Written into %s:\n", o.extract.c_str());
  for (const std::string &w : written) c.say("%s\n", w.c_str());
  c.say("%d file%s, %llu bytes\n\n", count, count == 1 ? "" : "s", static_cast<unsigned long long>(bytes));
}

}  // namespace

void ShowContents(const Options &o, Console &console, const format::Tape &tape, int first, int end) {
  console.say("\n");
  const std::vector<TapeFile> files = contents::FilesOf(tape, first, end);
  if (o.basic) basic(o, console, files);
  if (o.hex) hex(console, tape, first, end);
  if (!o.screen.empty()) screens(o, console, files);
  if (!o.extract.empty()) extract(o, console, files);
}

}  // namespace driver
