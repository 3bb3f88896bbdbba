// The Commodore machines' tapes (C64, VIC-20, C16/Plus4): kept as the
// pulses measured, so that any turbo loader survives, and read as the ROM
// loader reads them to tell whether they hold its files and how their
// checks stand. The recording's pulses become a Commodore TAP file of
// version 1 (a value a whole cycle, at the C64's PAL clock), a block of it
// for each stretch between silences of a tenth of a second or more.
//
// The edges come in halves of cycles, and which half begins a cycle is not
// known: a stretch is paired both ways, and the way whose blocks the loader
// reads better is kept.
#include "decode/commodore.hpp"

#include <algorithm>
#include <cmath>

#include "format/commodore_files.hpp"
#include "format/signals.hpp"

namespace decode {

namespace {

constexpr uint32_t kClock = format::signals::kCommodore[0].pal;  // the C64's, PAL
constexpr double kGap = 0.1;            // s: a silence that ends a stretch
constexpr size_t kMaxHalves = 1 << 22;  // of a stretch: a longer one is cut there

// A TAP value of so many cycles: a byte of eighths, or 0 and the cycles.
void Put(format::Image &out, double cycles) {
  const uint32_t c = static_cast<uint32_t>(std::min(std::lround(cycles), 0xFFFFFFl));
  const uint32_t v = (c + 4) / 8;
  if (v >= 1 && v <= 255) return out.push_back(static_cast<uint8_t>(v));
  out.push_back(0);
  for (int k = 0; k < 3; k++) out.push_back(static_cast<uint8_t>(c >> (8 * k)));
}

// How a stretch's blocks stand: each copy good, or its twin good.
struct Reading {
  format::Image values;
  int good = 0, blocks = 0;
  bool all_read = true;  // every block has a good copy
};

Reading Read(const std::vector<double> &halves, size_t first) {
  Reading r;
  if (first == 1) Put(r.values, 2 * halves[0]);  // a half left alone: a cycle of its length
  for (size_t i = first; i < halves.size(); i += 2)
    Put(r.values, i + 1 < halves.size() ? halves[i] + halves[i + 1] : 2 * halves[i]);
  const format::CommodorePulses p{format::Clock{kClock, 1}, 1, r.values, 0, 0, nullptr};
  const std::vector<format::CommodoreBlock> blocks = format::FindCommodoreFiles(p).blocks;
  r.blocks = static_cast<int>(blocks.size());
  for (size_t i = 0; i < blocks.size(); i++) {
    r.good += blocks[i].good();
    const bool twin_good = (!blocks[i].repeat && i + 1 < blocks.size() && blocks[i + 1].repeat && blocks[i + 1].good()) ||
                           (blocks[i].repeat && i > 0 && !blocks[i - 1].repeat && blocks[i - 1].good());
    if (!blocks[i].good() && !twin_good) r.all_read = false;
  }
  return r;
}

class CommodoreFamily : public Family {
 public:
  explicit CommodoreFamily(int rate) : rate_(rate), cycles_(double(kClock) / rate), gap_(kGap * kClock) {}

  void pulse(double samples) override {
    const double c = samples * cycles_;
    if (halves_.empty()) start_ = now_;
    now_ += samples;
    halves_.push_back(c);
    if (c >= gap_ || halves_.size() >= kMaxHalves) stretch();
  }
  void idle(double quiet) override {
    if (!halves_.empty() && quiet * cycles_ >= gap_) stretch();
  }
  void finish(double) override { stretch(); }
  std::vector<Found> take() override {
    std::vector<Found> f;
    f.swap(out_);
    return f;
  }
  Underway underway() const override { return {halves_.size() > 64, 0}; }

 private:
  // A stretch has ended: its pulses, paired the way the loader reads better.
  void stretch() {
    if (halves_.empty()) return;
    Reading a = Read(halves_, 0);
    if (halves_.size() > 1) {
      Reading b = Read(halves_, 1);
      if (b.good > a.good || (b.good == a.good && b.blocks > a.blocks)) a = std::move(b);
    }
    Found f;
    f.start = start_ / rate_;
    f.check = a.blocks == 0 ? Check::sound : a.all_read ? Check::good : Check::bad;
    f.sure = a.good > 0;
    f.block = std::move(a.values);
    out_.push_back(std::move(f));
    halves_.clear();
  }

  const int rate_;
  const double cycles_, gap_;  // clock cycles a sample; a gap's
  std::vector<double> halves_;  // of the stretch under way, in cycles
  double now_ = 0, start_ = 0;  // samples
  std::vector<Found> out_;
};

}  // namespace

std::unique_ptr<Family> MakeCommodore(int rate) { return std::make_unique<CommodoreFamily>(rate); }

format::Image CommodoreImage(const std::vector<Found> &blocks, std::vector<size_t> &offsets) {
  // "C64-TAPE-RAW", version 1, C64, PAL; the length below.
  format::Image image = {'C', '6', '4', '-', 'T', 'A', 'P', 'E', '-', 'R', 'A', 'W', 1, 0, 0, 0, 0, 0, 0, 0};
  for (const Found &f : blocks) offsets.push_back(image.size()), image.insert(image.end(), f.block.begin(), f.block.end());
  const size_t n = image.size() - 20;
  for (int k = 0; k < 4; k++) image[16 + static_cast<size_t>(k)] = static_cast<uint8_t>(n >> (8 * k));
  return image;
}

}  // namespace decode
