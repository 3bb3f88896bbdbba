// Runs the program: as a child process, as a user would (arguments, keys on
// standard input, captured output and status, a time limit so that a hang
// fails the test), or in this process with a console of strings.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "driver/run.hpp"

namespace harness {

struct Result {
  int status = -1;  // exit status; -1 when ended by a signal or the time limit
  std::string out, err;
};

struct Options {
  std::string input;             // bytes on standard input, then its end
  std::string cwd;               // working directory, if not this one
  std::vector<std::string> env;  // NAME=value
  double seconds = 30;
  long file_size_limit = 0;  // largest file the program may write (writes past it fail)
  std::string program = REELWRIGHT_BIN;
};

inline Result run(const std::vector<std::string> &args, const Options &opt = {}) {
  int in[2], out[2], err[2];
  if (pipe(in) || pipe(out) || pipe(err)) std::abort();
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0), dup2(out[1], 1), dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    if (!opt.cwd.empty() && chdir(opt.cwd.c_str()) != 0) _exit(127);
    for (const auto &e : opt.env) putenv(const_cast<char *>(e.c_str()));
    if (opt.file_size_limit > 0) {
      rlimit lim{static_cast<rlim_t>(opt.file_size_limit), static_cast<rlim_t>(opt.file_size_limit)};
      setrlimit(RLIMIT_FSIZE, &lim);
      signal(SIGXFSZ, SIG_IGN);
    }
    std::vector<std::string> copy = args;
    copy.insert(copy.begin(), opt.program);
    std::vector<char *> argv;
    for (auto &a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(opt.program.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]), close(out[1]), close(err[1]);
  signal(SIGPIPE, SIG_IGN);
  Result r;
  size_t fed = 0;
  int fdin = in[1];
  if (opt.input.empty()) close(fdin), fdin = -1;
  else fcntl(fdin, F_SETFL, O_NONBLOCK);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(opt.seconds);
  bool timed_out = false;
  for (bool out_open = true, err_open = true; out_open || err_open;) {
    std::vector<pollfd> fds;
    if (out_open) fds.push_back({out[0], POLLIN, 0});
    if (err_open) fds.push_back({err[0], POLLIN, 0});
    if (fdin >= 0) fds.push_back({fdin, POLLOUT, 0});
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      timed_out = true;
      break;
    }
    poll(fds.data(), fds.size(), 100);
    for (auto &p : fds) {
      if (!p.revents) continue;
      if (p.fd == fdin) {
        ssize_t n = write(fdin, opt.input.data() + fed, opt.input.size() - fed);
        if (n > 0) fed += static_cast<size_t>(n);
        if (n < 0 || fed == opt.input.size()) close(fdin), fdin = -1;
        continue;
      }
      char buf[65536];
      ssize_t n = read(p.fd, buf, sizeof buf);
      if (n > 0) (p.fd == out[0] ? r.out : r.err).append(buf, static_cast<size_t>(n));
      else (p.fd == out[0] ? out_open : err_open) = false;
    }
  }
  if (fdin >= 0) close(fdin);
  close(out[0]), close(err[0]);
  int st = 0;
  waitpid(pid, &st, 0);
  if (WIFEXITED(st) && !timed_out) r.status = WEXITSTATUS(st);
  return r;
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

inline std::string read_file(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline bool exists(const std::string &path) { return std::filesystem::exists(path); }

inline const std::string kBanner =
    "\nSpoolkit - reelwright , TZX to VOC Converter and TZX Info v0.12b for Mac OS X\n";

}  // namespace harness
