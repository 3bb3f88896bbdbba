// The text of the status line that shows where a playing tape is: the
// block, its time and the tape's, and what the player does.
#pragma once

#include <cstdint>
#include <string>

namespace front {

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

}  // namespace front
