// The console: all program text goes out here, every key comes in here, and
// it counts the lines of the screen page for "-p". A status line may stand
// below the text (on standard error, at a terminal): it is cleared before any
// text goes out.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "driver/keys.hpp"

namespace driver {

// What a key that is no character reads as where a character is waited for:
// neither ESC nor a digit.
constexpr char kOtherKey = '\x7F';

class Console {
 public:
  // Text to `out` (none when null), keys from `keys` (none when null: every
  // key reads as a line end).
  Console(FILE *out, Keyboard *keys) : out_(out), keys_(keys) {}
  // Keys from the characters of `in`.
  explicit Console(FILE *out = stdout, FILE *in = stdin)
      : out_(out), own_keys_(std::make_unique<StreamKeys>(in)), keys_(own_keys_.get()) {}

  // printf-style output.
  void say(const char *fmt, ...) __attribute__((format(printf, 2, 3)));
  // A finished text, unchanged (it may hold '%' or tape text).
  void text(std::string_view s);
  // "\n-- Warning: <text>\n", two lines of the page.
  void warning(const std::string &s);
  void flush() {
    if (out_) std::fflush(out_);
  }
  // Called before any text goes out.
  void before_text(std::function<void()> f) { before_text_ = std::move(f); }
  // Where a status line may go: a terminal, or none.
  void set_status_out(FILE *f) { status_out_ = f; }
  FILE *status_out() const { return status_out_; }

  // One character from the keys. The output is flushed first so that a
  // prompt is seen. End of input reads as a line end: never ESC, so a run
  // without keys goes on.
  char read_key();
  // Waits for a key; ESC ends the run.
  char key_wait();
  // A key typed within `ms` milliseconds, at a terminal.
  std::optional<Key> poll_key(int ms);
  // A person types the keys at a terminal, one at a time.
  bool interactive() const { return keys_ && keys_->interactive(); }
  // Keys will be looked at while the program works: none is echoed from now on.
  void start_keys() {
    if (keys_) keys_->start();
  }
  // Keys read so far.
  unsigned long keys_read() const { return keys_read_; }

  // Paging ("-p"): lines on the current page, starting at the banner's 3.
  void set_paging(bool on) { pages_ = on; }
  void count_lines(int n) {
    if (line_ < 1000000) line_ += n;
  }
  // A piece of the extensive listing: after `extra` more lines, one line for
  // the piece itself, with the page prompt when the page is full.
  void writeout(const std::string &s, int extra);
  // The page check before a block line of "-one".
  void one_line_page();

 private:
  void page_prompt(int limit, bool line_end_after);

  FILE *out_;
  std::unique_ptr<Keyboard> own_keys_;
  Keyboard *keys_;
  std::function<void()> before_text_;
  FILE *status_out_ = nullptr;
  bool pages_ = false;
  int line_ = 3;
  unsigned long keys_read_ = 0;
};

}  // namespace driver
