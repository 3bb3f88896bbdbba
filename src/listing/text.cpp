#include "listing/text.hpp"

#include <cstring>

#include "format/failure.hpp"

namespace listing {

std::string MultiLine(const std::string &s, int spaces, int &breaks) {
  std::string d;
  breaks = 0;
  for (char c : s) {
    if (c == '\0') break;
    d += c;
    if (c == '\r') {
      d += '\n';
      if (spaces > 0) d.append(static_cast<size_t>(spaces), ' ');
      breaks++;
    }
  }
  return d;
}

std::string MakeFixedString(const std::string &s, int i) {
  const size_t n = i > 0 ? static_cast<size_t>(i) : 0;
  const size_t text = std::strlen(s.c_str());  // up to the first NUL
  std::string out = s.substr(0, text < n ? text : n);
  out.resize(n, ' ');
  return out;
}

std::string CopyString(format::Bytes text) {
  if (text.empty()) return {};
  const void *nul = std::memchr(text.data(), 0, text.size());
  size_t n = nul ? static_cast<size_t>(static_cast<const uint8_t *>(nul) - text.data()) : text.size();
  return std::string(reinterpret_cast<const char *>(text.data()), n);
}

std::string GetCheckSum(format::Bytes data) {
  if (data.empty()) return "None (no data)";
  unsigned x = 0;
  for (size_t i = 0; i + 1 < data.size(); i++) x ^= data[i];
  if (x == data.back()) return "OK";
  return format::strprintf("Wrong, should be %3d ($%02X)", x, x);
}

std::string MoreInfo(const std::string &text) { return MakeFixedString(text, 52) + " (-info for more)\n"; }

}  // namespace listing
