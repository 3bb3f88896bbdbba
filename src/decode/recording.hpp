// A recording decoded whole into a tape: its blocks as a TZX image in memory,
// with where each lies in the recording and whether its checksum is good.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "decode/decoder.hpp"
#include "format/tape.hpp"

namespace decode {

struct Where {
  double start = 0;  // seconds
  Check check = Check::none;
};

struct DecodedTape {
  format::Kind kind = format::Kind::tzx;  // the machine's image it is: TZX for a Spectrum's or a CPC's
  const char *ext = "tzx";                // and the extension its reader takes
  format::Image image;       // that image, of the blocks found
  std::vector<Where> where;  // one a block of the tape the image is read as
  std::string words;         // what the recording is: "WAV, 44100 Hz, 16-bit, stereo (left channel)"
  format::ReadOptions options{"recording"};  // how the image is read (an MSX tape's speed)
  std::vector<std::string> warnings;         // what the image holds only as near as it can
};

// The tape of a decoded image, read as its kind's reader reads it.
format::Tape ReadDecoded(const DecodedTape &t);

// Now and then while decoding: the position, the length (0 when unknown) and
// the decoder, for its counts.
using Progress = std::function<void(double at, double length, const Decoder &d)>;

// A sound file; of a stereo one the channel asked for (0 left, 1 right), or
// with -1 the one whose blocks decode better. Fails when no block is found.
DecodedTape DecodeSound(const std::string &path, format::Kind kind, int channel, const Progress &progress);
// The pulses of a CSW file, as a square wave at its rate.
DecodedTape DecodeCsw(format::Bytes image, const format::CswHeader &header, const Progress &progress);

// "m:ss.s"
std::string Clock(double seconds);

}  // namespace decode
