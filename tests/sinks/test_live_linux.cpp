// Live output without SDL2, whose files a mount namespace hides: Linux only
// (the tests' *_linux.cpp files are built on Linux alone).
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <filesystem>

#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace {

// A mount namespace of this process's own: as root, or as anyone inside a
// user namespace of their own where the system allows one.
bool own_mounts() {
  if (unshare(CLONE_NEWNS) == 0) return true;
  const std::string uid = std::to_string(getuid()), gid = std::to_string(getgid());
  if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
  std::ofstream("/proc/self/setgroups") << "deny";
  std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
  std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
  return getuid() == 0;
}

TEST(Live, WithoutSdlTheProgramListsAndConvertsAndSaysLivePlayCannotBe) {
  // SDL2's files are hidden behind empty ones in a mount namespace of the child.
  harness::TempDir dir;
  tzx::Tzx().tone(2168, 10).save(dir.file("t.tzx"));
  const std::string results = dir.file("results");
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (!own_mounts() || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(77);
    for (const auto &e : std::filesystem::directory_iterator(REELWRIGHT_SDL_LIBDIR))
      if (e.path().filename().string().starts_with("libSDL2") &&
          mount("/dev/null", e.path().c_str(), nullptr, MS_BIND, nullptr) != 0)
        _exit(77);
    std::ofstream out(results);
    for (auto args : {std::vector<std::string>{"-one", dir.file("t.tzx")}, {"-au", dir.file("t.tzx"), dir.file("t.au")},
                      {dir.file("t.tzx")}}) {
      harness::Result r = harness::run(args);
      out << r.status << "|" << r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1) << r.err << "#";
    }
    out.close();
    _exit(0);
  }
  int st = 0;
  waitpid(pid, &st, 0);
  if (WIFEXITED(st) && WEXITSTATUS(st) == 77) GTEST_SKIP() << "no right to a mount namespace here (neither root nor a user namespace)";
  const std::string got = harness::read_file(results);
  EXPECT_NE(got.find("0|  1-    A:    Pure Tone             Length:    10\n#0|"), std::string::npos) << got;
  EXPECT_TRUE(harness::exists(dir.file("t.au")));
  EXPECT_NE(got.find("1|-- Error: No sound output could be opened! Use -voc or -au to write a sound file instead.\n"
                     "get kAudioHardwarePropertyDefaultOutputDevice error -1\nSDL2 cannot be loaded: "),
            std::string::npos)
      << got;
}

}  // namespace
