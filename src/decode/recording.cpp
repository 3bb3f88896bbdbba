#include "decode/recording.hpp"

#include <memory>

#include "decode/sound.hpp"
#include "format/csw.hpp"
#include "format/failure.hpp"

namespace decode {

using format::Failure;

namespace {

constexpr size_t kChunk = 1 << 14;

// Takes the blocks a decoder found into the tape.
void Gather(Decoder &d, DecodedTape &t) {
  for (Found &f : d.take()) {
    t.image.insert(t.image.end(), f.block.begin(), f.block.end());
    t.where.push_back({f.start, f.check});
  }
}

DecodedTape Finish(Decoder &d, DecodedTape t) {
  d.finish();
  Gather(d, t);
  // Stretches of unknown sound alone (noise, music) make no tape.
  bool data = false;
  for (const Where &w : t.where) data = data || w.check != Check::none;
  if (!data) throw Failure("No block was found in the recording: no tape is made!");
  return t;
}

}  // namespace

std::string Clock(double seconds) {
  const long tenths = static_cast<long>(seconds * 10 + 0.5);
  return format::strprintf("%ld:%02ld.%ld", tenths / 600, tenths / 10 % 60, tenths % 10);
}

DecodedTape DecodeSound(const std::string &path, format::Kind kind, int channel, const Progress &progress) {
  SoundReader in(path, kind);
  const int n = in.channels() == 2 && channel < 0 ? 2 : 1;
  std::unique_ptr<Decoder> dec[2] = {std::make_unique<Decoder>(in.rate()), nullptr};
  if (n == 2) dec[1] = std::make_unique<Decoder>(in.rate());
  DecodedTape tape[2];
  for (DecodedTape &t : tape) t.image = format::TzxHeader();
  std::vector<float> s[2] = {std::vector<float>(kChunk), std::vector<float>(kChunk)};
  const double length = static_cast<double>(in.frames()) / in.rate();
  const int take = in.channels() == 2 && channel == 1;
  for (size_t got; (got = in.read(s[0].data(), s[1].data(), kChunk)) > 0;) {
    for (int c = 0; c < n; c++) {
      dec[c]->feed(s[n == 2 ? c : take].data(), got);
      Gather(*dec[c], tape[c]);
    }
    if (progress) progress(dec[0]->position(), length, *dec[0]);
  }
  for (int c = 0; c < n; c++) dec[c]->finish(), Gather(*dec[c], tape[c]);
  // The channel whose blocks check good more often, then the one with more blocks.
  int best = 0;
  if (n == 2 && (dec[1]->good() > dec[0]->good() || (dec[1]->good() == dec[0]->good() && dec[1]->found() > dec[0]->found())))
    best = 1;
  const int used = n == 2 ? best : take;
  DecodedTape t = std::move(tape[best]);
  t.words = in.describe() + (in.channels() == 2 ? used ? " (right channel)" : " (left channel)" : "");
  return Finish(*dec[best], std::move(t));
}

DecodedTape DecodeCsw(format::Bytes image, const format::CswHeader &header, const Progress &progress) {
  if (header.rate < 1000 || header.rate > 4000000) throw Failure("The CSW file's rate is out of range!");
  Decoder d(static_cast<int>(header.rate));
  DecodedTape t;
  t.image = format::TzxHeader();
  t.words = format::strprintf("CSW, %u Hz", header.rate);
  format::CswPulses pulses(image.subspan(header.data), header.compression);
  std::vector<float> s(kChunk);
  float level = header.high_first ? 0.5f : -0.5f;
  size_t fill = 0;
  uint64_t total = 0;
  for (uint32_t p; pulses.next(p);) {
    total += p;
    for (uint32_t i = 0; i < p; i++) {
      s[fill++] = level;
      if (fill == kChunk) {
        d.feed(s.data(), fill), fill = 0;
        Gather(d, t);
        if (progress) progress(d.position(), 0, d);
      }
      if (i == 10 * header.rate) {  // a silence this long is all the same: the rest is counted, not made
        d.feed(s.data(), fill), fill = 0;
        std::vector<float> quiet(kChunk, level);
        for (uint64_t left = p - i - 1; left > 0;) {
          const size_t k = left < kChunk ? static_cast<size_t>(left) : kChunk;
          d.feed(quiet.data(), k);
          left -= k;
        }
        break;
      }
    }
    level = -level;
  }
  d.feed(s.data(), fill);
  return Finish(d, std::move(t));
}

}  // namespace decode
