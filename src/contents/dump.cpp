#include "contents/dump.hpp"

#include "format/failure.hpp"

namespace contents {

std::vector<std::string> HexDump(format::Bytes b, uint64_t origin) {
  std::vector<std::string> out;
  for (size_t at = 0; at < b.size(); at += 16) {
    std::string hex, text;
    for (size_t i = 0; i < 16; i++) {
      if (i == 8) hex += ' ';
      if (at + i < b.size()) {
        const uint8_t c = b[at + i];
        hex += format::strprintf(" %02X", c);
        text += c >= 0x20 && c <= 0x7E ? char(c) : '.';
      } else {
        hex += "   ";
      }
    }
    out.push_back(format::strprintf("%04llX %s  %s", static_cast<unsigned long long>(origin + at), hex.c_str(), text.c_str()));
  }
  return out;
}

}  // namespace contents
