// Acorn's tapes: a carrier of the high tone (twice the base frequency,
// nominally 2400 Hz, on real tapes a few per cent off), then a block's bytes
// framed 8N1, then carrier again. The base frequency is measured on each
// carrier; a stretch between carriers is sliced at 1200 and at 300 baud,
// with a few splits between the tones, and the slicing whose blocks' CRCs
// hold (else the one that frames best) is taken.
#include "decode/acorn.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

#include "decode/twotone.hpp"
#include "format/signals.hpp"
#include "format/uef.hpp"

namespace decode {

namespace {

using format::Image;
using twotone::Framed;
using twotone::Framing;

constexpr double kHighHz = 2 * 2 * format::signals::acorn::kBaseFrequency;  // half cycles a second of the carrier
constexpr size_t kCarrier = 152;   // half cycles of the high tone that make a carrier (more than 9 bits of 1s at 300 baud)
constexpr double kSilence = 0.003; // s without an edge
constexpr double kStarts[] = {1.25, 1.4, 1.12};  // of the high tone's half cycle: where a start bit's may begin
constexpr int kWaves[] = {1, 4};   // 1200 and 300 baud
// The standard framing (8N1, chunk 0x0100), and others tapes' own loaders use (chunk 0x0104).
constexpr Framing kFramings[] = {{8, 0, 1}, {8, 2, 1}, {8, 1, 1}, {7, 2, 1}, {7, 1, 1}, {8, 0, 2}, {7, 0, 2}};
constexpr size_t kKept = 64;  // half cycles of a stretch that frames nothing, kept as what it sounds (fewer: a click)
constexpr double kInTones = 0.8;  // of the half cycles of a stretch after silence: of the tones, or it is hiss
constexpr size_t kFew = 16;   // bytes that, misframed and no block, are sound

uint16_t u16(double v) { return static_cast<uint16_t>(std::lround(std::clamp(v, 0.0, 65535.0))); }

// A chunk to come, and where it begins (samples).
struct Piece {
  double start = 0;
  uint16_t id = 0x0100;
  Image body;
  Check check = Check::none;
  int baud = 1200;
};

// One slicing of a stretch, framed one way.
struct Try {
  std::vector<twotone::Cell> cells;
  Framed framed;
  size_t framing = 0;  // of kFramings
  int waves = 1;
  int good = 0;  // blocks whose CRCs hold
  double score = 0;  // half cycles its bytes explain, less those misframed or lost
};

// How much of a stretch a framing explains: the half cycles of its bytes'
// start and data bits (a parity or stop bit might be idle line as well),
// each misframed byte counted against it twice, each one lost as a byte's;
// and a half cycle of the low tone in no byte (no idle line has one) as
// more than any byte.
double Score(std::span<const float> h, const std::vector<twotone::Cell> &cells, const Framed &f, double high, int waves,
             const Framing &framing) {
  const size_t data = 1 + framing.bits, need = data + (framing.parity ? 1 : 0) + framing.stop;
  auto half = [&](size_t cell) { return cell < cells.size() ? cells[cell].at : h.size(); };
  double score = 0;
  size_t misframed = 0, unexplained = 0, k = 0;
  for (size_t i = 0; i <= f.bytes.size(); i++) {  // bytes lie in order, each past the one before
    const size_t from = i < f.bytes.size() ? half(f.first[i]) : h.size();
    for (; k < from; k++) unexplained += h[k] >= 1.5 * high;
    if (i == f.bytes.size()) break;
    const double span = static_cast<double>(half(f.first[i] + data) - from);
    score += f.error[i] ? -2 * span : span;
    misframed += f.error[i];
    k = std::max(k, half(f.first[i] + need));
  }
  return score - static_cast<double>(f.errors - misframed) * 30 * waves - 200.0 * static_cast<double>(unexplained);
}

// Of bytes framed 8N1: each block of the filing system, and the bytes
// between that are none.
struct Part {
  size_t from = 0, to = 0;
  Check check = Check::none;
  bool block = false;  // of the filing system
};
std::vector<Part> Parts(const Framed &f) {
  std::vector<Part> parts;
  const format::Bytes all(f.bytes);
  auto misframed = [&f](size_t a, size_t b) { return std::any_of(f.error.begin() + long(a), f.error.begin() + long(b), [](uint8_t e) { return e; }); };
  for (size_t p = 0; p < all.size();) {
    if (const auto b = format::ReadAcornBlock(all.subspan(p))) {
      parts.push_back({p, p + b->size, b->good() ? Check::good : Check::bad, true});
      p += b->size;
      continue;
    }
    // Up to a sync byte whose header's CRC holds.
    size_t q = p + 1;
    for (; q < all.size(); q++) {
      const auto b = all[q] == 0x2A ? format::ReadAcornBlock(all.subspan(q)) : std::nullopt;
      if (b && b->header == format::CrcState::good) break;
    }
    parts.push_back({p, q, misframed(p, q) ? Check::bad : Check::none});
    p = q;
  }
  return parts;
}

class AcornFamily : public Family, private twotone::Splitter {
 public:
  explicit AcornFamily(int rate)
      : Splitter({0.7 * rate / kHighHz, 1.35 * rate / kHighHz, kCarrier, kCarrier - 8}, kSilence * rate), rate_(rate) {}

