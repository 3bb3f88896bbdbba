#include "format/failure.hpp"

#include <cstdio>

namespace format {

std::string vstrprintf(const char *fmt, va_list ap) {
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

std::string strprintf(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = vstrprintf(fmt, ap);
  va_end(ap);
  return s;
}

}  // namespace format
