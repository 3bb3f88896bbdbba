// The tape images the program writes, one row each: the name that chooses
// it, the tapes it can hold and its writer. An output is named for what it
// should be (".uef"); of the rows named so, the first that can hold the
// tape writes it (".tap" is a Commodore TAP file for a Commodore tape, a
// Spectrum's otherwise).
#pragma once

#include <functional>
#include <span>
#include <string>

#include "format/tape.hpp"
#include "format/writer.hpp"

namespace format {

struct WriteContext {
  std::string description;  // a TZX image's first block: "Made by reelwright from demo.tzx"
  // A block the image cannot hold: its number (from 1) and kind, told once it is left out.
  std::function<void(int, const char *)> left_out;
};

struct ImageFormat {
  const char *ext;    // the extension that names it, in lower case
  const char *also;   // another one, or ""
  const char *title;  // "TZX": "Creating TZX tape image x."
  const char *holds;  // what it holds: "the blocks of the Spectrum, the CPC and the C64"
  const char *keeps;  // of a tape it holds, the blocks it keeps: "data blocks"
  bool (*fits)(const Tape &tape);
  // The blocks [first, end) of the tape; empty when it holds none of them.
  Image (*write)(const Tape &tape, int first, int end, const WriteContext &context);
};
std::span<const ImageFormat> ImageFormats();

// The first row named by this extension (in any case), or none.
const ImageFormat *ImageNamed(const std::string &ext);
// Of the rows named as that one is, the first that fits the tape, or none.
const ImageFormat *ImageFor(const ImageFormat &named, const Tape &tape);

}  // namespace format
