// The run's options, read once from the command line.
#pragma once

#include <optional>
#include <string>

#include "engine/pulse.hpp"
#include "format/images.hpp"
#include "sinks/levels.hpp"

namespace driver {

class Console;

enum class Mode { play, info, one, contents };  // replay or conversion; "-info"; "-one"; what the tape holds
// csw: a recording's square wave (-rec only); image: another machine's tape
// image, as its name says (.uef, .p81, ...).
enum class Output { live, voc, au, wav, tzx, tap, csw, image };
// Whether the output is a tape image (else sound).
inline bool IsTapeOutput(Output o) { return o == Output::tzx || o == Output::tap || o == Output::image; }

struct Options {
  Mode mode = Mode::play;
  Output output = Output::live;
  int freq = 44100;   // sampling rate in Hz (the device may impose its own)
  int starting = 1;   // first block, from 1
  int ending = 0;     // last block, from 1; 0 or less: the last one
  bool pages = false;
  bool expand = false;
  bool mode128 = false;
  bool msx_2400 = false;  // MSX tapes at 2400 baud
  engine::Timing timing;  // -exact, -speed
  sinks::Signal signal;   // -invert, -vol, -16
  std::string input;
  std::string output_name;  // the sound file or tape image of a conversion
  const format::ImageFormat *image = nullptr;  // of a tape image: the format its name or switch asks for
  int channel = -1;         // of a stereo recording: 0 left, 1 right, -1 the one that decodes better
  bool record = false;      // -rec: from the line input into output_name
  // What the tape holds (Mode::contents): -basic, -hex, -screen FILE, -extract DIR.
  bool basic = false, hex = false;
  std::string screen, extract;
};

// Highest sampling rate accepted: one sample per T-state of the 3.5 MHz clock.
constexpr int kMaxFreq = 3500000;

// Prints the banner and reads the command line. Returns nothing when the run
// is complete already: no argument at all or "-h" (the usage is shown), or
// "--version". A command line that makes no sense fails with the text to show.
std::optional<Options> ParseCommandLine(int argc, char **argv, Console &console);

// One decimal integer as "%d" scans it: leading blanks and a sign are taken,
// the first character that cannot continue it ends it; no number gives 0.
int getnumber(const char *s);
// The name with the text after the last '.' of its file part replaced by ext
// (or ".ext" appended when the file part has no '.').
std::string ChangeFileExtension(const std::string &str, const char *ext);

}  // namespace driver