  void pulse(double samples) override { Splitter::pulse(samples); }
  void idle(double quiet) override { Splitter::idle(quiet); }
  void finish(double last) override {
    Splitter::finish(last);
    emit_carrier();
    emit_gap();
  }
  std::vector<Found> take() override {
    std::vector<Found> f;
    f.swap(out_);
    return f;
  }
  Underway underway() const override { return {in_tone(), stretch_halves() / 40}; }
  void reading(format::ReadOptions &, std::vector<std::string> &warnings) const override {
    if (kept_)
      warnings.push_back("Some sound frames as no bytes: it is kept as the cycles or bits of the UEF file, "
                         "as near as they hold it!");
  }

 private:
  struct Carrier {
    size_t halves = 0;
    double mean = 0, start = 0;
  };
  struct Gap {
    double start = 0, length = 0;
  };

  void add(double start, Image chunk, Check check = Check::none) {
    Found f;
    f.start = start / rate_;
    f.check = check;
    f.sure = check == Check::good;
    f.block = std::move(chunk);
    out_.push_back(std::move(f));
  }

  void tone(size_t halves, double mean, double start, double) override {
    if (carrier_ && joined_) {  // a carrier broken for a moment goes on
      carrier_->halves += halves;
      joined_ = false;
      return;
    }
    emit_carrier();
    emit_gap();
    carrier_ = Carrier{halves, mean, start};
  }

  void silence(double start, double length) override {
    emit_carrier();
    if (!gap_) gap_ = Gap{start, 0};
    gap_->length += length;
  }

  void stretch(Stretch s) override {
    std::vector<Piece> pieces = decode(s);
    if (pieces.empty()) {  // a click: in the carrier, or the gap, it is heard in
      joined_ = carrier_.has_value();
      if (gap_ && !joined_)
        for (float v : s.halves) gap_->length += v;
      return;
    }
    emit_gap();
    emit_carrier();
    for (Piece &p : pieces) {
      if (p.baud != baud_) {
        const uint8_t b[2] = {uint8_t(p.baud), uint8_t(p.baud >> 8)};
        add(p.start, format::UefChunk(0x0117, b));
        baud_ = p.baud;
      }
      add(p.start, format::UefChunk(p.id, p.body), p.check);
    }
  }

  void emit_carrier() {
    joined_ = false;
    if (!carrier_) return;
    const Carrier c = *carrier_;
    carrier_.reset();
    // Its base frequency, where it differs from the one in force.
    const double base = std::round(rate_ / (4 * c.mean) * 100) / 100;
    if (std::fabs(base / base_ - 1) > 0.01) {
      base_ = base;
      add(c.start, format::UefFloatChunk(0x0113, static_cast<float>(base)));
    }
    for (size_t cycles = (c.halves + 1) / 2, done = 0; cycles > 0;) {
      const size_t n = std::min<size_t>(cycles, 0xFFFF);
      const uint8_t b[2] = {uint8_t(n), uint8_t(n >> 8)};
      add(c.start + static_cast<double>(done) * 2 * c.mean, format::UefChunk(0x0110, b));
      cycles -= n, done += n;
    }
  }

  void emit_gap() {
    if (!gap_) return;
    const double s = std::min(gap_->length / rate_, format::signals::acorn::kMaxGapSeconds);
    const double units = s * 2 * base_;
    if (units <= 0xFFFF) {
      const uint16_t u = u16(units);
      const uint8_t b[2] = {uint8_t(u), uint8_t(u >> 8)};
      add(gap_->start, format::UefChunk(0x0112, b));
    } else {
      add(gap_->start, format::UefFloatChunk(0x0116, static_cast<float>(s)));
    }
    gap_.reset();
  }

