// What every front end does alike with a tape: loading it (an image read,
// a recording decoded) with the lines that announce it, the number and place
// each block shows in the one-line listing, and writing it as a tape image.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "decode/recording.hpp"
#include "format/images.hpp"
#include "format/tape.hpp"
#include "format/writer.hpp"

namespace front {

// Where the texts of loading go: finished text, and the words of a warning.
struct Announce {
  std::function<void(const std::string &)> text, warning;
};

struct LoadOptions {
  format::ReadOptions read;  // its name: the path the file is read from
  bool decode_csw = false;   // a CSW file is decoded (it becomes a tape image)
  int channel = -1;          // of a stereo recording
};

struct Loaded {
  std::shared_ptr<const format::Tape> tape;
  std::vector<decode::Where> where;  // of each block of a decoded recording
};

// Reads the file at options.read.name: a tape image, or a recording decoded
// into a tape (`progress` is told how far). Announces what it is, the number
// of blocks and what is wrong with it; fails with the text to show when it
// is no tape at all.
Loaded Load(const LoadOptions &options, const Announce &say, const decode::Progress &progress);

// The start of a block's line in the one-line listing: its number and file
// offset ("  3-   2A:"); for a decoded recording (`where` not empty) where it begins and how
// its checksum stands ("  3   0:04.2 good:").
std::string OnePrefix(const std::vector<decode::Where> &where, int index, uint64_t offset);
// The same of a block found in a recording, numbered from 1.
std::string OnePrefix(int number, const decode::Where &where);
// "m:ss.s" and "good", "BAD" or "-" of a block of a decoded recording.
std::string WhereClock(const std::vector<decode::Where> &where, int index);
const char *CheckWord(decode::Check check);

// Of the images named as `named` is, the one that holds the tape; fails
// with the words of the row when none can.
const format::ImageFormat &ImageFor(const format::ImageFormat &named, const format::Tape &tape);
// The blocks [first, end) as that image (a TZX one described as made from
// `source`); `warning` is told what it leaves out. Fails when it holds none
// of them.
format::Image WriteImage(const format::Tape &tape, const format::ImageFormat &image, int first, int end,
                         const std::string &source, const std::function<void(const std::string &)> &warning);

}  // namespace front
