#include "contents/names.hpp"

#include <cctype>
#include <cstring>

namespace contents {

std::string SafeName(const std::string &name, const std::string &fallback) {
  std::string s;
  for (char ch : name) {
    const unsigned char c = static_cast<unsigned char>(ch);
    s += c < 0x20 || c == 0x7F || std::strchr("<>:\"/\\|?*", c) ? '_' : ch;
  }
  const size_t first = s.find_first_not_of(". "), last = s.find_last_not_of(". ");
  s = first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
  if (s.empty()) return fallback;
  // The part before the first dot, in any case, against the device names.
  std::string stem = s.substr(0, s.find('.'));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char &c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const bool numbered = stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1' && stem[3] <= '9';
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || numbered) s.insert(stem.size(), 1, '_');
  return s;
}

}  // namespace contents
