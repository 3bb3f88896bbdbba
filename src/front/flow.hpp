// Blocks that steer the replay: stop the tape, jumps, loops, calls and
// selections. Every player follows them alike; where their texts go and how
// the tape stops or takes a key is the player's own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "format/blocks.hpp"
#include "format/tape.hpp"
#include "front/status_text.hpp"

namespace front {

// Where the replay is and what its loops and calls are waiting for.
// There is one loop and one call: a new one replaces the pending one.
struct Cursor {
  int curr = 0;  // index of the block being visited
  int end = 0;   // one past the last block of the range
  int loop_start = 0, loop_count = 0;
  int call_pos = 0, call_num = 0, call_cur = 0;
  bool call_seen = false;  // a call sequence is pending
  bool operator==(const Cursor &) const = default;
};

// Detects a tape that steers the replay round in circles for ever. What the
// loop does next depends only on the cursor, and on the keys typed; so when
// the cursor comes back with no key read in between, the tape would go round
// the same circle without end. Brent's cycle search finds it within two
// rounds of the circle, with a constant amount of work per block.
class EndlessLoopGuard {
 public:
  // Fails with "The tape loops for ever!".
  void visit(const Cursor &now, unsigned long keys);

 private:
  Cursor saved_;
  unsigned long saved_keys_ = ~0ul;
  uint64_t power_ = 1, steps_ = 0;
};

// What a player shows of the flow, and where it ends a run that measures.
class FlowPlayer {
 public:
  virtual ~FlowPlayer() = default;
  // A flow block's one-line text (shown where groups show).
  virtual void line(const std::string &s) = 0;
  // Text that shows also inside a hidden group: the choices offered.
  virtual void say(const std::string &s) = 0;
  // Block `number` (from 1) is ignored, for `what` it does.
  virtual void ignored(int number, const char *what) = 0;
  // The tape is about to wait at a stop or a choice.
  virtual void ahead(StatusView::Until until) = 0;
};

// What the player does after a flow block.
enum class Halt {
  none,    // goes on
  stop,    // the tape stops (a conversion plays five seconds instead)
  choice,  // the tape stops for a key, which choose() is given
};

class Flow {
 public:
  // `waits`: the tape stops for a key at a stop (live play), so its text says so.
  Flow(const format::Tape &tape, bool mode128, bool waits, FlowPlayer &player)
      : tape_(tape), mode128_(mode128), waits_(waits), player_(player) {}

  // Follows the block at the cursor: the cursor is moved so that its next
  // step lands on the block that plays next. Nothing when `b` is no flow
  // block. A Stop the Tape block's level is the player's to set.
  std::optional<Halt> follow(const format::Block &b, Cursor &cur);
  // After a choice: the key pressed ('1' for the first entry) picks where
  // the tape goes on; any other key goes on after the block.
  void choose(const format::Select &s, char key, Cursor &cur);

 private:
  // Moves the loop so that its next step lands on block `target`; a target
  // before the tape's start cannot be reached and the block is ignored.
  bool go_to(Cursor &cur, long target, const char *what);
  Halt stop(const char *words);
  void jump(Cursor &cur, int distance);
  void loop_end(Cursor &cur);
  void call_sequence(Cursor &cur, const format::CallSequence &c);
  void return_from_call(Cursor &cur);

  const format::Tape &tape_;
  bool mode128_, waits_;
  FlowPlayer &player_;
};

}  // namespace front
