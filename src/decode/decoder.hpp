// The decoder: the samples of a recording in, the tape's blocks out as they
// end. Two stages: sound to edges (DC removal, level following, hysteresis,
// the moment of each zero crossing), then edges to blocks (pilot, sync, bits
// decided on whole cycles against centres that follow the tape's speed).
//
// Push interface: feed samples as they come, take the blocks found so far;
// a block is handed over once its pause is known (the next block begins, or
// the recording ends). Memory holds the block being read, never the sound.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "format/blocks.hpp"
#include "format/writer.hpp"

namespace decode {

class EdgeStage;

enum class Check { none, good, bad };  // none: a block kept as it sounds

struct Found {
  double start = 0;  // seconds into the recording
  Check check = Check::none;
  format::Image block;  // one TZX block, its ID first
};

class Decoder {
 public:
  explicit Decoder(int rate);
  ~Decoder();
  Decoder(const Decoder &) = delete;
  Decoder &operator=(const Decoder &) = delete;

  void feed(const float *samples, size_t n);
  // The recording ends: the last block is handed over.
  void finish();
  // The blocks found since the last call.
  std::vector<Found> take();

  double position() const;  // seconds fed
  int good() const { return good_; }
  int bad() const { return bad_; }
  int found() const { return found_; }

  // For a recording as it comes in. A block whose data has ended waits for
  // its pause until the next block begins: meanwhile this is it, with the
  // pause so far (nothing when no block waits). take() hands it over later
  // with its whole pause, the same but for that.
  std::optional<Found> waiting() const;
  // The block under way: its pilot is heard (pilot, no bytes yet), or so
  // many of its bytes.
  struct Underway {
    bool pilot = false;
    size_t bytes = 0;
  };
  Underway underway() const;
  // Each pulse of the square wave the sound makes, in samples, as it is found.
  void on_pulse(std::function<void(double samples)> f) { on_pulse_ = std::move(f); }

 private:
  struct Blocks;
  void pulse(double samples);
  std::unique_ptr<EdgeStage> edges_;
  std::unique_ptr<Blocks> blocks_;
  std::vector<double> pulses_;  // of the samples fed last
  int good_ = 0, bad_ = 0, found_ = 0;
  std::function<void(double)> on_pulse_;
};

// The checks of a block's bytes: the Spectrum's XOR of all bytes (flag and
// checksum included) is 0; an Amstrad CPC block (sync byte, segments of 256
// bytes each with its CRC, a trailer) has every segment's CRC right.
bool XorGood(format::Bytes data);
bool CpcGood(format::Bytes data);
// The CPC firmware's CRC of one segment: CRC-16, polynomial 0x1021, initial
// 0xFFFF, stored complemented.
uint16_t CpcCrc(format::Bytes segment);

}  // namespace decode
