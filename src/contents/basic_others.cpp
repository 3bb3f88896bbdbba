// The BASIC of the MSX, the BBC Micro and Electron, and the Commodore
// machines (BASIC V2), listed as LIST shows them.
#include <cmath>

#include "contents/basic.hpp"
#include "format/failure.hpp"
#include "format/reader.hpp"

namespace contents {

using format::strprintf;

namespace {

// MSX BASIC's statements and operators from 0x81, and its functions (after
// 0xFF) from 0x81.
constexpr const char *kMsx[] = {
    "END", "FOR", "NEXT", "DATA", "INPUT", "DIM", "READ", "LET", "GOTO", "RUN", "IF", "RESTORE", "GOSUB",
    "RETURN", "REM", "STOP", "PRINT", "CLEAR", "LIST", "NEW", "ON", "WAIT", "DEF", "POKE", "CONT", "CSAVE",
    "CLOAD", "OUT", "LPRINT", "LLIST", "CLS", "WIDTH", "ELSE", "TRON", "TROFF", "SWAP", "ERASE", "ERROR",
    "RESUME", "DELETE", "AUTO", "RENUM", "DEFSTR", "DEFINT", "DEFSNG", "DEFDBL", "LINE", "OPEN", "FIELD",
    "GET", "PUT", "CLOSE", "LOAD", "MERGE", "FILES", "LSET", "RSET", "SAVE", "LFILES", "CIRCLE", "COLOR",
    "DRAW", "PAINT", "BEEP", "PLAY", "PSET", "PRESET", "SOUND", "SCREEN", "VPOKE", "SPRITE", "VDP", "BASE",
    "CALL", "TIME", "KEY", "MAX", "MOTOR", "BLOAD", "BSAVE", "DSKO$", "SET", "NAME", "KILL", "IPL", "COPY",
    "CMD", "LOCATE", "TO", "THEN", "TAB(", "STEP", "USR", "FN", "SPC(", "NOT", "ERL", "ERR", "STRING$",
    "USING", "INSTR", "'", "VARPTR", "CSRLIN", "ATTR$", "DSKI$", "OFF", "INKEY$", "POINT", ">", "=", "<",
    "+", "-", "*", "/", "^", "AND", "OR", "XOR", "EQV", "IMP", "MOD", "\\"};
static_assert(std::size(kMsx) == 0xFD - 0x81);
constexpr const char *kMsxFunctions[] = {
    "LEFT$", "RIGHT$", "MID$", "SGN", "INT", "ABS", "SQR", "RND", "SIN", "LOG", "EXP", "COS", "TAN", "ATN",
    "FRE", "INP", "POS", "LEN", "STR$", "VAL", "ASC", "CHR$", "PEEK", "VPEEK", "SPACE$", "OCT$", "HEX$",
    "LPOS", "BIN$", "CINT", "CSNG", "CDBL", "FIX", "STICK", "STRIG", "PDL", "PAD", "DSKF", "FPOS", "CVI",
    "CVS", "CVD", "EOF", "LOC", "LOF", "MKI$", "MKS$", "MKD$"};
constexpr uint8_t kMsxRem = 0x8F, kMsxData = 0x84, kMsxElse = 0xA1, kMsxQuote = 0xE6;

// BBC BASIC's keywords from 0x80 (0x8D stands before a line number).
constexpr const char *kBbc[] = {
    "AND", "DIV", "EOR", "MOD", "OR", "ERROR", "LINE", "OFF", "STEP", "SPC", "TAB(", "ELSE", "THEN", "",
    "OPENIN", "PTR", "PAGE", "TIME", "LOMEM", "HIMEM", "ABS", "ACS", "ADVAL", "ASC", "ASN", "ATN", "BGET",
    "COS", "COUNT", "DEG", "ERL", "ERR", "EVAL", "EXP", "EXT", "FALSE", "FN", "GET", "INKEY", "INSTR(",
    "INT", "LEN", "LN", "LOG", "NOT", "OPENUP", "OPENOUT", "PI", "POINT(", "POS", "RAD", "RND", "SGN",
    "SIN", "SQR", "TAN", "TO", "TRUE", "USR", "VAL", "VPOS", "CHR$", "GET$", "INKEY$", "LEFT$(", "MID$(",
    "RIGHT$(", "STR$", "STRING$(", "EOF", "AUTO", "DELETE", "LOAD", "LIST", "NEW", "OLD", "RENUMBER",
    "SAVE", "EDIT", "PTR", "PAGE", "TIME", "LOMEM", "HIMEM", "SOUND", "BPUT", "CALL", "CHAIN", "CLEAR",
    "CLOSE", "CLG", "CLS", "DATA", "DEF", "DIM", "DRAW", "END", "ENDPROC", "ENVELOPE", "FOR", "GOSUB",
    "GOTO", "GCOL", "IF", "INPUT", "LET", "LOCAL", "MODE", "MOVE", "NEXT", "ON", "VDU", "PLOT", "PRINT",
    "PROC", "READ", "REM", "REPEAT", "REPORT", "RESTORE", "RETURN", "RUN", "STOP", "COLOUR", "TRACE",
    "UNTIL", "WIDTH", "OSCLI"};
static_assert(std::size(kBbc) == 0x80);
constexpr uint8_t kBbcLine = 0x8D, kBbcRem = 0xF4, kBbcData = 0xDC;

// Commodore BASIC V2's keywords from 0x80.
constexpr const char *kCommodore[] = {
    "END", "FOR", "NEXT", "DATA", "INPUT#", "INPUT", "DIM", "READ", "LET", "GOTO", "RUN", "IF", "RESTORE",
    "GOSUB", "RETURN", "REM", "STOP", "ON", "WAIT", "LOAD", "SAVE", "VERIFY", "DEF", "POKE", "PRINT#",
    "PRINT", "CONT", "LIST", "CLR", "CMD", "SYS", "OPEN", "CLOSE", "GET", "NEW", "TAB(", "TO", "FN", "SPC(",
    "THEN", "NOT", "STEP", "+", "-", "*", "/", "^", "AND", "OR", ">", "=", "<", "SGN", "INT", "ABS", "USR",
    "FRE", "POS", "SQR", "RND", "LOG", "EXP", "COS", "SIN", "TAN", "ATN", "PEEK", "LEN", "STR$", "VAL",
    "ASC", "CHR$", "LEFT$", "RIGHT$", "MID$", "GO"};
static_assert(std::size(kCommodore) == 0xCC - 0x80);

// The names of PETSCII's control and colour codes, as the field's tools
// write them.
const char *petscii_control(uint8_t c) {
  switch (c) {
    case 0x05: return "WHT";
    case 0x08: return "DISH";
    case 0x09: return "ENSH";
    case 0x0D: return "RETURN";
    case 0x0E: return "SWLC";
    case 0x11: return "DOWN";
    case 0x12: return "RVS ON";
    case 0x13: return "HOME";
    case 0x14: return "DEL";
    case 0x1C: return "RED";
    case 0x1D: return "RGHT";
    case 0x1E: return "GRN";
    case 0x1F: return "BLU";
    case 0x81: return "ORNG";
    case 0x85: return "F1";
    case 0x86: return "F3";
    case 0x87: return "F5";
    case 0x88: return "F7";
    case 0x89: return "F2";
    case 0x8A: return "F4";
    case 0x8B: return "F6";
    case 0x8C: return "F8";
    case 0x8D: return "SHIFT RETURN";
    case 0x8E: return "SWUC";
    case 0x90: return "BLK";
    case 0x91: return "UP";
    case 0x92: return "RVS OFF";
    case 0x93: return "CLR";
    case 0x94: return "INST";
    case 0x95: return "BRN";
    case 0x96: return "LRED";
    case 0x97: return "GRY1";
    case 0x98: return "GRY2";
    case 0x99: return "LGRN";
    case 0x9A: return "LBLU";
    case 0x9B: return "GRY3";
    case 0x9C: return "PUR";
    case 0x9D: return "LEFT";
    case 0x9E: return "YEL";
    case 0x9F: return "CYN";
    case 0xFF: return "PI";
    default: return nullptr;
  }
}

std::string hex(uint8_t c) { return strprintf("{$%02X}", c); }
// Printable ASCII as it is, anything else in braces.
std::string plain(uint8_t c) { return c >= 0x20 && c <= 0x7E ? std::string(1, char(c)) : hex(c); }

// An MSX number of `n` BCD bytes after an exponent byte (excess 64, sign in
// bit 7), as LIST writes it.
std::string msx_float(const uint8_t *b, size_t n, const char *suffix) {
  std::string digits;
  for (size_t i = 0; i < n; i++) digits += char('0' + (b[1 + i] >> 4)), digits += char('0' + (b[1 + i] & 15));
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  const int e = (b[0] & 0x7F) - 64;  // value = 0.digits x 10^e
  std::string s = b[0] & 0x80 ? "-" : "";
  if (digits.empty()) return "0";
  const int len = int(digits.size());
  if (e > 0 && e <= 14) {
    if (e >= len) s.append(digits).append(size_t(e - len), '0').append(suffix);
    else s.append(digits, 0, size_t(e)).append(1, '.').append(digits, size_t(e));
  } else if (e <= 0 && e > -14) {
    s.append(1, '.').append(size_t(-e), '0').append(digits);
  } else {
    s.append(digits, 0, 1);
    if (len > 1) s.append(1, '.').append(digits, 1);
    s.append(strprintf("E%+03d", e - 1));
  }
  return s;
}

}  // namespace

Listing ListMsx(const std::vector<uint8_t> &p) {
  Listing out;
  constexpr unsigned kBase = 0x8001;  // where the program lies in memory
  const format::Reader r(p.data(), p.size());
  size_t at = 0;
  while (at + 2 <= p.size()) {
    const unsigned link = r.u16(at);
    if (link == 0) return out;
    if (at + 4 > p.size()) break;
    std::string l = strprintf("%u ", r.u16(at + 2));
    size_t i = at + 4;
    bool quoted = false, rest = false, data = false;  // rest: a REM's text
    for (; i < p.size() && p[i] != 0; i++) {
      const uint8_t c = p[i];
      if (rest || quoted || (data && c != ':')) {
        if (c == '"' && !rest) quoted = !quoted;
        l += plain(c);
        continue;
      }
      if (c == '"') {
        quoted = true;
        l += '"';
      } else if (c == ':' && i + 1 < p.size() && p[i + 1] == kMsxElse) {
        // ELSE and ' are stored after a colon that LIST does not show.
      } else if (c == ':' && i + 2 < p.size() && p[i + 1] == kMsxRem && p[i + 2] == kMsxQuote) {
        l += "'";
        rest = true;
        i += 2;
      } else if (c == 0xFF && i + 1 < p.size()) {
        const uint8_t f = p[++i];
        l += f >= 0x81 && f - 0x81u < std::size(kMsxFunctions) ? kMsxFunctions[f - 0x81] : hex(f);
      } else if (c >= 0x81 && c < 0xFD) {
        l += kMsx[c - 0x81];
        rest = c == kMsxRem || c == kMsxQuote;
        data = c == kMsxData;
      } else if (c >= 0x11 && c <= 0x1A) {
        l += char('0' + c - 0x11);
      } else if (c == 0x0F && i + 1 < p.size()) {
        l += strprintf("%u", p[++i]);
      } else if ((c == 0x0B || c == 0x0C || c == 0x0D || c == 0x0E || c == 0x1C) && i + 2 < p.size()) {
        const unsigned v = r.u16(i + 1);
        l += c == 0x0B ? strprintf("&O%o", v) : c == 0x0C ? strprintf("&H%X", v) : c == 0x1C ? strprintf("%d", int16_t(v)) : strprintf("%u", v);
        i += 2;
      } else if ((c == 0x1D || c == 0x1F) && i + (c == 0x1D ? 4 : 8) < p.size()) {
        l += msx_float(&p[i + 1], c == 0x1D ? 3 : 7, c == 0x1D ? "!" : "#");
        i += c == 0x1D ? 4 : 8;
      } else {
        if (c == ':') data = false;
        l += plain(c);
      }
    }
    out.lines.push_back(l);
    if (i >= p.size()) {
      out.problems.push_back("its last line has no end");
      return out;
    }
    // The next line is where the link points; a link that leads back or out
    // ends the listing.
    if (link < kBase || link - kBase <= at || link - kBase > p.size()) {
      out.problems.push_back(strprintf("the link of line %u leads outside the program", r.u16(at + 2)));
      return out;
    }
    at = link - kBase;
  }
  out.problems.push_back("the program ends without its end mark");
  return out;
}

Listing ListBbc(const std::vector<uint8_t> &p) {
  Listing out;
  size_t at = 0;
  while (at + 1 < p.size() && p[at] == 0x0D && p[at + 1] != 0xFF) {
    if (at + 3 >= p.size()) break;
    const unsigned number = p[at + 1] << 8 | p[at + 2], length = p[at + 3];
    size_t end = at + length;
    if (length < 4 || end > p.size()) {
      out.problems.push_back(strprintf("line %u says it is %u bytes long, past the program's end or too short", number, length));
      end = p.size();
    }
    std::string l = strprintf("%5u", number);
    bool quoted = false, rest = false;
    for (size_t i = at + 4; i < end; i++) {
      const uint8_t c = p[i];
      if (quoted || rest || c < 0x80) {
        if (c == '"' && !rest) quoted = !quoted;
        l += plain(c);
      } else if (c == kBbcLine && i + 3 < end) {
        const unsigned b1 = p[i + 1], lo = ((b1 << 2) & 0xC0) ^ p[i + 2], hi = ((b1 << 4) & 0xC0) ^ p[i + 3];
        l += strprintf("%u", hi << 8 | lo);
        i += 3;
      } else {
        l += kBbc[c - 0x80];
        rest = c == kBbcRem || c == kBbcData;
      }
    }
    out.lines.push_back(l);
    if (length < 4) return out;
    at = end;
  }
  if (!(at + 1 < p.size() && p[at] == 0x0D && p[at + 1] == 0xFF))
    out.problems.push_back("the program ends without its end mark");
  return out;
}

Listing ListCommodore(const std::vector<uint8_t> &p, unsigned start) {
  Listing out;
  const format::Reader r(p.data(), p.size());
  size_t at = 0;
  for (;;) {
    if (at + 2 > p.size()) {
      out.problems.push_back("the program ends without its end mark");
      return out;
    }
    const unsigned link = r.u16(at);
    if (link == 0) return out;
    std::string l = strprintf("%u ", r.u16(at + 2));
    bool quoted = false;
    size_t i = at + 4;
    for (; i < p.size() && p[i] != 0; i++) {
      const uint8_t c = p[i];
      if (!quoted && c >= 0x80 && c < 0xCC) {
        l += kCommodore[c - 0x80];
        continue;
      }
      if (c == '"') quoted = !quoted;
      if (const char *name = petscii_control(c)) l += strprintf("{%s}", name);
      else if (c >= 0x20 && c <= 0x5D) l += char(c);
      else l += hex(c);
    }
    out.lines.push_back(l);
    if (i >= p.size()) {
      out.problems.push_back("its last line has no end");
      return out;
    }
    if (link < start || link - start <= at || link - start > p.size()) {
      out.problems.push_back(strprintf("the link of line %u leads outside the program", r.u16(at + 2)));
      return out;
    }
    at = link - start;
  }
}

Listing ListBasic(const TapeFile &f, bool k128) {
  const std::vector<uint8_t> &b = f.bytes;
  switch (f.basic) {
    case Dialect::spectrum: return ListSpectrum(std::vector<uint8_t>(b.begin(), b.begin() + long(f.program_length)), k128);
    case Dialect::zx81: return ListZx81(b);
    case Dialect::zx80: return ListZx80(b);
    case Dialect::msx: return ListMsx(std::vector<uint8_t>(b.begin() + (b.empty() ? 0 : 1), b.end()));
    case Dialect::msx_ascii: {
      Listing out;
      std::string l;
      for (uint8_t c : b) {
        if (c == '\n') out.lines.push_back(l), l.clear();
        else if (c != '\r') l += plain(c);
      }
      if (!l.empty()) out.lines.push_back(l);
      return out;
    }
    case Dialect::bbc: return ListBbc(b);
    case Dialect::commodore: return ListCommodore(std::vector<uint8_t>(b.begin() + std::min<long>(2, long(b.size())), b.end()), f.load);
    case Dialect::none: break;
  }
  return {};
}

}  // namespace contents
