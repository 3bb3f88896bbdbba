// The terminal on Windows: the console. Keys are read as the console's input
// records, one at a time, without Enter and without echo. The input mode
// belongs to the console, which the program shares with the shell that
// started it: it is put back at the end of the run, after an error, and on
// Ctrl-C, Ctrl-Break and the console's closing (a handler puts it back, then
// the system's own handling ends the program as it would have).
//
// The status line is drawn with plain text alone: a carriage return, the line,
// and blanks over what a longer line left. Every console shows that as meant,
// also those that take no control sequences (before Windows 10, or with
// virtual terminal processing turned off), and the console's output mode is
// never changed.
#include <windows.h>

#include <deque>
#include <string>
#include <vector>

#include "driver/terminal.hpp"

namespace driver::terminal {

namespace {

// What the console handler needs, process-wide as the console is: the mode
// to put back, and whether a status line stands on the screen.
HANDLE key_input = INVALID_HANDLE_VALUE;
DWORD saved_input_mode = 0, key_input_mode = 0;
volatile LONG key_mode_on = 0, line_shown = 0, handler_set = 0, gently = 0, end_asked = 0;

int width_of(HANDLE console) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(console, &info)) {
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    if (width > 0) return width;
  }
  return 80;
}

std::string line_bytes(const std::string &line, int width) {
  const size_t room = width > 1 ? static_cast<size_t>(width - 1) : 0;
  return "\r" + line + std::string(line.size() < room ? room - line.size() : 0, ' ') + "\r";
}

void clear_status_line() {
  if (!line_shown) return;
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  const std::string clear = line_bytes("", width_of(error));
  DWORD n = 0;
  WriteFile(error, clear.data(), static_cast<DWORD>(clear.size()), &n, nullptr);
}

void put_back_input() {
  if (key_mode_on) SetConsoleMode(key_input, saved_input_mode);
}

// Ctrl-C, Ctrl-Break, the console closing: the console as it was, then the
// next handler, the system's, ends the program.
BOOL WINAPI on_end(DWORD) {
  if (gently && !InterlockedExchange(&end_asked, 1)) return TRUE;
  clear_status_line();
  put_back_input();
  return FALSE;
}

void set_handler() {
  if (!InterlockedExchange(&handler_set, 1)) SetConsoleCtrlHandler(on_end, TRUE);
}

// Keys without a character of their own that are no key to the program
// (a Shift pressed on its way to a capital letter, say).
bool only_modifies(WORD key) {
  switch (key) {
    case VK_SHIFT: case VK_CONTROL: case VK_MENU: case VK_LSHIFT: case VK_RSHIFT: case VK_LCONTROL:
    case VK_RCONTROL: case VK_LMENU: case VK_RMENU: case VK_CAPITAL: case VK_NUMLOCK: case VK_SCROLL:
    case VK_LWIN: case VK_RWIN:
      return true;
    default:
      return false;
  }
}

class ConsoleKeys final : public Keyboard {
 public:
  ~ConsoleKeys() override {
    put_back_input();
    key_mode_on = 0;
  }

  Key wait() override {
    take_mode();
    for (;;) {
      if (gone_) return Key{Key::text, '\n'};
      if (std::optional<Key> k = next(INFINITE)) return *k;
    }
  }

  std::optional<Key> poll(int ms) override {
    take_mode();
    if (gone_) {
      Sleep(static_cast<DWORD>(ms));
      return std::nullopt;
    }
    return next(static_cast<DWORD>(ms));
  }

  bool interactive() const override { return true; }
  void start() override { take_mode(); }

