// The BASIC of the Spectrum, the ZX81 and the ZX80, listed as the machines
// list it: a line number in five columns, keywords spaced as the ROM spaces
// them (a leading space unless a space is there already, and a trailing one).
#include <cmath>
#include <cstdlib>

#include "contents/basic.hpp"
#include "format/failure.hpp"
#include "format/reader.hpp"

namespace contents {

using format::strprintf;

namespace {

// How a keyword is spaced (a keyword that ends in a sign has no space after it).
enum Space : uint8_t { none, after, before, both };
struct Word {
  const char *text;
  Space space;
};

// The Spectrum's keywords from 0xA3 (the 128K's SPECTRUM and PLAY first).
constexpr Word kSpectrum[] = {
    {"SPECTRUM", both}, {"PLAY", both}, {"RND", none}, {"INKEY$", none}, {"PI", none}, {"FN", after},
    {"POINT", after}, {"SCREEN$", after}, {"ATTR", after}, {"AT", after}, {"TAB", after}, {"VAL$", after},
    {"CODE", after}, {"VAL", after}, {"LEN", after}, {"SIN", after}, {"COS", after}, {"TAN", after},
    {"ASN", after}, {"ACS", after}, {"ATN", after}, {"LN", after}, {"EXP", after}, {"INT", after},
    {"SQR", after}, {"SGN", after}, {"ABS", after}, {"PEEK", after}, {"IN", after}, {"USR", after},
    {"STR$", after}, {"CHR$", after}, {"NOT", after}, {"BIN", after}, {"OR", both}, {"AND", both},
    {"<=", none}, {">=", none}, {"<>", none}, {"LINE", both}, {"THEN", both}, {"TO", both},
    {"STEP", both}, {"DEF FN", both}, {"CAT", both}, {"FORMAT", both}, {"MOVE", both}, {"ERASE", both},
    {"OPEN #", before}, {"CLOSE #", before}, {"MERGE", both}, {"VERIFY", both}, {"BEEP", both}, {"CIRCLE", both},
    {"INK", both}, {"PAPER", both}, {"FLASH", both}, {"BRIGHT", both}, {"INVERSE", both}, {"OVER", both},
    {"OUT", both}, {"LPRINT", both}, {"LLIST", both}, {"STOP", both}, {"READ", both}, {"DATA", both},
    {"RESTORE", both}, {"NEW", both}, {"BORDER", both}, {"CONTINUE", both}, {"DIM", both}, {"REM", both},
    {"FOR", both}, {"GO TO", both}, {"GO SUB", both}, {"INPUT", both}, {"LOAD", both}, {"LIST", both},
    {"LET", both}, {"PAUSE", both}, {"NEXT", both}, {"POKE", both}, {"PRINT", both}, {"PLOT", both},
    {"RUN", both}, {"SAVE", both}, {"RANDOMIZE", both}, {"IF", both}, {"CLS", both}, {"DRAW", both},
    {"CLEAR", both}, {"RETURN", both}, {"COPY", both}};
static_assert(std::size(kSpectrum) == 0x100 - 0xA3);
constexpr uint8_t kSpectrumFirst = 0xA3, kRem = 0xEA, kBin = 0xC4, kNumber = 0x0E;
// Colour and place codes and the bytes each takes after it.
constexpr const char *kControls[] = {"INK", "PAPER", "FLASH", "BRIGHT", "INVERSE", "OVER", "AT", "TAB"};

// The ZX81's keywords from 0xC0, and RND, INKEY$ and PI at 0x40.
constexpr Word kZx81[] = {
    {"\"\"", none}, {"AT", after}, {"TAB", after}, {"?", none}, {"CODE", after}, {"VAL", after},
    {"LEN", after}, {"SIN", after}, {"COS", after}, {"TAN", after}, {"ASN", after}, {"ACS", after},
    {"ATN", after}, {"LN", after}, {"EXP", after}, {"INT", after}, {"SQR", after}, {"SGN", after},
    {"ABS", after}, {"PEEK", after}, {"USR", after}, {"STR$", after}, {"CHR$", after}, {"NOT", after},
    {"**", none}, {"OR", both}, {"AND", both}, {"<=", none}, {">=", none}, {"<>", none},
    {"THEN", both}, {"TO", both}, {"STEP", both}, {"LPRINT", both}, {"LLIST", both}, {"STOP", both},
    {"SLOW", both}, {"FAST", both}, {"NEW", both}, {"SCROLL", both}, {"CONT", both}, {"DIM", both},
    {"REM", both}, {"FOR", both}, {"GOTO", both}, {"GOSUB", both}, {"INPUT", both}, {"LOAD", both},
    {"LIST", both}, {"LET", both}, {"PAUSE", both}, {"NEXT", both}, {"POKE", both}, {"PRINT", both},
    {"PLOT", both}, {"RUN", both}, {"SAVE", both}, {"RAND", both}, {"IF", both}, {"CLS", both},
    {"UNPLOT", both}, {"CLEAR", both}, {"RETURN", both}, {"COPY", both}};
static_assert(std::size(kZx81) == 64);
constexpr Word kZx81Functions[] = {{"RND", none}, {"INKEY$", none}, {"PI", none}};

// The ZX80's keywords from 0xD4.
constexpr Word kZx80[] = {
    {"?", none}, {"\"", none}, {"THEN", both}, {"TO", both}, {";", none}, {",", none}, {")", none},
    {"(", none}, {"NOT", after}, {"-", none}, {"+", none}, {"*", none}, {"/", none}, {"AND", both},
    {"OR", both}, {"**", none}, {"=", none}, {">", none}, {"<", none}, {"LIST", both}, {"RETURN", both},
    {"CLS", both}, {"DIM", both}, {"SAVE", both}, {"FOR", both}, {"GO TO", both}, {"POKE", both},
    {"INPUT", both}, {"RANDOMISE", both}, {"LET", both}, {"?", none}, {"?", none}, {"NEXT", both},
    {"PRINT", both}, {"?", none}, {"NEW", both}, {"RUN", both}, {"STOP", both}, {"CONTINUE", both},
    {"IF", both}, {"GO SUB", both}, {"LOAD", both}, {"CLEAR", both}, {"REM", both}};
static_assert(std::size(kZx80) == 0x100 - 0xD4);

// The character sets of the ZX81 and the ZX80 from 0 to 63; '~' marks a
// graphic (or the pound sign at 12), shown in braces.
constexpr char kZx81Chars[] = " ~~~~~~~~~~\"~$:?()><=+-*/;,.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr char kZx80Chars[] = " \"~~~~~~~~~~~$:?()-+*/=><;,.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
static_assert(sizeof kZx81Chars == 65 && sizeof kZx80Chars == 65);

// A line being written out, with the ROM's spacing and the number checks.
class Line {
 public:
  void word(const Word &w) {
    if ((w.space == both || w.space == before) && !ends_in_space()) text += ' ';
    text += w.text;
    if (w.space == both || w.space == after) text += ' ';
    number_.clear();
    name_ = false;
  }
  // A character, which may be part of a number's text (not of a name's).
  void put(char c) {
    const bool digit = (c >= '0' && c <= '9') || c == '.';
    const bool more = !number_.empty() && (c == 'E' || c == 'e' ||
                                           ((c == '+' || c == '-') && (number_.back() == 'E' || number_.back() == 'e')));
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '$';
    if (more || (digit && !name_)) number_ += c;
    else number_.clear();
    name_ = letter || (digit && name_);
    text += c;
  }
  void braces(const std::string &s) {
    text.append(1, '{').append(s).append(1, '}');
    number_.clear();
    name_ = false;
  }
  // A hidden number after the text: marked when the text says another value.
  void hidden(double value, bool binary) {
    if (!number_.empty()) {
      double shown = 0;
      bool ok = true;
      if (binary) {
        for (char c : number_) ok = ok && (c == '0' || c == '1'), shown = shown * 2 + (c - '0');
      } else {
        char *end = nullptr;
        shown = std::strtod(number_.c_str(), &end);
        ok = end && *end == 0;
      }
      if (!ok || std::fabs(shown - value) > 1e-8 * std::fmax(1.0, std::fabs(value))) text += strprintf("{=%.10g}", value);
    }
    number_.clear();
  }
  std::string text;

