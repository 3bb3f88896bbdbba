// The status line of live play: one line on standard error, at a terminal,
// drawn again in place as the tape plays.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "front/status_text.hpp"

namespace driver {

class Console;

using front::MinutesSeconds;
using front::StatusText;
using front::StatusView;

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
