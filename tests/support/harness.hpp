// Runs the program: as a child process, as a user would (arguments, keys on
// standard input, its output and status, a time limit so that a hang fails
// the test), or in this process with a console of strings.
#pragma once

#include <signal.h>
#ifdef __linux__
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver/run.hpp"

namespace harness {

// The status of a child that could not give up root's rights.
constexpr int kCannotDrop = 125;

struct Result {
  int status = -1;  // exit status; -1 when ended by a signal or the time limit
  std::string out, err;
};

struct Options {  // (every field has an initializer, for designated initializers)
  std::string input = "";             // bytes on standard input, then its end
  std::string cwd = "";               // working directory, if not this one
  std::vector<std::string> env = {};  // NAME=value
  double seconds = 30;
  long file_size_limit = 0;  // largest file the program may write (writes past it fail)
  std::string program = REELWRIGHT_BIN;
  bool no_override = false;  // run without root's right to read any file
};

inline std::string read_file(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// A fresh directory, removed with all it holds at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::string t = (std::filesystem::temp_directory_path() / "reelwright-test-XXXXXX").string();
    if (!mkdtemp(t.data())) std::abort();
    path_ = t;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  std::string file(const std::string &name) const { return path_ + "/" + name; }
  const std::string &path() const { return path_; }

 private:
  std::string path_;
};

inline Result run(const std::vector<std::string> &args, const Options &opt = {}) {
  const TempDir dir;
  const std::string in = dir.file("in"), out = dir.file("out"), err = dir.file("err");
  std::ofstream(in, std::ios::binary) << opt.input;
  pid_t pid = fork();
  if (pid == 0) {
    alarm(static_cast<unsigned>(opt.seconds));  // a hang ends as SIGALRM
    if (!freopen(in.c_str(), "r", stdin) || !freopen(out.c_str(), "w", stdout) || !freopen(err.c_str(), "w", stderr))
      _exit(127);
    if (!opt.cwd.empty() && chdir(opt.cwd.c_str()) != 0) _exit(127);
    for (const auto &e : opt.env) putenv(const_cast<char *>(e.c_str()));
    if (opt.file_size_limit > 0) {  // writes past it then fail as on a full disk
      rlimit lim{static_cast<rlim_t>(opt.file_size_limit), static_cast<rlim_t>(opt.file_size_limit)};
      setrlimit(RLIMIT_FSIZE, &lim);
      signal(SIGXFSZ, SIG_IGN);
    }
    // Root stays root (so that the program is found wherever the build is)
    // but loses the rights that pass over a file's permissions.
#ifdef __linux__
    if (opt.no_override && geteuid() == 0) {  // from the bounding and the inheritable sets
      __user_cap_header_struct h{_LINUX_CAPABILITY_VERSION_3, 0};
      __user_cap_data_struct d[2] = {};
      const unsigned rights = 1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH;
      if (syscall(SYS_capget, &h, d) != 0 || (d[0].inheritable &= ~rights, syscall(SYS_capset, &h, d)) != 0 ||
          prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE) != 0 || prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH) != 0)
        _exit(kCannotDrop);
    }
#else
    if (opt.no_override && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(kCannotDrop);
#endif
    std::vector<std::string> copy = args;
    copy.insert(copy.begin(), opt.program);
    std::vector<char *> argv;
    for (auto &a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(opt.program.c_str(), argv.data());
    _exit(127);
  }
  int st = 0;
  waitpid(pid, &st, 0);
  return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, read_file(out), read_file(err)};
}

// A whole run in this process: the console reads `keys` and writes a string.
inline Result run_here(std::vector<std::string> args, const std::string &keys = "",
                       const driver::Limits &limits = {}) {
  char *text = nullptr;
  size_t size = 0;
  FILE *out = open_memstream(&text, &size);
  std::string k = keys.empty() ? std::string(1, '\0') : keys;  // fmemopen wants a buffer
  FILE *in = fmemopen(k.data(), k.size(), "r");
  if (keys.empty()) std::fgetc(in);
  driver::Console console(out, in);
  args.insert(args.begin(), "reelwright");
  std::vector<char *> argv;
  for (auto &a : args) argv.push_back(a.data());
  Result r;
  r.status = driver::RunReelwright(static_cast<int>(argv.size()), argv.data(), console, limits);
  std::fclose(out);
  std::fclose(in);
  r.out.assign(text, size);
  std::free(text);
  return r;
}

inline bool exists(const std::string &path) { return std::filesystem::exists(path); }

inline const std::string kBanner =
    "\nSpoolkit - reelwright , TZX to VOC Converter and TZX Info v0.12b for Mac OS X\n";

}  // namespace harness
