// Where the replay is and what its loops and calls are waiting for.
#pragma once

namespace driver {

// There is one loop and one call: a new one replaces the pending one.
struct Cursor {
  int curr = 0;  // index of the block being visited
  int end = 0;   // one past the last block of the range
  int loop_start = 0, loop_count = 0;
  int call_pos = 0, call_num = 0, call_cur = 0;
  bool call_seen = false;  // a call sequence is pending
  bool operator==(const Cursor &) const = default;
};

}  // namespace driver