  // The chunks a stretch makes: none when it is too short to be anything.
  std::vector<Piece> decode(const Stretch &s) {
    const std::span<const float> h(s.halves);
    if (h.size() <= s.lead + s.tail + 2) return {};
    std::vector<double> at(h.size() + 1, s.start);  // where each half cycle begins
    for (size_t i = 0; i < h.size(); i++) at[i + 1] = at[i] + h[i];
    std::vector<double> highs;
    if (s.before > 0) highs.push_back(s.before);
    const double own = twotone::HighHalf(h, s.before > 0 ? s.before : rate_ / kHighHz);
    if (highs.empty() || std::fabs(own / highs[0] - 1) > 0.03) highs.push_back(own);
    // After silence, no carrier: hiss is none of it.
    if (s.before == 0 && twotone::InTones(h.subspan(s.lead, h.size() - s.lead - s.tail), own) < kInTones) return {};
    std::optional<Try> best;
    for (double high : highs)
      for (int waves : kWaves)
        for (double start : kStarts) {
          if (best && best->good > 0 && best->framed.errors == 0) break;
          const std::vector<twotone::Cell> cells = twotone::Slice(h, {high, waves, start});
          for (size_t f = 0; f < std::size(kFramings); f++) {
            Try t;
            t.framed = twotone::Frame(cells, kFramings[f]);
            t.framing = f, t.waves = waves;
            if (f == 0)
              for (const Part &p : Parts(t.framed)) t.good += p.check == Check::good;
            t.score = Score(h, cells, t.framed, high, waves, kFramings[f]);
            if (!best || t.good > best->good || (t.good == best->good && t.score > best->score))
              best = std::move(t), best->cells = cells;
          }
        }
    const Try &t = *best;
    const int baud = t.waves == 1 ? 1200 : 300;
    const size_t from = s.lead, to = h.size() - s.tail;  // the stretch's own half cycles
    auto half = [&t](size_t byte) { return t.cells[t.framed.first[byte]].at; };
    const size_t bytes = t.framed.bytes.size();
    std::vector<Piece> pieces;
    if (bytes > 0 && (t.good > 0 || t.framed.errors <= std::max<size_t>(1, bytes / 16))) {
      if (t.framing != 0 && t.framed.errors > 0 && bytes < kFew) {  // a few bytes misframed: sound
        pieces.push_back(cycles(h, at, half(0), std::max<size_t>(to, half(0) + 1), highs.back()));
        return pieces;
      }
      if (t.framing != 0) {  // bytes of another framing
        const Framing &f = kFramings[t.framing];
        Image body{f.bits, static_cast<uint8_t>(f.parity == 0 ? 'N' : f.parity == 1 ? 'E' : 'O'), f.stop};
        body.insert(body.end(), t.framed.bytes.begin(), t.framed.bytes.end());
        pieces.push_back({at[half(0)], 0x0104, std::move(body), t.framed.errors ? Check::bad : Check::none, baud});
        return pieces;
      }
      const std::vector<Part> parts = Parts(t.framed);
      for (size_t k = 0; k < parts.size(); k++) {
        const Part &p = parts[k];
        if (p.check == Check::bad && !p.block && p.to - p.from < kFew) {
          // A few bytes misframed and no block: sound, kept as its cycles.
          const size_t a = half(p.from), b = k + 1 < parts.size() ? half(parts[k + 1].from) : std::max<size_t>(to, a + 1);
          pieces.push_back(cycles(h, at, a, b, highs.back()));
          continue;
        }
        pieces.push_back({at[half(p.from)], 0x0100,
                          Image(t.framed.bytes.begin() + long(p.from), t.framed.bytes.begin() + long(p.to)), p.check, baud});
      }
      return pieces;
    }
    if (to - from < kKept) return {};
    // Bits cut nowhere: the bits. Else the cycles of the two tones.
    if (t.cells.size() >= 8 && std::none_of(t.cells.begin(), t.cells.end(), [](const twotone::Cell &c) { return c.resync; })) {
      kept_ = true;
      const size_t n = t.cells.size();
      Image body{static_cast<uint8_t>((8 - n % 8) % 8)};
      body.resize(1 + (n + 7) / 8);
      for (size_t i = 0; i < n; i++) body[1 + i / 8] |= static_cast<uint8_t>(t.cells[i].bit << (i % 8));
      pieces.push_back({at[t.cells[0].at], 0x0102, std::move(body), Check::sound, baud});
      return pieces;
    }
    pieces.push_back(cycles(h, at, from, to, highs.back()));
    return pieces;
  }

  // Half cycles [from, to) as the cycles of the two tones they make, a
  // cycle of the high tone a 1 (a lone half cycle at the end, a pulse).
  Piece cycles(std::span<const float> h, const std::vector<double> &at, size_t from, size_t to, double high) {
    kept_ = true;
    const size_t n = (to - from + 1) / 2;
    Image body{uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), 'W', (to - from) % 2 ? uint8_t('P') : uint8_t('W')};
    body.resize(5 + (n + 7) / 8);
    for (size_t c = 0; c < n; c++) {
      const size_t i = from + 2 * c;
      const double len = i + 1 < to ? h[i] + h[i + 1] : 2 * h[i];
      if (len < 3 * high) body[5 + c / 8] |= static_cast<uint8_t>(0x80 >> (c % 8));
    }
    return {at[from], 0x0114, std::move(body), Check::sound, baud_};
  }

  const int rate_;
  double base_ = format::signals::acorn::kBaseFrequency;  // as the image has it so far
  int baud_ = 1200;
  std::optional<Carrier> carrier_;  // the carrier heard last, until what follows it is known
  bool joined_ = false;             // only a moment of other sound since it
  std::optional<Gap> gap_;
  bool kept_ = false;  // sound kept as bits or cycles
  std::vector<Found> out_;
};

}  // namespace

std::unique_ptr<Family> MakeAcorn(int rate) { return std::make_unique<AcornFamily>(rate); }

format::Image AcornImage(const std::vector<Found> &blocks, std::vector<size_t> &offsets) {
  format::Image image = format::UefHeader();
  for (const Found &f : blocks) offsets.push_back(image.size()), image.insert(image.end(), f.block.begin(), f.block.end());
  return image;
}

}  // namespace decode
