#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "scratch.hpp"

std::string ScratchFile(const uint8_t *bytes, size_t n) {
  static const std::string path = [] {
    std::string p = (std::filesystem::temp_directory_path() / "reelwright-fuzz-XXXXXX").string();
    const int fd = mkstemp(p.data());
    if (fd < 0) return std::string();
    close(fd);
    return p;
  }();
  FILE *f = path.empty() ? nullptr : std::fopen(path.c_str(), "wb");
  if (!f) return "";
  const bool ok = std::fwrite(bytes, 1, n, f) == n;
  return std::fclose(f) == 0 && ok ? path : "";
}
