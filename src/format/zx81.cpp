// ZX81 programs (.P, .P81) and ZX80 ones (.O): memory images with no
// signature and no timing; the name comes from the file or its name.
#include "format/failure.hpp"
#include "format/readers.hpp"
#include "format/signals.hpp"
#include "os/files.hpp"

#include <optional>

namespace format {

namespace {

// The ZX81's characters from 0 to 63; '~' stands for those with no twin in
// ASCII (graphics, the pound sign).
constexpr char kZx81Chars[] = " ~~~~~~~~~~\"~$:?()><=+-*/;,.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
static_assert(sizeof kZx81Chars == 65);

// A name in ZX81 characters, its last one with bit 7 set; characters the
// ZX81 lacks are left out.
std::vector<uint8_t> zx81_name(const std::string &text) {
  std::vector<uint8_t> out;
  for (char c : text) {
    const char u = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    for (uint8_t z = 0; z < 64; z++)
      if (kZx81Chars[z] == u && u != '~') {
        out.push_back(z);
        break;
      }
  }
  if (out.empty()) out.push_back(38);  // "A"
  out.back() |= 0x80;
  return out;
}

}  // namespace

std::string Zx81Text(Bytes name) {
  std::string s;
  for (uint8_t c : name) s += kZx81Chars[c & 63] == '~' ? '?' : kZx81Chars[c & 63];
  return s;
}

// The length of the program at `from`: up to its E_LINE (its memory begins
// at 0x4009 on the ZX81, 0x4000 on the ZX80), when that lies inside the image.
std::optional<size_t> ProgramLength(Bytes data, bool zx80) {
  const size_t at = zx80 ? 10 : 11, origin = zx80 ? 0x4000 : 0x4009;
  if (data.size() < at + 2) return std::nullopt;
  const size_t e_line = Reader(data).u16(at);
  if (e_line < origin + signals::zx81::kSystemVariables || e_line - origin > data.size()) return std::nullopt;
  return e_line - origin;
}

Tape ReadZx81(std::vector<uint8_t> image, const ReadOptions &options) {
  const std::string &path = options.name;
  const bool zx80 = NamedAs(path, ".o"), p81 = NamedAs(path, ".p81");
  std::vector<IndexedBlock> blocks;
  size_t from = 0;
  // A .P81 file, or a .O one, may hold programs one after another: each as
  // long as its E_LINE says, as long as what follows is a program too.
  while (from < image.size() || blocks.empty()) {
    Zx81Program p;
    p.zx80 = zx80;
    const size_t begin = from;
    if (p81) {  // the name is the program's start
      while (from < image.size() && !(image[from] & 0x80)) from++;
      from = from < image.size() ? from + 1 : begin;
      p.name.assign(image.begin() + static_cast<long>(begin), image.begin() + static_cast<long>(from));
      if (from == begin) p.name = zx81_name("");
    } else if (!zx80) {
      std::string base = path.substr(os::NameStart(path));
      base = base.substr(0, base.rfind('.'));
      p.name = zx81_name(base);
    }
    const Bytes rest = Bytes(image).subspan(from);
    size_t take = rest.size();
    if (p81 || zx80)
      if (const std::optional<size_t> n = ProgramLength(rest, zx80); n && *n < rest.size()) {
        // What follows: a name (on a .P81 file) and a program as long as it says.
        Bytes next = rest.subspan(*n);
        size_t name = 0;
        if (p81) {
          while (name < next.size() && name < 128 && !(next[name] & 0x80)) name++;
          name++;
        }
        if (name <= next.size() && ProgramLength(next.subspan(std::min(name, next.size())), zx80)) take = *n;
      }
    p.data = rest.subspan(0, take);
    blocks.push_back({begin, 0, std::move(p)});
    from += take;
    if (take == 0) break;
  }
  const size_t size = std::get<Zx81Program>(blocks[0].block).data.size();
  Tape t = Tape::FromBlocks(Kind::zx81, std::move(image), std::move(blocks));
  t.set_about(zx80 ? "ZX80 program file" : "ZX81 program file");
  if (!zx80 && size < signals::zx81::kSystemVariables)
    t.warn(strprintf("The program holds %u bytes, fewer than the ZX81's system variables: it will not load!",
                     static_cast<unsigned>(size)));
  return t;
}

namespace {

std::optional<Zx81Program> ProgramAt(const Tape &t, int i) {
  const Block b = t.at(i).block;
  if (const auto *p = std::get_if<Zx81Program>(&b)) return *p;
  return std::nullopt;
}

}  // namespace

bool IsZx81Tape(const Tape &t, bool zx80) {
  if (t.kind() != Kind::zx81 || t.size() == 0) return false;
  const std::optional<Zx81Program> p = ProgramAt(t, 0);
  return p && p->zx80 == zx80;
}

Image WriteZx81(const Tape &tape, int first, int end, bool name, bool one, const std::function<void(int, const char *)> &left_out) {
  Image out;
  for (int i = first; i < end; i++) {
    const std::optional<Zx81Program> p = ProgramAt(tape, i);
    if (!p || (one && !out.empty())) {
      left_out(i + 1, p ? "a program after the first" : "not a program");
      continue;
    }
    if (name) out.insert(out.end(), p->name.begin(), p->name.end());
    out.insert(out.end(), p->data.begin(), p->data.end());
  }
  return out;
}

}  // namespace format
