// The console: all program text goes out here, every key comes in here, and
// it counts the lines of the screen page for "-p".
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace driver {

constexpr char ESC = 27;

class Console {
 public:
  explicit Console(FILE *out = stdout, FILE *in = stdin) : out_(out), in_(in) {}

  // printf-style output.
  void say(const char *fmt, ...) __attribute__((format(printf, 2, 3)));
  // A finished text, unchanged (it may hold '%' or tape text).
  void text(std::string_view s);
  // "\n-- Warning: <text>\n", two lines of the page.
  void warning(const std::string &s);
  void flush() { std::fflush(out_); }

  // One character from the keys. The output is flushed first so that a
  // prompt is seen. End of input reads as a line end: never ESC, so a run
  // without keys goes on.
  char read_key();
  // Waits for a key; ESC ends the run.
  char key_wait();
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
  FILE *in_;
  bool pages_ = false;
  int line_ = 3;
  unsigned long keys_read_ = 0;
};

}  // namespace driver
