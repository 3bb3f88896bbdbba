// The ZX81's and the ZX80's tapes: each bit a burst of short pulses (4
// cycles of about 150 us high and 150 us low for a 0, 9 for a 1), then about
// 1300 us of silence; bytes most significant bit first, no leader and no
// checksum. A ZX81 program comes after its name (ZX81 characters, the last
// with bit 7 set) and holds the memory from 0x4009 up to the address in
// E_LINE (its bytes 11 and 12); a ZX80 one has no name and holds the memory
// from 0x4000 up to its E_LINE (bytes 10 and 11).
//
// Real recordings are quiet and differentiated, and a deck's coupling
// swings the silence between bursts across the middle: a burst's pulses
// are counted, not shaped, and the count that parts 0s from 1s is learnt
// from the bursts themselves. A program whose length is what its own E_LINE
// says is surely the machine's.
#include "decode/zx81.hpp"

#include <algorithm>
#include <optional>
#include <utility>

namespace decode {

namespace {

constexpr double kShort = 450e-6;    // s: a pulse of a burst at most
constexpr double kGap = 1000e-6;     // s: the silence after a bit at least
constexpr double kEnd = 0.02;        // s: a silence that ends a program
constexpr size_t kMinBytes = 0x74;   // a program's system variables
constexpr size_t kMaxBytes = 48 << 10;
constexpr size_t kAfter = 64;        // bytes of noise a ZX81 program may be followed by
constexpr size_t kSearch = 2048;     // bits among which a program's start is looked for

class Zx81Family : public Family {
 public:
  Zx81Family(int rate, bool zx80)
      : rate_(rate), zx80_(zx80), short_(kShort * rate), gap_(kGap * rate), end_(kEnd * rate) {}

  void pulse(double samples) override {
    now_ += samples;
    if (samples <= short_) {
      if (count_ == 0) burst_at_ = now_ - samples;
      count_++, quiet_ = 0;
      return;
    }
    quiet_ += samples;
    if (count_ > 0 && quiet_ >= gap_) bit();
    if (quiet_ >= end_) end();
  }

  void idle(double quiet) override {
    if (count_ > 0 && quiet >= gap_) bit();
    if (quiet + quiet_ >= end_) end();
  }
  void finish(double) override {
    if (count_ > 0) bit();
    end();
  }
  std::vector<Found> take() override {
    std::vector<Found> f;
    f.swap(out_);
    return f;
  }
  Underway underway() const override { return {false, bits_.size() / 8}; }

 private:
  // A burst has ended: a bit, by its count against the one that parts 0s
  // and 1s, which follows the counts of each.
  void bit() {
    const double n = count_;
    count_ = 0;
    if (n > 2 * one_) return bad_bits();  // noise
    const bool one = n > (zero_ + one_) / 2;
    // Only counts near a centre move it: noise's bursts do not.
    double &c = one ? one_ : zero_;
    if (n > 0.6 * c && n < 1.5 * c) c += 0.1 * (n - c);
    if (bits_.size() < kSearch) times_.push_back(burst_at_);
    if (bits_.size() < 8 * kMaxBytes) bits_.push_back(one);
  }

  // A burst no bit makes: before a program is well under way, what came
  // before it was noise; later, damage to it, and the bit is lost.
  void bad_bits() {
    if (bits_.size() < 8 * kMinBytes) bits_.clear(), times_.clear(), zero_ = kZero, one_ = kOne;
  }

  // The bytes of the bits from `at` on, `zeros` 0 bits first (the first
  // bits of a program may be lost in the noise before it: its first byte,
  // a character of its name or a system variable, begins with 0s).
  std::vector<uint8_t> bytes(size_t at, int zeros) const {
    std::vector<uint8_t> b;
    uint8_t byte = 0;
    int k = 0;
    auto add = [&](bool one) {
      byte = static_cast<uint8_t>(byte << 1 | one);
      if (++k == 8) b.push_back(byte), byte = 0, k = 0;
    };
    for (int z = 0; z < zeros; z++) add(false);
    for (size_t i = at; i < bits_.size(); i++) add(bits_[i]);
    return b;
  }

  // Where the memory begins in a program's bytes and how many it holds, when
  // they are a program that is as long as its E_LINE says (a ZX81 one's
  // name makes it sure enough that some noise after it may have been heard
  // as more bits; a ZX80 one has but a byte).
  std::optional<std::pair<size_t, size_t>> program(const std::vector<uint8_t> &b) const {
    size_t from = 0;
    if (!zx80_) {  // the name: ZX81 characters, the last with bit 7 set
      while (from < b.size() && from < 128 && !(b[from] & 0x80) && b[from] < 64) from++;
      if (from >= b.size() || from == 128 || (b[from] & 0x7F) >= 64) return std::nullopt;
      from++;
    }
    if (b.size() < from + kMinBytes) return std::nullopt;
    const size_t at = zx80_ ? 10 : 11, origin = zx80_ ? 0x4000 : 0x4009;
    const size_t e_line = b[from + at] | b[from + at + 1] << 8, length = e_line > origin ? e_line - origin : 0;
    if (length < kMinBytes || b.size() < from + length || b.size() > from + length + (zx80_ ? 1 : kAfter)) return std::nullopt;
    return std::pair{from, length};
  }

  // A long silence: the program heard, if it is one. Its start is looked
  // for among its first bits (a ZX80 program's at the very start alone).
  void end() {
    if (bits_.size() >= 8 * kMinBytes) {
      Found f;
      f.check = Check::none;
      const size_t search = std::min(bits_.size(), zx80_ ? size_t{2} : kSearch);
      for (size_t at = 0; at < search && !f.sure; at++)
        for (int zeros = 0; zeros <= 2 && !f.sure; zeros++)
          if (at == 0 || zeros == 0) {
            std::vector<uint8_t> b = bytes(at, zeros);
            if (const auto p = program(b)) {
              b.resize(p->first + p->second);
              f.block = std::move(b), f.sure = true, f.start = times_[at] / rate_;
            }
          }
      if (!f.sure) f.block = bytes(0, 0), f.start = times_.empty() ? 0 : times_[0] / rate_;
      out_.push_back(std::move(f));
    }
    bits_.clear(), times_.clear();
  }

  const int rate_;
  const bool zx80_;
  const double short_, gap_, end_;
  double now_ = 0, quiet_ = 0, burst_at_ = 0;
  unsigned count_ = 0;          // short pulses of the burst under way
  static constexpr double kZero = 6, kOne = 15;  // a 0's burst's count and a 1's, to begin with
  double zero_ = kZero, one_ = kOne;
  std::vector<bool> bits_;     // of the program under way
  std::vector<double> times_;  // where its first bits begin, in samples
  std::vector<Found> out_;
};

}  // namespace

std::unique_ptr<Family> MakeZx81(int rate) { return std::make_unique<Zx81Family>(rate, false); }
std::unique_ptr<Family> MakeZx80(int rate) { return std::make_unique<Zx81Family>(rate, true); }

format::Image Zx81Image(const std::vector<Found> &blocks, std::vector<size_t> &offsets) {
  format::Image image;
  for (const Found &f : blocks) offsets.push_back(image.size()), image.insert(image.end(), f.block.begin(), f.block.end());
  return image;
}

}  // namespace decode
