#include "driver/console.hpp"

#include <cstdarg>
#include <vector>

namespace {

std::string vformat(const char *fmt, va_list ap) {
  va_list copy;
  va_copy(copy, ap);
  char small[512];
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string big(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(big.data(), big.size(), fmt, ap);
  big.resize(static_cast<size_t>(n));
  return big;
}

}  // namespace

void say(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vformat(fmt, ap);
  va_end(ap);
  say_text(s);
}

void say_text(std::string_view s) {
  if (!s.empty()) std::fwrite(s.data(), 1, s.size(), console.out);
}

std::string strprintf(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vformat(fmt, ap);
  va_end(ap);
  return s;
}

char read_key() {
  std::fflush(console.out);
  console.keys_read++;
  int c = std::fgetc(console.in);
  if (c == EOF) return '\n';
  return static_cast<char>(c);
}
