// The tape transport of live play: what a person at the terminal does with
// the tape while it plays (pause, skip a block, go back), and the status line
// that shows where it is.
//
// Keys are looked at while the player waits for the sound device, so that a
// key takes effect within a period of the device. A key that moves the tape
// leaves the wait as a Steer, which the block loop catches; the transport
// keeps the blocks begun so far (and the last visit of each block) so that
// the loop can begin one of them again as it was.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "driver/console.hpp"
#include "driver/status.hpp"
#include "engine/pulse.hpp"
#include "front/flow.hpp"
#include "listing/machines.hpp"
#include "sinks/live.hpp"

namespace driver {

using front::Cursor;

// A move of the tape asked for by a key.
struct Steer {
  enum Kind {
    next,      // on to the block after the one heard
    back,      // to the start of the block heard
    previous,  // to the block before it
  };
  Kind kind = next;
};

// A block as the replay began it: all it takes to begin it again.
struct Visit {
  int index = 0;
  Cursor cursor;
  engine::Level level = engine::Level::low;
  bool draw = true;
  listing::Machine machine;
  uint64_t start = 0;    // samples queued before it
  uint64_t tape_at = 0;  // samples of the tape before it, loops counted
  uint64_t length = 0;   // its own samples
  std::string text;      // its one-line text
};

class Transport {
 public:
  // Keys come through the console (when it has a person's keys); the status
  // line goes to `status` (none when null). `blocks`: of the tape.
  Transport(Console &console, sinks::LiveOutput &out, FILE *status, int blocks);
  ~Transport();
  Transport(const Transport &) = delete;
  Transport &operator=(const Transport &) = delete;

  // A block begins with the samples queued so far; its place on the tape
  // follows from the block before it. Returns it as kept.
  const Visit &begin(Visit v);
  // The tape's total length, in samples from its start, and where it ends.
  void set_total(uint64_t samples, StatusView::Until until);

  // The visit heard now (a block has begun).
  const Visit &heard();
  // The visit begun after it, if any.
  std::optional<Visit> after_heard();
  // The last visit of a block, if it had one.
  const std::optional<Visit> &last_of(int index) const { return last_[static_cast<size_t>(index)]; }
  // The tape goes on at a new place, the visit `to`: the visits kept are
  // forgotten, and `to` stands for the one heard until a block begins.
  void rewind(Visit to);

  // The player's wait: the status line, and the keys typed.
  void on_wait();
  // The tape asks for a key (a stop, a choice): from now on the keys typed
  // are its answer, which wait_key() reads: any key goes on (and ends a
  // pause), ESC ends the run.
  void ask_key() { waiting_ = true; }
  char wait_key();

 private:
  void act(const Key &k);
  void draw(bool now);

  Console &console_;
  sinks::LiveOutput &out_;
  std::optional<StatusLine> status_;
  std::deque<Visit> recent_;  // the visit heard and those begun after it: never empty once one began
  std::vector<std::optional<Visit>> last_;
  bool rewound_ = false;  // recent_ holds only the place rewound to
  uint64_t total_ = 0;
  StatusView::Until until_ = StatusView::Until::unknown;
  bool waiting_ = false;
  std::chrono::steady_clock::time_point drawn_{}, last_back_{};
  bool backed_ = false;
};

}  // namespace driver
