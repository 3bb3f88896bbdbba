// scripts/install-deps on each system it knows, run against stand-ins for the
// package managers (small scripts that answer "is it installed?" from a list
// and write down any install they are asked for), with no other command on
// the PATH: only the apt path can run for real on this machine.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

#include "support/harness.hpp"

namespace {

const std::string kScript = std::string(REELWRIGHT_SOURCE_DIR) + "/scripts/install-deps";

// Each system's packages, in the order the script names them.
const std::map<std::string, std::string> kPackages = {
    {"apt",
     "cmake g++ make pkg-config libgtest-dev googletest libsdl2-dev zlib1g-dev clang libclang-rt-14-dev "
     "libc++-14-dev libc++abi-14-dev man-db groff-base g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64"},
    {"dnf",
     "cmake gcc-c++ make pkgconf-pkg-config gtest-devel SDL2-devel zlib-devel clang compiler-rt libcxx-devel "
     "libcxxabi-devel man-db groff-base mingw64-gcc-c++ mingw64-zlib-static mingw64-winpthreads-static wine"},
    {"pacman", "cmake gcc make pkgconf gtest sdl2 zlib clang compiler-rt libc++ man-db groff mingw-w64-gcc wine"},
    {"brew", "cmake pkg-config googletest sdl2 llvm mingw-w64"},
};

// " a b c ": a list as the stand-ins look names up in it.
std::string spaced(const std::string &names) { return std::string(" ").append(names).append(" "); }

void script(const std::string &path, const std::string &body) {
  std::ofstream(path) << "#!/bin/sh\n" << body;
  chmod(path.c_str(), 0755);
}

// A folder of stand-ins for one system, where `installed` (" a b ") are the
// packages there and `uid` is the user; what they are asked to install is
// written to the file "log".
void stand_ins(const harness::TempDir &d, const std::string &system, const std::string &installed, int uid) {
  const std::string has = "case \"" + installed + "\" in *\" $NAME \"*) ";
  const std::string log = "echo \"$0 $*\" >> " + d.file("log") + "\n";
  script(d.file("id"), "echo " + std::to_string(uid) + "\n");
  if (system == "apt") {
    script(d.file("dpkg-query"), "NAME=$3; " + has + "echo 'install ok installed';; esac\n");
    script(d.file("apt-get"), log);
  } else if (system == "dnf") {
    script(d.file("rpm"), "NAME=$2; " + has + "exit 0;; esac; exit 1\n");
    script(d.file("dnf"), log);
  } else if (system == "pacman") {
    script(d.file("pacman"), "if [ \"$1\" = -Q ]; then NAME=$2; " + has + "exit 0;; esac; exit 1; fi\n" + log);
  } else {
    script(d.file("brew"), "NAME=$3; " + has + "exit 0;; esac; exit 1\n");
  }
}

TEST(InstallDeps, DryRunGivesEachSystemsCommand) {
  const std::map<std::string, std::string> command = {
      {"apt", "sudo apt-get install -y "}, {"dnf", "sudo dnf install -y "},
      {"pacman", "sudo pacman -S --needed --noconfirm "}, {"brew", "brew install "}};
  std::string all;
  for (const char *s : {"apt", "dnf", "pacman", "brew"}) {
    const harness::Result r = harness::run({std::string("--dry-run=") + s}, {.program = kScript});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, command.at(s) + kPackages.at(s) + "\n");
    all += std::string(s) + ": " + r.out;
  }
  EXPECT_EQ(harness::run({"--dry-run"}, {.program = kScript}).out, all);
  EXPECT_EQ(harness::run({"--dry-run=yum"}, {.program = kScript}).status, 2);
}

TEST(InstallDeps, EachSystemInstallsOnlyWhatIsMissingOrSaysHow) {
  const struct {
    std::string system, installed;
    int uid, status;
    std::string out, log;
  } rows[] = {
      // Everything there: nothing to do.
      {"apt", spaced(kPackages.at("apt")), 1000, 0, "", ""},
      {"brew", spaced(kPackages.at("brew")), 501, 0, "", ""},
      // Not root: the command to run.
      {"apt", " cmake g++ make pkg-config ", 1000, 1, "", ""},
      {"dnf", " cmake wine ", 1000, 1,
       "Missing packages: gcc-c++ make pkgconf-pkg-config gtest-devel SDL2-devel zlib-devel clang compiler-rt "
       "libcxx-devel libcxxabi-devel man-db groff-base mingw64-gcc-c++ mingw64-zlib-static "
       "mingw64-winpthreads-static\nRun:  sudo dnf install -y gcc-c++ make pkgconf-pkg-config gtest-devel SDL2-devel "
       "zlib-devel clang compiler-rt libcxx-devel libcxxabi-devel man-db groff-base mingw64-gcc-c++ "
       "mingw64-zlib-static mingw64-winpthreads-static\n",
       ""},
      // Homebrew is never run as root: it always says how.
      {"brew", " cmake pkg-config googletest sdl2 ", 0, 1,
       "Missing packages: llvm mingw-w64\nRun:  brew install llvm mingw-w64\n", ""},
      // Root: installs; the Windows tools without what they merely recommend.
      {"apt", spaced(kPackages.at("apt").substr(0, kPackages.at("apt").find(" clang ")) + " libc++-14-dev"), 0, 0,
       "Installing: clang libclang-rt-14-dev libc++abi-14-dev man-db groff-base g++-mingw-w64-x86-64-posix "
       "libz-mingw-w64-dev wine64\n",
       "apt-get update -q\napt-get install -y -q clang libclang-rt-14-dev libc++abi-14-dev man-db groff-base\n"
       "apt-get install -y -q --no-install-recommends g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64\n"},
      {"pacman", " cmake gcc make pkgconf gtest sdl2 zlib clang compiler-rt libc++ man-db groff ", 0, 0,
       "Installing: mingw-w64-gcc wine\n", "pacman -S --needed --noconfirm mingw-w64-gcc wine\n"},
      {"dnf", spaced(kPackages.at("dnf").substr(0, kPackages.at("dnf").rfind(' '))), 0, 0, "Installing: wine\n",
       "dnf install -y wine\n"},
  };
  for (const auto &r : rows) {
    SCOPED_TRACE(r.system + " as " + std::to_string(r.uid) + " with" + r.installed);
    harness::TempDir bin;
    stand_ins(bin, r.system, r.installed, r.uid);
    const harness::Result got = harness::run({}, {.env = {"PATH=" + bin.path()}, .program = kScript});
    EXPECT_EQ(got.status, r.status) << got.out << got.err;
    if (r.status == 1 && r.out.empty())  // the apt row: the missing ones, in order
      EXPECT_TRUE(got.out.starts_with("Missing packages: libgtest-dev googletest libsdl2-dev ")) << got.out;
    else
      EXPECT_EQ(got.out, r.out);
    std::string log = harness::read_file(bin.file("log"));
    for (size_t at; (at = log.find(bin.path() + "/")) != std::string::npos;) log.erase(at, bin.path().size() + 1);
    EXPECT_EQ(log, r.log);
  }
  // No package manager at all: says so.
  harness::TempDir empty;
  const harness::Result none = harness::run({}, {.env = {"PATH=" + empty.path()}, .program = kScript});
  EXPECT_EQ(none.status, 1);
  EXPECT_TRUE(none.err.starts_with("No package manager known here")) << none.err;
}

}  // namespace
