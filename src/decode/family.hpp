// A machine family's decoder: the pulses of the edge stage in (each the
// time between two edges, in samples), the blocks of that machine's tape
// image out, each with where it lies in the recording and how its check
// stands. Every family hears the same pulses; the first to find a block
// that is surely its own (a checksum that holds, a program whose own
// figures agree with its length) is the recording's.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "format/tape.hpp"
#include "format/writer.hpp"

namespace decode {

// How a block's check stands: none when the family's blocks have none,
// sound for a stretch that is no block and is kept as it sounds.
enum class Check { none, good, bad, sound };

struct Found {
  double start = 0;  // seconds into the recording
  Check check = Check::none;
  bool sure = false;    // surely the family's: its check holds, or its own figures agree
  format::Image block;  // as the family's image holds it
};

// The block under way: its pilot or leader is heard, or so many of its bytes.
struct Underway {
  bool pilot = false;
  size_t bytes = 0;
};

class Family {
 public:
  virtual ~Family() = default;
  virtual void pulse(double samples) = 0;
  // No edge for `quiet` samples after the last pulse: a block under way may end.
  virtual void idle(double quiet) = 0;
  // The recording ends `last` samples after the last edge: the last block is handed over.
  virtual void finish(double last) = 0;
  // The blocks that ended since the last call, in order.
  virtual std::vector<Found> take() = 0;
  // A block whose data has ended and that waits for what follows (its
  // pause), `quiet` samples after the last edge: as take() will hand it over
  // but for that. Nothing when none waits.
  virtual std::optional<Found> waiting(double) const { return std::nullopt; }
  virtual Underway underway() const = 0;
  // How its image is read (an MSX tape's speed), and what the image holds
  // only as near as it can (a warning each), once the recording has ended.
  virtual void reading(format::ReadOptions &, std::vector<std::string> &) const {}
};

// The families, one row each.
struct FamilyType {
  const char *name;    // the machines, for messages
  format::Kind kind;   // of the image its blocks make
  const char *ext;     // and its name's extension, as its reader takes it
  // Hz of high-pass on the sound its edges are found in (0: none): the
  // ZX81's bursts ride on the slow swing a deck's coupling makes between them.
  double highpass;
  std::unique_ptr<Family> (*make)(int rate);
  // The whole image of its blocks, and where each begins in it.
  format::Image (*image)(const std::vector<Found> &blocks, std::vector<size_t> &offsets);
};
std::span<const FamilyType> Families();

}  // namespace decode
