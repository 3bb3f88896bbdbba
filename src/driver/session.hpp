// One run over a tape: loading, the block loop with its flow control, and
// the output's pipeline (pulse stream, resampler, sample output). In live
// play at a terminal, the transport lets a person move the tape.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "driver/console.hpp"
#include "driver/options.hpp"
#include "driver/transport.hpp"
#include "engine/output.hpp"
#include "engine/pulse.hpp"
#include "decode/recording.hpp"
#include "engine/resampler.hpp"
#include "front/flow.hpp"
#include "format/tape.hpp"
#include "listing/listing.hpp"
#include "sinks/live.hpp"

namespace driver {

// What a sound file may hold; tests and the fuzzer lower it to keep runs short.
struct Limits {
  uint64_t max_samples = 0xFFFFFFFFull;
};

class Session final : front::FlowPlayer {
 public:
  Session(const Options &o, Console &c, const Limits &l) : opt_(o), console_(c), limits_(l) {}

  // Loads and indexes the tape and applies the block range.
  void load();
  // Announces the run and opens the output (replay and conversion only).
  void open();
  // Visits the blocks of the range, following the flow of the tape; in
  // replay and conversion, one second at the current level follows, and the
  // output is finished.
  void play();
  // The tape loaded and the block range: from index first() up to end().
  const format::Tape &tape() const { return *tape_; }
  int first() const { return first_; }
  int end() const { return cur_.end; }
  // After a failure: what was converted is kept as a valid sound file; the
  // sound device stops at once. Reports a failure of its own.
  void end_early();

 private:
  // The samples of a stretch of the tape and the level it ends at.
  struct Measure {
    uint64_t samples = 0;
    engine::Level level = engine::Level::low;
    StatusView::Until until = StatusView::Until::end;
  };
  // A run that measures, with no text, no key and no sound: the tape from a
  // visit's place to its end, or to the first stop or choice it waits at.
  struct Measuring {};
  Session(const Session &live, Console &muted, Measuring);
  Measure measure_from(const Visit &v) const;
  // The samples of one block played from a level.
  Measure measure_block(int index, engine::Level level) const;

  void visit_blocks();
  // A conversion into a tape image: the blocks of the range, listed and
  // written (flow blocks are copied, not followed).
  void write_tape();
  // One second at the current level, then the output is finished.
  void close();
  void finish_output();
  bool playing() const { return opt_.mode == Mode::play; }
  // The block range.
  void index_blocks();
  // Of the block at the cursor of a decoded recording: where it begins
  // ("m:ss.s") and how its checksum stands.
  std::string where() const;
  const char *check_word() const;
  // Before a sound file is created: the tape being read, or any other tape
  // image, is never written over.
  void refuse_to_overwrite_a_tape() const;
  bool live() const { return opt_.output == Output::live; }
  // The switches of the signal in force, as the header line names them
  // (", exact timing, 120% speed, ...").
  std::string signal_words() const;
  void prefix(const format::IndexedBlock &b);
  void visit(const format::IndexedBlock &b);
  void texts(const format::Block &block, const listing::Place &at);
  listing::Place place(const format::IndexedBlock &b) const;

  // Live play with a transport: a block begins; a key moves the tape (false
  // when it moves past the end while the tape closes).
  void begin_visit(const format::IndexedBlock &b);
  bool steer(const Steer &s);
  // The block before `index`, in the file and the range, that makes a sound
  // (-1 for none).
  int sounding_block_before(int index) const;

  // Flow control in replay and conversion; false when the block is no flow block.
  bool flow(const format::IndexedBlock &b);
  // What the flow shows, and where a run that measures ends.
  void line(const std::string &s) override;
  void say(const std::string &s) override;
  void ignored(int number, const char *what) override;
  void ahead(StatusView::Until until) override;
  // A run that measures ends where the tape waits for a key.
  void wait_ahead(StatusView::Until until) const;
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
  std::shared_ptr<const format::Tape> tape_;
  std::vector<decode::Where> where_;  // of each block of a decoded recording
  Cursor cur_;
  int first_ = 0;     // the range's first block
  bool draw_ = true;  // progress and one-line texts show (not inside a hidden group)
  listing::Machine machine_;
  bool measuring_ = false;

  std::unique_ptr<engine::SampleOutput> output_;
  sinks::LiveOutput *live_ = nullptr;  // the output, in live play
  std::optional<engine::TimeBase> time_;
  std::unique_ptr<engine::Resampler> resampler_;
  std::unique_ptr<engine::PulseStream> stream_;
  int rate_ = 0;

  std::unique_ptr<Transport> transport_;
  bool total_stale_ = true;  // the tape's total is to be measured again
  bool closing_ = false;     // the closing second plays
};

}  // namespace driver
