// One run over a tape: loading, the block loop with its flow control, and
// the output's pipeline (pulse stream, resampler, sample output).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "driver/console.hpp"
#include "driver/options.hpp"
#include "engine/output.hpp"
#include "engine/pulse.hpp"
#include "engine/resampler.hpp"
#include "format/tape.hpp"
#include "listing/listing.hpp"

namespace driver {

// What a sound file may hold; tests and the fuzzer lower it to keep runs short.
struct Limits {
  uint64_t max_samples = 0xFFFFFFFFull;
};

// Where the replay is and what its loops and calls are waiting for. There is
// one loop and one call: a new one replaces the pending one.
struct Cursor {
  int curr = 0;  // index of the block being visited
  int end = 0;   // one past the last block of the range
  int loop_start = 0, loop_count = 0;
  int call_pos = 0, call_num = 0, call_cur = 0;
  bool call_seen = false;  // a call sequence is pending
  bool operator==(const Cursor &) const = default;
};

class Session {
 public:
  Session(const Options &o, Console &c, const Limits &l) : opt_(o), console_(c), limits_(l) {}

  // Loads and indexes the tape and applies the block range.
  void load();
  // Announces the run and opens the output (replay and conversion only).
  void open();
  // Visits the blocks of the range, following the flow of the tape.
  void visit_blocks();
  // One second at the current level, then the output is finished.
  void close();
  // After a failure: what was converted is kept as a valid sound file; the
  // sound device stops at once. Reports a failure of its own.
  void end_early();

 private:
  bool playing() const { return opt_.mode == Mode::play; }
  // Warns of the first TAP block that holds nothing, not even its flag.
  void empty_tap_block();
  // Before a sound file is created: the tape being read, or any other tape
  // image, is never written over.
  void refuse_to_overwrite_a_tape() const;
  bool live() const { return opt_.output == Output::live; }
  // The switches of the signal in force, as the header line names them
  // (", exact timing, 120% speed, ..."); those of the levels when asked.
  std::string signal_words(bool levels) const;
  void prefix(const format::IndexedBlock &b);
  void visit(const format::IndexedBlock &b);
  void texts(const format::Block &block, const listing::Place &at);
  // The one-line text of a flow block in replay, printed while groups show.
  void oneline(const std::string &s);

  // Flow control in replay and conversion; false when the block is no flow block.
  bool flow(const format::IndexedBlock &b);
  void stop_tape();
  void jump(int distance);
  void loop_end();
  void call_sequence(const format::CallSequence &c);
  void return_from_call();
  void select(const format::Select &s);
  void stop_48k();
  // Moves the loop so that its next step lands on block `target`; a target
  // before the tape's start cannot be reached and the block is ignored.
  bool go_to(long target, const char *what);
  void ignored(const char *what);
  // Five seconds at the current level, then low: a conversion does not wait.
  void conversion_stop();
  // A short run at the current level, everything played, the wait for a key,
  // and the device started again; returns the key.
  char live_stop();
  char key_wait_live();
  void reopen_live();
  void flush_output();

  const Options &opt_;
  Console &console_;
  Limits limits_;
  std::optional<format::Tape> tape_;
  Cursor cur_;
  bool draw_ = true;  // progress and one-line texts show (not inside a hidden group)
  listing::Machine machine_;

  std::unique_ptr<engine::SampleOutput> output_;
  std::optional<engine::TimeBase> time_;
  std::unique_ptr<engine::Resampler> resampler_;
  std::unique_ptr<engine::PulseStream> stream_;
  int rate_ = 0;
};

}  // namespace driver
