// The program without SDL2 or without libFLAC, whose files a mount
// namespace hides: Linux only (the tests' *_linux.cpp files are built on
// Linux alone).
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>

#include <filesystem>
#include <optional>

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

// The results of runs of the program in a child whose mount namespace hides
// the files of a library (those in `dir` whose names begin with `prefix`)
// behind empty ones: each run's status, last line of output and errors, each
// followed by '#'. Nothing when the system gives no mount namespace.
std::optional<std::string> without(const std::string &dir, const std::string &prefix,
                                   const std::vector<std::vector<std::string>> &runs, const harness::TempDir &tmp) {
  const std::string results = tmp.file("results");
  std::fflush(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    if (!own_mounts() || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) _exit(77);
    for (const auto &e : std::filesystem::directory_iterator(dir))
      if (e.path().filename().string().starts_with(prefix) && mount("/dev/null", e.path().c_str(), nullptr, MS_BIND, nullptr) != 0)
        _exit(77);
    std::ofstream out(results);
    for (const auto &args : runs) {
      harness::Result r = harness::run(args);
      out << r.status << "|" << r.out.substr(r.out.rfind('\n', r.out.size() - 2) + 1) << r.err << "#";
    }
    out.close();
    _exit(0);
  }
  int st = 0;
  waitpid(pid, &st, 0);
  if (WIFEXITED(st) && WEXITSTATUS(st) == 77) return std::nullopt;
  return harness::read_file(results);
}

TEST(Live, WithoutSdlTheProgramListsAndConvertsAndSaysLivePlayCannotBe) {
  harness::TempDir dir;
  tzx::Tzx().tone(2168, 10).save(dir.file("t.tzx"));
  const auto got = without(REELWRIGHT_SDL_LIBDIR, "libSDL2",
                           {{"-one", dir.file("t.tzx")}, {"-au", dir.file("t.tzx"), dir.file("t.au")}, {dir.file("t.tzx")}}, dir);
  if (!got) GTEST_SKIP() << "no right to a mount namespace here (neither root nor a user namespace)";
  EXPECT_NE(got->find("0|  1-    A:    Pure Tone             Length:    10\n#0|"), std::string::npos) << *got;
  EXPECT_TRUE(harness::exists(dir.file("t.au")));
  EXPECT_NE(got->find("1|-- Error: No sound output could be opened! Use -voc or -au to write a sound file instead.\n"
                      "get kAudioHardwarePropertyDefaultOutputDevice error -1\nSDL2 cannot be loaded: "),
            std::string::npos)
      << *got;
}

// libFLAC is loaded for a FLAC file alone: without it every other file is
// read as before, and a FLAC file is refused with a clear error.
TEST(Live, WithoutLibFlacOnlyAFlacFileIsRefused) {
#ifndef REELWRIGHT_FLAC_LIBDIR
  GTEST_SKIP() << "built without libFLAC";
#else
  harness::TempDir dir;
  tzx::Tzx().tone(2168, 10).save(dir.file("t.tzx"));
  std::ofstream(dir.file("t.flac")) << "fLaC";
  const auto got = without(REELWRIGHT_FLAC_LIBDIR, "libFLAC", {{"-one", dir.file("t.tzx")}, {"-one", dir.file("t.flac")}}, dir);
  if (!got) GTEST_SKIP() << "no right to a mount namespace here (neither root nor a user namespace)";
  EXPECT_EQ(*got, "0|  1-    A:    Pure Tone             Length:    10\n#1|-- Error: FLAC recordings need libFLAC, which "
                  "cannot be loaded here: install it, or decode the file to WAV first!\n#");
#endif
}

}  // namespace