 private:
  // The console's mode is taken when keys are first read: no line editing,
  // no echo, and keys rather than the control sequences a terminal sends for
  // them. Ctrl-C stays what it was (with processed input, a signal).
  void take_mode() {
    if (key_mode_on || gone_) return;
    key_input_mode = saved_input_mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                                             ENABLE_VIRTUAL_TERMINAL_INPUT);
    set_handler();
    key_mode_on = 1;
    SetConsoleMode(key_input, key_input_mode);
  }

  // The next key within `ms` milliseconds (INFINITE: however long it takes).
  // Input records that are no key pressed (keys let go, the mouse, the
  // window's size, the focus) are passed over.
  std::optional<Key> next(DWORD ms) {
    const ULONGLONG until = GetTickCount64() + ms;
    while (pending_.empty()) {
      const ULONGLONG now = GetTickCount64();
      const DWORD left = ms == INFINITE ? INFINITE : now >= until ? 0 : static_cast<DWORD>(until - now);
      const DWORD woke = WaitForSingleObject(key_input, left);
      if (woke == WAIT_TIMEOUT) return std::nullopt;
      if (woke != WAIT_OBJECT_0) {
        gone_ = true;  // the console has gone away
        return std::nullopt;
      }
      INPUT_RECORD r;
      DWORD n = 0;
      if (!ReadConsoleInputW(key_input, &r, 1, &n)) {
        gone_ = true;
        return std::nullopt;
      }
      if (n == 1 && r.EventType == KEY_EVENT) take(r.Event.KeyEvent);
    }
    const Key k = pending_.front();
    pending_.pop_front();
    return k;
  }

  // The keys of an input record, as many as its repeat count says.
  void take(const KEY_EVENT_RECORD &e) {
    const wchar_t c = e.uChar.UnicodeChar;
    // A character typed with Alt and the number pad comes as Alt is let go.
    const bool typed_with_alt = !e.bKeyDown && e.wVirtualKeyCode == VK_MENU && c != 0;
    if (!e.bKeyDown && !typed_with_alt) return;
    std::vector<Key> keys;
    switch (e.wVirtualKeyCode) {
      case VK_LEFT: keys.push_back(Key{Key::left}); break;
      case VK_RIGHT: keys.push_back(Key{Key::right}); break;
      case VK_UP: keys.push_back(Key{Key::up}); break;
      case VK_DOWN: keys.push_back(Key{Key::down}); break;
      // ESC is a key of its own at once (some consoles give it no character).
      case VK_ESCAPE: keys.push_back(Key{Key::text, ESC}); break;
      default:
        if (c == 0) {
          if (!only_modifies(e.wVirtualKeyCode)) keys.push_back(Key{Key::other});
        } else {
          for (char b : utf8(c)) keys.push_back(Key{Key::text, b});
        }
    }
    for (WORD i = 0; i < (e.wRepeatCount > 0 ? e.wRepeatCount : 1); i++)
      pending_.insert(pending_.end(), keys.begin(), keys.end());
  }

  // A character's bytes in UTF-8 (none for the first half of a pair of
  // UTF-16 surrogates: its second half, in the next record, completes it).
  // Enter is a line end, as at a terminal.
  std::string utf8(wchar_t c) {
    if (c == L'\r') return "\n";
    wchar_t units[2] = {c, 0};
    int count = 1;
    if (c >= 0xD800 && c < 0xDC00) {
      high_ = c;
      return {};
    }
    if (c >= 0xDC00 && c < 0xE000) {
      if (high_ == 0) return {};
      units[0] = high_, units[1] = c, count = 2;
    }
    high_ = 0;
    char out[8];
    const int n = WideCharToMultiByte(CP_UTF8, 0, units, count, out, sizeof out, nullptr, nullptr);
    return std::string(out, static_cast<size_t>(n > 0 ? n : 0));
  }

  std::deque<Key> pending_;
  wchar_t high_ = 0;
  bool gone_ = false;
};

}  // namespace

std::unique_ptr<Keyboard> OpenKeys() {
  key_input = GetStdHandle(STD_INPUT_HANDLE);
  if (!GetConsoleMode(key_input, &saved_input_mode)) return nullptr;
  return std::make_unique<ConsoleKeys>();
}

bool ErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

int ErrorWidth() { return width_of(GetStdHandle(STD_ERROR_HANDLE)); }

std::string StatusLineBytes(const std::string &line, int width) { return line_bytes(line, width); }

void StatusLineShown(bool shown) {
  // A status line is cleared by Ctrl-C, also when no key is read one at a time.
  if (shown) set_handler();
  line_shown = shown;
}

void EndGently(bool on) {
  InterlockedExchange(&gently, on ? 1 : 0);
  if (on) set_handler();
}

bool EndAsked() { return end_asked != 0; }

}  // namespace driver::terminal
