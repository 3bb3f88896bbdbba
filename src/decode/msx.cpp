// The MSX's tapes: a long leader before a file header, a short one before
// other blocks, each of the high tone (2400 Hz at 1200 baud, 4800 Hz at
// 2400 baud, and between for the faster loaders), then bytes of a 0 start
// bit, 8 data bits least significant first and two 1 stop bits, then
// silence. Bits are sliced against the leader's half cycle.
#include "decode/msx.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

#include "decode/twotone.hpp"
#include "format/msx.hpp"
#include "format/signals.hpp"

namespace decode {

namespace {

using format::Image;
namespace msx = format::signals::msx;

constexpr double kLowestHz = 3600, kHighestHz = 16000;  // half cycles a second of a leader (1800 to 8000 Hz)
constexpr size_t kLeader = 1000;   // half cycles of the high tone that make a leader
constexpr size_t kTail = 48;       // of them, kept with the bytes before (more than the 1 bits of a byte 0xFF)
constexpr double kSilence = 0.003; // s without an edge
constexpr double kAfter = 0.1;     // s of silence after a leader: no block follows it
constexpr size_t kClick = 20;      // half cycles of a stretch of its own that may be a byte (two bytes 0x00 are 40)
constexpr double kStarts[] = {1.25, 1.4, 1.12};
constexpr twotone::Framing kFraming{8, 0, msx::kTrailing};

class MsxFamily : public Family, private twotone::Splitter {
 public:
  explicit MsxFamily(int rate) : Splitter({rate / kHighestHz, rate / kLowestHz, kLeader, kTail}, kSilence * rate), rate_(rate) {}

  void pulse(double samples) override { Splitter::pulse(samples); }
  void idle(double quiet) override { Splitter::idle(quiet); }
  void finish(double last) override {
    Splitter::finish(last);
    lone_leader();
    release();
  }
  std::vector<Found> take() override {
    std::vector<Found> f;
    f.swap(out_);
    return f;
  }
  Underway underway() const override { return {in_tone(), stretch_halves() / 40}; }
  // The speed of the tape: 2400 baud when most blocks' leaders are twice as
  // high as at 1200 (a CAS file does not hold it).
  void reading(format::ReadOptions &options, std::vector<std::string> &) const override {
    options.msx_2400 = fast_ > slow_;
  }

 private:
  struct Leader {
    double mean = 0, start = 0;
  };

  // A leader broken by a click goes on.
  void tone(size_t, double mean, double start, double) override {
    release();
    if (!leader_) leader_ = Leader{mean, start};
  }

  // After a block, a silence longer than a dropout ends it.
  void silence(double, double length) override {
    if (length <= kAfter * rate_) return;
    lone_leader();
    release();
  }

  void stretch(Stretch s) override {
    const std::span<const float> h(s.halves);
    if (h.size() < s.lead + s.tail + kClick) return;
    const double guess = leader_ ? leader_->mean : s.before > 0 ? s.before : rate_ / 4800.0;
    std::optional<twotone::Framed> best;
    for (double high : {guess, twotone::HighHalf(h, guess)})
      for (double start : kStarts) {
        if (best && best->errors == 0 && !best->bytes.empty()) break;
        twotone::Framed f = twotone::Frame(twotone::Slice(h, {high, 1, start}), kFraming);
        if (!best || f.errors < best->errors || (f.errors == best->errors && f.bytes.size() > best->bytes.size()))
          best = std::move(f);
      }
    if (best->bytes.empty()) return;  // clicks: the leader may still have its block
    if (!leader_) {
      // Bytes after a dropout: more of the block before it, which is bad now.
      // With none before them they are nothing an MSX reads (or hiss).
      if (!held_) return;
      held_->block.insert(held_->block.end(), best->bytes.begin(), best->bytes.end());
      held_->check = Check::bad, held_->sure = false;
      return;
    }
    release();
    held_ = block(leader_->start);
    held_->block.insert(held_->block.end(), best->bytes.begin(), best->bytes.end());
    held_->check = best->errors > 0 ? Check::bad : Check::none;
    // A file header framed without fault is surely the MSX's.
    const format::Bytes data = format::Bytes(held_->block).subspan(8);
    held_->sure = held_->check == Check::none && data.size() == 16 && format::MsxFileType(data);
    const double baud = rate_ / (4 * leader_->mean);
    (std::fabs(baud / 2400 - 1) < 0.12 ? fast_ : slow_)++;
    leader_.reset();
  }

  Found block(double start) const {
    Found f;
    f.start = start / rate_;
    f.block.assign(msx::kMarker, msx::kMarker + 8);
    return f;
  }

  void release() {
    if (held_) out_.push_back(std::move(*held_)), held_.reset();
  }

  // A leader with no bytes after it: an empty block, bad.
  void lone_leader() {
    if (!leader_) return;
    release();
    out_.push_back(block(leader_->start));
    out_.back().check = Check::bad;
    leader_.reset();
  }

  const int rate_;
  std::optional<Leader> leader_;  // heard last, until its bytes are
  std::optional<Found> held_;     // the block heard last, until a leader or silence ends it
  int fast_ = 0, slow_ = 0;  // blocks at 2400 baud, and at other speeds
  std::vector<Found> out_;
};

}  // namespace

std::unique_ptr<Family> MakeMsx(int rate) { return std::make_unique<MsxFamily>(rate); }

format::Image MsxImage(const std::vector<Found> &blocks, std::vector<size_t> &offsets) {
  format::Image image;
  for (const Found &f : blocks) {
    while (image.size() % 8 != 0) image.push_back(0);
    offsets.push_back(image.size());
    image.insert(image.end(), f.block.begin(), f.block.end());
  }
  return image;
}

}  // namespace decode
