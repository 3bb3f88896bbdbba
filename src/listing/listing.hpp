// The texts of each block: the one-line text (the "-one" listing and the
// progress line of replay and conversion) and the extensive "-info" listing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/blocks.hpp"
#include "listing/machines.hpp"

namespace listing {

// Where a block stands, for its texts.
struct Place {
  int number = 0;       // counted from 1
  uint64_t offset = 0;  // file offset of the block
  uint8_t id = 0;
  bool last = false;    // the last block of the range: data blocks show no pause
  Machine machine;      // as declared by the blocks before it
};

// One piece of the extensive listing: printed as one unit of the page count,
// after `extra` more lines were counted (for a blank line it ends in, and the
// line breaks of an expanded tape text).
struct Piece {
  std::string text;
  int extra = 0;
};
using Pieces = std::vector<Piece>;

// The one-line text, line end included. Blocks that steer the replay have the
// texts of the "-one" listing here.
std::string OneLine(const format::Block &block, const Place &at);
// The extensive listing.
Pieces Extensive(const format::Block &block, const Place &at);

// "Block %3d (%5X):  ": the heading every extensive text starts with.
std::string Heading(const Place &at);

// Relative speed in percent of a bit-1 pulse of b T-states against the ROM's
// (saturating: 0 gives the largest int).
int Speed(unsigned bit1);
// Sample rate of a direct recording with the given T-states per sample.
int OriginalFrequency(unsigned tstates_per_sample);

}  // namespace listing
