// The tape open in a web page, and what the page does with it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/pulse.hpp"
#include "front/flow.hpp"
#include "front/recording_line.hpp"
#include "front/tape.hpp"
#include "sinks/levels.hpp"

namespace web {

// The signal's switches, as the page's controls set them.
struct Settings {
  int rate = 44100;  // of the player: the sound device's own
  engine::Timing timing;
  sinks::Signal signal;
  bool mode128 = false;
};

enum class Saved { wav, tzx, tap, own };  // own: the image of the tape's own machine (UEF, CAS, P81, O)

// A JSON string of bytes (those beyond ASCII read as Latin-1), and a list of them.
std::string Quoted(const std::string &s);
std::string List(const std::vector<std::string> &items);

class Page {
 public:
  Page();
  ~Page();

  // Opens the file at `path` (a tape image, or a recording to decode):
  // {"text": what announces it, "blocks": the one-line listing, "spectrum": a
  // TZX image holds it, "own": the extension of its machine's own image},
  // or {"error": why it cannot be read, "text"}.
  std::string open(const std::string &path, bool msx_2400);
  // The player for these switches: {"lengths": of each block in samples,
  // played in file order, "warnings"}. The tape is at its start.
  std::string prepare(const Settings &s);

  // The player follows the tape's flow, one visit of a block at a time; the
  // visits are numbered from 0 since the last move. Moves, as at the terminal:
  // the tape from its start (the choices made are forgotten); a visit begun
  // again; the visit after it (rendered or not); the block that sounds before
  // a visit's block (its last visit, or the flow as it stands); a block picked
  // from the list. False when there is no such place (the tape stays).
  void restart();
  bool again(int visit);
  bool next(int visit);
  bool previous(int visit);
  bool go_to(int block, int visit);
  // The samples of the next visit, then of the second that closes the tape;
  // -1 after it, and while the tape waits for a choice. The samples are the
  // engine's bytes (see level()).
  int render();
  const uint8_t *samples() const;
  int rendered() const;                        // the block rendered (the block count for the closing second)
  int rendered_visit() const { return static_cast<int>(visits_.size()) - 1; }
  int rendered_halt() const { return halt_; }  // 0, or where the tape stops: 1 at a stop, 2 for a choice
  const std::string &said() const { return said_; }  // what the flow said at it (the choices offered)
  // At a choice: the key pressed; the tape goes on.
  void choose(char key);
  // The sample value of a level, full scale being 1: as a sound file holds it.
  float level(bool high) const;
  // The status line at a visit, a place in it.
  std::string status(int visit, uint64_t block_at, bool paused, int width);
  // Writes the tape to `out`: a WAV file at `rate` (as a conversion makes it,
  // the choices made while playing typed at its choices), a TZX image, a TAP
  // file or the image of its own machine. {"warnings", "ext": the file's
  // extension}, or with "error".
  std::string save(Saved kind, int rate, const std::string &out, const std::string &source);

  // A recording from the line input at `rate`: the page fills the buffer with
  // n samples and feeds them ({"line": the recording's line, "blocks": the
  // lines of the blocks found}); its end makes the tape (as open() tells).
  void record_begin(int rate);
  float *record_buffer(size_t n);
  std::string record_feed(size_t n);
  std::string record_end(const std::string &path);

  std::string reply;  // the last text handed to the page

 private:
  struct Pipeline;
  struct Recorder;
  struct Told;
  // A block as the player began it: all it takes to begin it again.
  struct Visit {
    int index = 0;
    front::Cursor cursor;
    engine::Level level = engine::Level::low;
    uint64_t tape_at = 0;  // samples of the tape before it, loops counted
    uint64_t length = 0;   // its own samples
  };
  std::string described(const std::string &text);
  void close_tape();
  // The player goes on at a visit.
  void begin_at(const Visit &v);
  // One step at the cursor: the block played or its flow followed. A choice
  // leaves the cursor at the Select block.
  front::Halt step(front::Cursor &c, engine::PulseStream &s, Told &told) const;
  // The samples from a visit to the tape's end, or to where it waits.
  std::pair<uint64_t, front::StatusView::Until> measure_from(const Visit &v) const;
  void convert(int rate, const std::string &out, std::vector<std::string> &warnings);
  std::string found_lines();

  front::Loaded tape_;
  std::string path_;
  bool msx_2400_ = false;
  Settings set_;
  std::vector<std::string> texts_;  // each block's line
  std::vector<uint64_t> lengths_;
  std::vector<engine::Level> levels_;
  std::unique_ptr<class Collect> out_;
  std::unique_ptr<Pipeline> player_;
  // The player's place: the flow's cursor, the visits since the last move,
  // the last visit of each block, the keys chosen since the tape's start.
  front::Cursor cur_;
  std::unique_ptr<front::EndlessLoopGuard> guard_;
  std::vector<Visit> visits_;
  std::vector<std::optional<Visit>> last_;
  std::string choices_;
  uint64_t tape_at_ = 0;  // of the next visit
  int halt_ = 0;
  bool choosing_ = false, closed_ = false;
  std::string said_;
  // The tape's total, as measured from a visit.
  int measured_ = -1;
  uint64_t total_ = 0;
  front::StatusView::Until until_ = front::StatusView::Until::end;
  std::unique_ptr<Recorder> recorder_;
};

}  // namespace web
