// Runs the program at a pseudo-terminal, as a person's shell runs it: in a
// process group of its own in the terminal's foreground (so that Ctrl-Z stops
// it), with keys typed at chosen moments, signals sent, the screen read and
// the terminal's settings looked at before, during and after.
#pragma once

#include <fcntl.h>
#include <poll.h>
#if __has_include(<pty.h>)
#include <pty.h>  // openpty: glibc
#else
#include <util.h>  // the BSDs and macOS
#endif
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace terminal_run {

// Whether two terminal settings are the same in every field a program sets.
inline bool same(const termios &a, const termios &b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
         std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

class AtTerminal {
 public:
  // `err`: a file for standard error instead of the terminal; `program`: the
  // program to run, if not this build's.
  AtTerminal(std::vector<std::string> args, std::vector<std::string> env, std::string err = "",
             std::string program = REELWRIGHT_BIN) {
    winsize size{24, 80, 0, 0};
    if (openpty(&master_, &slave_, nullptr, nullptr, &size) != 0) std::abort();
    tcgetattr(slave_, &before);
    int report[2], command[2];
    if (pipe(report) != 0 || pipe(command) != 0) std::abort();
    args.insert(args.begin(), program);
    shell_ = fork();
    if (shell_ == 0) {
      close(master_), close(report[0]), close(command[1]);
      shell(args, env, err, report[1], command[0]);
    }
    close(report[1]), close(command[0]);
    report_ = report[0], command_ = command[1];
    if (read(report_, &program_, sizeof program_) != sizeof program_) program_ = -1;
  }
  ~AtTerminal() {
    if (program_ > 0) kill(program_, SIGKILL);
    if (shell_ > 0) kill(shell_, SIGKILL), waitpid(shell_, nullptr, 0);
    if (master_ >= 0) close(master_);
    close(slave_), close(report_), close(command_);
  }
  AtTerminal(const AtTerminal &) = delete;
  AtTerminal &operator=(const AtTerminal &) = delete;

  // Reads the screen until `text` shows after what was seen so far (from
  // `from`; in the screen's text alone when `plain`), for at most `seconds`.
  bool wait_for(const std::string &text, double seconds = 10, size_t from = 0, bool plain = false) {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    while ((plain ? this->text() : screen).find(text, from) == std::string::npos) {
      if (Clock::now() > until) return false;
      read_screen(20);
    }
    return true;
  }
  void pause_for(double seconds) {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < until) read_screen(10);
  }
  void type(const std::string &keys) { (void)!write(master_, keys.data(), keys.size()); }
  void signal(int sig) { kill(program_, sig); }
  // The terminal goes away.
  void hang_up() { close(master_), master_ = -1; }
  void resize(unsigned short columns) {
    winsize size{24, columns, 0, 0};
    ioctl(master_, TIOCSWINSZ, &size);
  }
  termios settings() const {
    termios t{};
    tcgetattr(slave_, &t);
    return t;
  }
  // Waits until the program has stopped (Ctrl-Z); then it goes on in the
  // foreground again, as after "fg".
  bool stopped(double seconds = 10) { return message(seconds) == 'S'; }
  void go_on() { (void)!write(command_, "C", 1); }
  // Waits for the program's end: its exit status, or minus the signal that
  // ended it, or -1000 when it has not ended in time.
  int end(double seconds = 30) {
    const int m = message(seconds);
    if (m != 'E') return -1000;
    int st = 0;
    if (read(report_, &st, sizeof st) != sizeof st) return -1000;
    program_ = -1;
    while (read_screen(50)) {
    }
    return WIFEXITED(st) ? WEXITSTATUS(st) : -WTERMSIG(st);
  }

  // The screen without its control sequences; a move n columns right is n
  // blanks (as Wine's console draws).
  std::string text() const {
    std::string s;
    for (size_t i = 0, end; i < screen.size(); i++) {
      if (screen.compare(i, 2, "\x1b[") != 0) {
        s += screen[i];
        continue;
      }
      for (end = i + 2; end < screen.size() && (screen[end] < 0x40 || screen[end] > 0x7E);) end++;
      if (end < screen.size() && screen[end] == 'C') s.append(std::max(1, std::atoi(screen.c_str() + i + 2)), ' ');
      i = end;
    }
    return s;
  }

  termios before{};
  std::string screen;

 private:
  using Clock = std::chrono::steady_clock;

  // Reads what the program wrote within ms milliseconds; false for nothing.
  bool read_screen(int ms) {
    if (master_ < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      return false;
    }
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0) return false;
    char buf[4096];
    const ssize_t n = read(master_, buf, sizeof buf);
    if (n > 0) screen.append(buf, static_cast<size_t>(n));
    return n > 0;
  }

  // The next word of the shell, within `seconds`.
  int message(double seconds) {
    const auto until = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
      pollfd p{report_, POLLIN, 0};
      if (poll(&p, 1, 10) > 0) {
        char c = 0;
        return read(report_, &c, 1) == 1 ? c : -1;
      }
      read_screen(0);
      if (Clock::now() > until) return -1;
    }
  }

  // The shell: it leads the terminal's session, runs the program in the
  // foreground, takes the terminal back while the program is stopped, and
  // passes a hang-up on to it.
  [[noreturn]] void shell(const std::vector<std::string> &args, const std::vector<std::string> &env,
                          const std::string &err, int report, int command) {
    setsid();
    ioctl(slave_, TIOCSCTTY, 0);
    ::signal(SIGTTOU, SIG_IGN);
    const pid_t p = fork();
    if (p == 0) {
      setpgid(0, 0);
      tcsetpgrp(slave_, getpid());
      ::signal(SIGTTOU, SIG_DFL);
      dup2(slave_, 0), dup2(slave_, 1), dup2(slave_, 2);
      if (!err.empty()) {
        const int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 2);
      }
      for (const std::string &e : env) putenv(strdup(e.c_str()));
      std::vector<char *> argv;
      for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    setpgid(p, p);
    tcsetpgrp(slave_, p);
    static pid_t job;
    job = p;
    ::signal(SIGHUP, [](int) { kill(-job, SIGHUP); });
    (void)!write(report, &p, sizeof p);
    for (;;) {
      int st = 0;
      if (waitpid(p, &st, WUNTRACED) < 0) {
        if (errno == EINTR) continue;
        _exit(1);
      }
      if (WIFSTOPPED(st)) {
        tcsetpgrp(slave_, getpgrp());
        (void)!write(report, "S", 1);
        char c = 0;
        if (read(command, &c, 1) != 1) _exit(1);
        tcsetpgrp(slave_, p);
        kill(-p, SIGCONT);
        continue;
      }
      (void)!write(report, "E", 1);
      (void)!write(report, &st, sizeof st);
      _exit(0);
    }
  }

  int master_ = -1, slave_ = -1, report_ = -1, command_ = -1;
  pid_t shell_ = -1, program_ = -1;
};

}  // namespace terminal_run
