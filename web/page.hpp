// The tape open in a web page, and what the page does with it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/pulse.hpp"
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
  // {"text": what announces it, "blocks": the one-line listing, "steers": it
  // has blocks that jump, loop, call or choose, "spectrum": a TZX image holds
  // it}, or {"error": why it cannot be read, "text"}.
  std::string open(const std::string &path, bool msx_2400);
  // The player for these switches: {"lengths": of each block in samples,
  // "warnings"}. The tape is at its first block.
  std::string prepare(const Settings &s);
  // The player goes on at a block (the level it began at when played in order).
  void seek(int block);
  // The samples of the next block in order, then of the second that closes
  // the tape; -1 after it. The samples are the engine's bytes (see level()).
  int render();
  const uint8_t *samples() const;
  int rendered() const { return rendered_; }  // the block rendered (the block count for the closing second)
  bool rendered_stops() const;                // it stops the tape
  // The sample value of a level, full scale being 1: as a sound file holds it.
  float level(bool high) const;
  // The status line: the block heard (from 0), the place in it and on the tape.
  std::string status(int block, uint64_t block_at, uint64_t tape_at, bool paused, int width) const;
  // Writes the tape to `out`: a WAV file at `rate` (as a conversion makes it,
  // the tape's blocks in order), a TZX image, a TAP file or the image of its
  // own machine. {"warnings", "ext": the file's extension}, or with "error".
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
  std::string described(const std::string &text);
  void close_tape();
  bool stops(const format::Block &b) const;
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
  int next_ = 0, rendered_ = -1;
  std::unique_ptr<Recorder> recorder_;
};

}  // namespace web
