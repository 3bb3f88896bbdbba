// ZX81 programs (.P, .P81) and ZX80 ones (.O): memory images with no
// signature and no timing; the name comes from the file or its name.
#include "format/failure.hpp"
#include "format/readers.hpp"
#include "format/signals.hpp"
#include "os/files.hpp"

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

Tape ReadZx81(std::vector<uint8_t> image, const ReadOptions &options) {
  Zx81Program p;
  const std::string &path = options.name;
  p.zx80 = NamedAs(path, ".o");
  size_t from = 0;
  if (NamedAs(path, ".p81")) {  // the name is the file's start
    while (from < image.size() && !(image[from] & 0x80)) from++;
    from = from < image.size() ? from + 1 : 0;
    p.name.assign(image.begin(), image.begin() + static_cast<long>(from));
    if (from == 0) p.name = zx81_name("");
  } else if (!p.zx80) {
    std::string base = path.substr(os::NameStart(path));
    base = base.substr(0, base.rfind('.'));
    p.name = zx81_name(base);
  }
  p.data = Bytes(image).subspan(from);
  const size_t size = p.data.size();
  const bool zx80 = p.zx80;
  Tape t = Tape::FromBlocks(Kind::zx81, std::move(image), {{from, 0, std::move(p)}});
  t.set_about(zx80 ? "ZX80 program file" : "ZX81 program file");
  if (!zx80 && size < signals::zx81::kSystemVariables)
    t.warn(strprintf("The program holds %u bytes, fewer than the ZX81's system variables: it will not load!",
                     static_cast<unsigned>(size)));
  return t;
}

}  // namespace format
