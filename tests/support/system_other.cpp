// Systems other than Linux (macOS, the BSDs): no device that is always full
// and no mount namespaces; a temporary file stands in for a file in memory.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "support/system.hpp"

namespace testsys {

std::string FullDevice() { return ""; }

bool HideFiles(const std::string &, const std::string &) { return false; }

std::string ScratchFile(const uint8_t *bytes, size_t n) {
  static const std::string path = [] {
    std::string p = (std::filesystem::temp_directory_path() / "reelwright-scratch-XXXXXX").string();
    const int fd = mkstemp(p.data());
    if (fd < 0) return std::string();
    close(fd);
    return p;
  }();
  if (path.empty()) return "";
  FILE *f = std::fopen(path.c_str(), "wb");
  const bool ok = f && std::fwrite(bytes, 1, n, f) == n;
  if (f && std::fclose(f) != 0) return "";
  return ok ? path : "";
}

}  // namespace testsys