 private:
  bool ends_in_space() const { return !text.empty() && text.back() == ' '; }
  std::string number_;  // the text of a number being written
  bool name_ = false;   // a name is being written: its digits are no number
};

std::string line_number(unsigned n) { return strprintf("%5u", n); }

// The Spectrum's characters of one byte outside the keywords.
void spectrum_char(Line &l, uint8_t c) {
  if (c == 0x60) l.braces("POUND");
  else if (c == 0x7F) l.braces("(C)");
  else if (c >= 0x20 && c < 0x80) l.put(char(c));
  else if (c >= 0x80 && c <= 0x8F) l.braces(strprintf("GR %u", c - 0x80u));
  else if (c >= 0x90 && c <= 0xA4) l.braces(strprintf("UDG-%c", 'A' + (c - 0x90)));
  else if (c == 0x08) l.braces("LEFT");
  else if (c == 0x09) l.braces("RIGHT");
  else l.braces(strprintf("$%02X", c));
}

}  // namespace

double SinclairNumber(const uint8_t *b) {
  if (b[0] == 0) {  // small integer: sign byte, value, 0
    const int v = b[2] | b[3] << 8;
    return b[1] == 0xFF ? v - 65536 : v;
  }
  const uint32_t mantissa = uint32_t(b[1] | 0x80) << 24 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 8 | b[4];
  const double v = std::ldexp(double(mantissa), int(b[0]) - 128 - 32);
  return b[1] & 0x80 ? -v : v;
}

Listing ListSpectrum(const std::vector<uint8_t> &p, bool k128) {
  Listing out;
  const format::Reader r(p.data(), p.size());
  for (size_t at = 0; at + 4 <= p.size();) {
    const unsigned number = r.u8(at) << 8 | r.u8(at + 1), length = r.u16(at + 2);
    size_t end = at + 4 + length;
    if (end > p.size()) {
      out.problems.push_back(strprintf("line %u says it is %u bytes long; the program ends %u bytes after its start",
                                       number, length, unsigned(p.size() - at - 4)));
      end = p.size();
    }
    Line l;
    l.text = line_number(number);
    bool quoted = false, rem = false, binary = false;  // binary: digits after BIN
    for (size_t i = at + 4; i < end; i++) {
      const uint8_t c = p[i];
      if (c == 0x0D && i + 1 == end) break;  // the line's end (one before it is shown)
      if (c == kNumber) {  // five bytes of the number's value, not shown
        if (i + 5 < end && !rem) l.hidden(SinclairNumber(&p[i + 1]), binary);
        binary = false;
        i += 5;
        continue;
      }
      if (c >= 0x10 && c <= 0x17) {  // a colour or place code and its bytes
        const size_t n = c >= 0x16 ? 2 : 1;
        if (i + n >= end) {
          l.braces(kControls[c - 0x10]);
          break;
        }
        l.braces(strprintf("%s %u", kControls[c - 0x10],
                           c == 0x16 ? p[i + 1] : c == 0x17 ? unsigned(p[i + 1] | p[i + 2] << 8) : p[i + 1]) +
                 (c == 0x16 ? strprintf(",%u", p[i + 2]) : std::string()));
        i += n;
        continue;
      }
      const bool word = c >= kSpectrumFirst && (c >= 0xA5 || k128 || (!quoted && !rem));
      if (word) {
        l.word(kSpectrum[c - kSpectrumFirst]);
        binary = c == kBin;
        rem = rem || c == kRem;
        continue;
      }
      if (c == '"') quoted = !quoted;
      spectrum_char(l, c);
      binary = binary && (c == ' ' || c == '0' || c == '1');
    }
    out.lines.push_back(l.text);
    at = end;
  }
  return out;
}

namespace {

// A ZX81 or ZX80 character outside the keywords: inverse ones in braces.
void zx_char(Line &l, uint8_t c, const char *chars) {
  const unsigned code = c & 63;
  const std::string s = chars[code] != '~' ? std::string(1, chars[code]) : code == 12 ? "POUND" : strprintf("GR %u", code);
  if (c & 0x80) l.braces(std::string("INV ").append(s));
  else if (s.size() == 1) l.put(s[0]);
  else l.braces(s);
}

}  // namespace

Listing ListZx81(const std::vector<uint8_t> &m) {
  Listing out;
  const format::Reader r(m.data(), m.size());
  constexpr size_t kProgram = 0x407D - 0x4009, kDfile = 0x400C - 0x4009;
  size_t stop = r.u16(kDfile) >= 0x4009 ? r.u16(kDfile) - 0x4009 : 0;
  if (stop > m.size() || stop < kProgram) {
    out.problems.push_back(strprintf("its display file is said to begin at %u, outside the program", r.u16(kDfile)));
    stop = m.size();
  }
  for (size_t at = kProgram; at + 4 <= stop;) {
    const unsigned number = r.u8(at) << 8 | r.u8(at + 1), length = r.u16(at + 2);
    size_t end = at + 4 + length;
    if (end > stop) {
      out.problems.push_back(strprintf("line %u says it is %u bytes long, past the program's end", number, length));
      end = stop;
    }
    Line l;
    l.text = line_number(number);
    bool rem = false;  // a REM's bytes hold no numbers
    for (size_t i = at + 4; i < end; i++) {
      const uint8_t c = m[i];
      if (c == 0x76) break;
      if (c == 0x7E) {
        if (i + 5 < end && !rem) l.hidden(SinclairNumber(&m[i + 1]), false);
        i += 5;
        continue;
      }
      if (c >= 0xC0) {
        l.word(kZx81[c - 0xC0]);
        rem = rem || c == 0xEA;
      } else if (c >= 0x40 && c <= 0x42) {
        l.word(kZx81Functions[c - 0x40]);
      } else if (c < 0x40 || (c >= 0x80 && c < 0xC0)) {
        zx_char(l, c, kZx81Chars);
      } else {
        l.braces(strprintf("$%02X", c));
      }
    }
    out.lines.push_back(l.text);
    at = end;
  }
  return out;
}

Listing ListZx80(const std::vector<uint8_t> &m) {
  Listing out;
  const format::Reader r(m.data(), m.size());
  constexpr size_t kProgram = 0x4028 - 0x4000, kVars = 0x4008 - 0x4000;
  size_t stop = r.u16(kVars) >= 0x4000 ? r.u16(kVars) - 0x4000 : 0;
  if (stop > m.size() || stop < kProgram) {
    out.problems.push_back(strprintf("its variables are said to begin at %u, outside the program", r.u16(kVars)));
    stop = m.size();
  }
  for (size_t at = kProgram; at + 2 <= stop;) {
    Line l;
    l.text = line_number(r.u8(at) << 8 | r.u8(at + 1));
    size_t i = at + 2;
    for (; i < stop && m[i] != 0x76; i++) {
      const uint8_t c = m[i];
      if (c >= 0xD4) l.word(kZx80[c - 0xD4]);
      else if (c < 0x40 || (c >= 0x80 && c < 0xC0)) zx_char(l, c, kZx80Chars);
      else l.braces(strprintf("$%02X", c));
    }
    if (i >= stop) out.problems.push_back("its last line has no end");
    out.lines.push_back(l.text);
    at = i + 1;
  }
  return out;
}

}  // namespace contents
