// The terminal on POSIX systems: termios for keys one at a time, signals to
// put the terminal's settings back whatever ends or stops the program.
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "driver/terminal.hpp"

namespace driver::terminal {

namespace {

// What the signal handlers need, process-wide as signals are: the settings
// to put back, the program's own mode, and whether a status line stands on
// the screen.
struct termios saved_mode, key_mode;
volatile sig_atomic_t key_mode_on = 0;
volatile sig_atomic_t line_shown = 0;
volatile sig_atomic_t gently = 0, end_asked = 0;

bool in_foreground() { return tcgetpgrp(STDIN_FILENO) == getpgrp(); }

void clear_status_line() {
  if (!line_shown) return;
  static const char clear[] = "\r\033[K";
  (void)!write(STDERR_FILENO, clear, sizeof clear - 1);
}

void put_back() {
  if (key_mode_on) tcsetattr(STDIN_FILENO, TCSANOW, &saved_mode);
}

void take_mode_again() {
  if (key_mode_on && in_foreground()) tcsetattr(STDIN_FILENO, TCSANOW, &key_mode);
}

void handle(int sig, void (*handler)(int)) {
  struct sigaction a = {};
  a.sa_handler = handler;
  sigemptyset(&a.sa_mask);
  sigaction(sig, &a, nullptr);
}

// SIGINT, SIGTERM, SIGHUP, SIGQUIT: the terminal as it was, then the
// signal's own end.
void on_end(int sig) {
  const int e = errno;
  if (gently && !end_asked) {
    end_asked = 1;
    return;
  }
  clear_status_line();
  put_back();
  handle(sig, SIG_DFL);
  raise(sig);  // taken once this handler returns
  errno = e;
}

// Ctrl-Z: the terminal as it was while the program is stopped, its mode
// again when it goes on.
void on_stop(int) {
  const int e = errno;
  clear_status_line();
  put_back();
  handle(SIGTSTP, SIG_DFL);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGTSTP);
  pthread_sigmask(SIG_UNBLOCK, &stop, nullptr);
  raise(SIGTSTP);  // stopped here until SIGCONT
  handle(SIGTSTP, on_stop);
  take_mode_again();
  errno = e;
}

// Going on after any stop (also one the program could not see coming).
void on_continue(int) {
  const int e = errno;
  take_mode_again();
  errno = e;
}

constexpr int kEndSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// After ESC, how long the rest of a key's sequence (an arrow key's "[C") may
// take to come: longer means ESC alone is a key pressed by a person.
constexpr int kSequenceMs = 40;

class TerminalKeys final : public Keyboard {
 public:
  ~TerminalKeys() override {
    if (!key_mode_on) return;
    put_back();
    key_mode_on = 0;
    for (int sig : kEndSignals) handle(sig, SIG_DFL);
    handle(SIGTSTP, SIG_DFL);
    handle(SIGCONT, SIG_DFL);
  }

  Key wait() override {
    take_mode();
    for (;;) {
      if (gone_) return Key{Key::text, '\n'};
      if (std::optional<Key> k = next(-1)) return *k;
    }
  }

  std::optional<Key> poll(int ms) override {
    take_mode();
    if (gone_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(ms));
      return std::nullopt;
    }
    return next(ms);
  }

  bool interactive() const override { return true; }
  void start() override { take_mode(); }

 private:
  // The terminal's mode is taken when keys are first read, and the handlers
  // that put it back are set then.
  void take_mode() {
    if (key_mode_on || gone_) return;
    key_mode = saved_mode;
    key_mode.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    key_mode.c_cc[VMIN] = 1;
    key_mode.c_cc[VTIME] = 0;
    for (int sig : kEndSignals) handle(sig, on_end);
    handle(SIGTSTP, on_stop);
    handle(SIGCONT, on_continue);
    key_mode_on = 1;
    tcsetattr(STDIN_FILENO, TCSANOW, &key_mode);
  }

  // A byte within ms milliseconds (-1: forever); -1 for none.
  int byte(int ms) {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return -1;
    unsigned char c = 0;
    const ssize_t n = read(STDIN_FILENO, &c, 1);
    if (n == 1) return c;
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return -1;
    gone_ = true;  // the terminal has gone away
    return -1;
  }

  // The next key, decoded from the bytes of its sequence.
  std::optional<Key> next(int ms) {
    const int c = byte(ms);
    if (c < 0) return std::nullopt;
    if (c != ESC) return Key{Key::text, static_cast<char>(c)};
    const int intro = byte(kSequenceMs);
    if (intro < 0) return Key{Key::text, ESC};
    if (intro != '[' && intro != 'O') return Key{Key::other};
    int final = byte(kSequenceMs);
    while (final >= 0 && intro == '[' && (final < 0x40 || final > 0x7E)) final = byte(kSequenceMs);
    switch (final) {
      case 'A': return Key{Key::up};
      case 'B': return Key{Key::down};
      case 'C': return Key{Key::right};
      case 'D': return Key{Key::left};
      default: return Key{Key::other};
    }
  }

  bool gone_ = false;
};

}  // namespace

std::unique_ptr<Keyboard> OpenKeys() {
  if (!isatty(STDIN_FILENO) || !in_foreground() || tcgetattr(STDIN_FILENO, &saved_mode) != 0) return nullptr;
  return std::make_unique<TerminalKeys>();
}

bool ErrorIsTerminal() { return isatty(STDERR_FILENO); }

int ErrorWidth() {
  winsize w{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &w) == 0 && w.ws_col > 0) return w.ws_col;
  return 80;
}

// Erase to the end of the line.
std::string StatusLineBytes(const std::string &line, int) { return "\r" + line + "\033[K"; }

void EndGently(bool on) {
  gently = on;
  if (on)
    for (int sig : kEndSignals) handle(sig, on_end);
}

bool EndAsked() { return end_asked; }

void StatusLineShown(bool shown) {
  // A status line is cleared by a signal that ends the program, also when
  // no key is read one at a time.
  static bool handled = false;
  if (shown && !handled && !key_mode_on)
    for (int sig : kEndSignals) handle(sig, on_end);
  handled = handled || shown;
  line_shown = shown;
}

}  // namespace driver::terminal
