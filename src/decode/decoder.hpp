// The decoder: the samples of a recording in, the tape's blocks out as they
// end. One edge stage (the moments the sound changes level) feeds a decoder
// of each machine family; the first family to find a block surely its own
// is the recording's, and its blocks are handed over from then on (the
// others are dropped). Until one is known nothing is handed over; a
// recording in which none is ends as the first family's, the Spectrum's.
//
// Push interface: feed samples as they come, take the blocks found so far.
// Memory holds the blocks being read and those found before the family is
// known, never the sound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "decode/family.hpp"
#include "decode/spectrum.hpp"

namespace decode {

class EdgeStage;

class Decoder {
 public:
  explicit Decoder(int rate);
  ~Decoder();
  Decoder(const Decoder &) = delete;
  Decoder &operator=(const Decoder &) = delete;

  void feed(const float *samples, size_t n);
  // n more samples of the one fed last (a silence of a CSW file): the
  // blocks are as if they were fed, but a long one takes little time.
  void rest(uint64_t n);
  // The recording ends: the last block is handed over (once; again, nothing happens).
  void finish();
  // The blocks found since the last call, of the recording's family.
  std::vector<Found> take();
  // The recording's family: the first row until one is known.
  const FamilyType &family() const { return Families()[known_ < 0 ? 0 : static_cast<size_t>(known_)]; }
  bool known() const { return known_ >= 0; }

  double position() const;  // seconds fed
  int good() const { return good_; }
  int bad() const { return bad_; }
  int found() const { return found_; }
  int sure() const { return sure_; }  // of the blocks taken, those surely the family's

  // For a recording as it comes in. A block whose data has ended may wait
  // for what follows (its pause): meanwhile this is it, as take() will
  // hand it over but for that.
  std::optional<Found> waiting() const;
  // The block under way.
  Underway underway() const;
  // How the recording's image is read, and what it holds only as near as it can.
  void reading(format::ReadOptions &options, std::vector<std::string> &warnings) const;
  // Each pulse of the square wave the sound makes, in samples, as it is found.
  void on_pulse(std::function<void(double samples)> f) { on_pulse_ = std::move(f); }

 private:
  void gather();  // the families' blocks, and which family the recording is
  double quiet(size_t family) const;

  // An edge stage, and the high-pass the sound passes first (a pole's
  // factor; none when 0), for the families that hear it.
  struct Ear {
    std::unique_ptr<EdgeStage> edges;
    double pole = 0, in = 0, out = 0;
    std::vector<float> heard;
  };
  void hear(Ear &e, const float *samples, size_t n);
  // The samples to the stage `e` and its pulses to the families that hear it.
  void listen(size_t e, const float *samples, size_t n);

  const int rate_;
  std::vector<Ear> ears_;
  std::vector<size_t> ear_of_;                     // each family's
  std::vector<std::unique_ptr<Family>> families_;  // a row of Families() each; only the known one once it is
  std::vector<std::vector<Found>> held_;           // each one's blocks, until the recording's family is known
  int known_ = -1;
  bool finished_ = false;
  int good_ = 0, bad_ = 0, found_ = 0, sure_ = 0;
  std::vector<double> pulses_;  // of the samples fed last
  float last_ = 0;              // the sample fed last
  std::function<void(double)> on_pulse_;
};

}  // namespace decode
