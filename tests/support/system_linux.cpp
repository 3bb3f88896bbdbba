// Linux: /dev/full, mount namespaces, and files in memory (memfd).
#include <sched.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>

#include "support/system.hpp"

namespace testsys {

std::string FullDevice() { return "/dev/full"; }

bool HideFiles(const std::string &folder, const std::string &prefix) {
  if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
  for (const auto &e : std::filesystem::directory_iterator(folder))
    if (e.path().filename().string().starts_with(prefix) &&
        mount("/dev/null", e.path().c_str(), nullptr, MS_BIND, nullptr) != 0)
      return false;
  return true;
}

std::string ScratchFile(const uint8_t *bytes, size_t n) {
  static const int fd = memfd_create("tape", 0);
  if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, bytes, n, 0) != static_cast<ssize_t>(n)) return "";
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace testsys
