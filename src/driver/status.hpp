// The status line of live play: one line on standard error, at a terminal,
// drawn again in place as the tape plays.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace driver {

class Console;

// What the line shows. Times are in samples at `rate`.
struct StatusView {
  // Where the tape's total ends: its end, a stop or a choice it waits at
  // (the total counts up to there), or nowhere known.
  enum class Until { end, stop, choice, unknown };
  int rate = 1;
  int block = 0;     // the block heard, from 1
  std::string text;  // its one-line text
  uint64_t block_at = 0, block_length = 0;
  uint64_t tape_at = 0, tape_total = 0;
  Until until = Until::end;
  bool paused = false;
  bool waiting = false;  // for a key the tape asks for
};

// "m:ss"
std::string MinutesSeconds(uint64_t samples, int rate);

// The line for a terminal of `width` columns: it takes at most width - 1 of
// them, so that the terminal never wraps it. The block's text gives way
// first, then the progress bar, then the words.
std::string StatusText(const StatusView &v, int width);

class StatusLine {
 public:
  StatusLine(Console &console, FILE *out) : console_(console), out_(out) {}
  ~StatusLine() { clear(); }
  StatusLine(const StatusLine &) = delete;
  StatusLine &operator=(const StatusLine &) = delete;

  // Draws the line in place (the console's text goes out first).
  void show(const StatusView &v);
  // Draws a line of text in place, made for the terminal's width (width()).
  void show(const std::string &line);
  int width() const;
  // Clears it, if it is shown.
  void clear();

 private:
  Console &console_;
  FILE *out_;
  bool shown_ = false;
  std::string last_;
};

}  // namespace driver
