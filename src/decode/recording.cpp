#include "decode/recording.hpp"

#include <algorithm>
#include <memory>
#include <tuple>

#include "decode/sound.hpp"
#include "format/csw.hpp"
#include "format/failure.hpp"

namespace decode {

using format::Failure;

namespace {

constexpr size_t kChunk = 1 << 14;

// The blocks a decoder found so far, kept.
void Gather(Decoder &d, std::vector<Found> &found) {
  for (Found &f : d.take()) found.push_back(std::move(f));
}

// The tape of the decoder's family from its blocks, with where each block
// the image is read as lies in the recording (that of the block found in
// which it begins).
DecodedTape Finish(Decoder &d, std::vector<Found> found, std::string words) {
  d.finish();
  Gather(d, found);
  // Stretches of unknown sound alone (noise, music) make no tape.
  if (std::all_of(found.begin(), found.end(), [](const Found &f) { return f.check == Check::sound; }))
    throw Failure("No block was found in the recording: no tape is made!");
  DecodedTape t;
  t.kind = d.family().kind, t.ext = d.family().ext, t.words = std::move(words);
  t.options.name = std::string("recording.") + t.ext;
  d.reading(t.options, t.warnings);
  std::vector<size_t> offsets;
  t.image = d.family().image(found, offsets);
  const format::Tape tape = ReadDecoded(t);
  size_t k = 0;
  for (int i = 0; i < tape.size(); i++) {
    const uint64_t at = tape.at(i).offset;
    while (k + 1 < offsets.size() && offsets[k + 1] <= at) k++;
    t.where.push_back({found[k].start, found[k].check});
  }
  return t;
}

}  // namespace

format::Tape ReadDecoded(const DecodedTape &t) {
  format::Tape tape = t.kind == format::Kind::tzx ? format::Tape::FromTzx(t.image) : format::Tape::Read(t.kind, t.image, t.options);
  for (const std::string &w : t.warnings) tape.warn(w);
  return tape;
}

std::string Clock(double seconds) {
  const long tenths = static_cast<long>(seconds * 10 + 0.5);
  return format::strprintf("%ld:%02ld.%ld", tenths / 600, tenths / 10 % 60, tenths % 10);
}

DecodedTape DecodeSound(const std::string &path, format::Kind kind, int channel, const Progress &progress) {
  SoundReader in(path, kind);
  const int n = in.channels() == 2 && channel < 0 ? 2 : 1;
  std::unique_ptr<Decoder> dec[2] = {std::make_unique<Decoder>(in.rate()), nullptr};
  if (n == 2) dec[1] = std::make_unique<Decoder>(in.rate());
  std::vector<Found> found[2];
  std::vector<float> s[2] = {std::vector<float>(kChunk), std::vector<float>(kChunk)};
  const double length = static_cast<double>(in.frames()) / in.rate();
  const int take = in.channels() == 2 && channel == 1;
  for (size_t got; (got = in.read(s[0].data(), s[1].data(), kChunk)) > 0;) {
    for (int c = 0; c < n; c++) {
      dec[c]->feed(s[n == 2 ? c : take].data(), got);
      Gather(*dec[c], found[c]);
    }
    if (progress) progress(dec[0]->position(), length, *dec[0]);
  }
  for (int c = 0; c < n; c++) dec[c]->finish(), Gather(*dec[c], found[c]);
  // The channel whose machine is known (a block surely its own), then the
  // one whose blocks check good more often, then the one with more blocks.
  auto score = [&](int c) { return std::tuple{dec[c]->sure(), dec[c]->good(), dec[c]->found()}; };
  const int best = n == 2 && score(1) > score(0);
  const int used = n == 2 ? best : take;
  return Finish(*dec[best], std::move(found[best]),
                in.describe() + (in.channels() == 2 ? used ? " (right channel)" : " (left channel)" : ""));
}

DecodedTape DecodeCsw(format::Bytes image, const format::CswHeader &header, const Progress &progress) {
  if (header.rate < 1000 || header.rate > 4000000) throw Failure("The CSW file's rate is out of range!");
  Decoder d(static_cast<int>(header.rate));
  std::vector<Found> found;
  format::CswPulses pulses(image.subspan(header.data), header.compression);
  std::vector<float> s(kChunk);
  float level = header.high_first ? 0.5f : -0.5f;
  size_t fill = 0;
  for (uint32_t p; pulses.next(p);) {
    for (uint32_t i = 0; i < p; i++) {
      s[fill++] = level;
      if (fill == kChunk) {
        d.feed(s.data(), fill), fill = 0;
        Gather(d, found);
        if (progress) progress(d.position(), 0, d);
      }
      if (i == 4096) {  // a long pulse is a silence: the rest of it is counted, not made
        d.feed(s.data(), fill), fill = 0;
        d.rest(p - i - 1);
        break;
      }
    }
    level = -level;
  }
  d.feed(s.data(), fill);
  return Finish(d, std::move(found), format::strprintf("CSW, %u Hz", header.rate));
}

}  // namespace decode
