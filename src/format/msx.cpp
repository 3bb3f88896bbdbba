// MSX CAS: blocks, each after an 8-byte marker; no timing is stored, the
// sound is the one the MSX BIOS makes.
#include <algorithm>
#include <cmath>

#include "format/failure.hpp"
#include "format/msx.hpp"
#include "format/readers.hpp"
#include "format/registry.hpp"
#include "format/signals.hpp"

namespace format {

using namespace signals::msx;

Tape ReadMsx(std::vector<uint8_t> image, const ReadOptions &options) {
  const Bytes all(image);
  std::vector<size_t> marks;  // where each marker begins
  for (auto at = all.begin(); (at = std::search(at, all.end(), kMarker, kMarker + 8)) != all.end(); at += 8)
    marks.push_back(static_cast<size_t>(at - all.begin()));
  if (marks.empty()) throw Failure("The file holds no MSX tape block marker: it is no MSX CAS file!");
  const uint32_t speed = options.msx_2400 ? 2 : 1;
  std::vector<IndexedBlock> blocks;
  for (size_t i = 0; i < marks.size(); i++) {
    const size_t from = marks[i] + 8, to = i + 1 < marks.size() ? marks[i + 1] : all.size();
    FramedData f;
    f.origin = FramedData::Origin::msx;
    f.clock = Clock{kUnitsPerSecond1200 * speed, 1};
    f.data = all.subspan(from, to - from);
    const bool header = MsxFileType(f.data) != nullptr;
    f.before = header ? kSilenceBeforeHeader : kSilenceBeforeData;
    f.pilot = 1, f.pilot_pulses = 2 * speed * (header ? kLongLeaderCycles : kShortLeaderCycles);
    f.pulse[0] = 2, f.pulse[1] = 1;
    f.pulses[0] = 2, f.pulses[1] = 4;
    f.leading = kLeading, f.leading_value = kLeadingValue, f.trailing = kTrailing, f.trailing_value = kTrailingValue;
    f.pause = i + 1 == marks.size() ? kPauseAfterLast : 0;
    blocks.push_back({marks[i], 0, f});
  }
  const size_t before = marks.front();
  Tape t = Tape::FromBlocks(Kind::msx, std::move(image), std::move(blocks));
  t.set_about(strprintf("MSX CAS file, %u baud", 1200 * speed));
  if (before > 0) t.warn(strprintf("%u bytes before the first block marker are left out!", static_cast<unsigned>(before)));
  return t;
}

}  // namespace format

// File headers, and CAS and TSX files written.
namespace format {

const char *MsxFileType(Bytes d) {
  if (d.size() < 16 || !std::all_of(d.begin(), d.begin() + 10, [&](uint8_t b) { return b == d[0]; })) return nullptr;
  switch (d[0]) {
    case 0xD0: return "binary";
    case 0xD3: return "BASIC";
    case 0xEA: return "ASCII";
    default: return nullptr;
  }
}

bool IsMsxFraming(const FramedData &b) {
  return b.leading == kLeading && b.leading_value == kLeadingValue && b.trailing == kTrailing &&
         b.trailing_value == kTrailingValue && !b.msb_first && b.data_bits == 8 && b.parity == 0 &&
         b.extra_pulses == 0 && b.pulses[0] == 2 && b.pulses[1] == 4 && b.pulse[1] > 0 &&
         std::abs(static_cast<double>(b.pulse[0]) / b.pulse[1] - 2) < 0.1;
}

namespace {

const FramedData *MsxBlock(const Block &b) {
  const auto *f = std::get_if<FramedData>(&b);
  return f && (f->origin == FramedData::Origin::msx || f->origin == FramedData::Origin::tsx) && IsMsxFraming(*f) ? f
                                                                                                                : nullptr;
}

void put(Image &b, uint32_t v, int n) {
  for (int i = 0; i < n; i++) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A duration of the block's clock in T-states.
uint32_t Tstates(const FramedData &b, uint64_t units) {
  return static_cast<uint32_t>(std::llround(double(units) * b.clock.per * signals::kSpectrum.hz / b.clock.hz));
}

}  // namespace

Image WriteCas(const Tape &tape, int first, int end, const std::function<void(int, const char *)> &left_out) {
  Image out;
  for (int i = first; i < end; i++) {
    const IndexedBlock b = tape.at(i);
    const FramedData *f = MsxBlock(b.block);
    if (!f) {
      left_out(i + 1, tape.kind() == Kind::msx ? "MSX Block" : TypeOf(b.id).name);
      continue;
    }
    while (out.size() % 8 != 0) out.push_back(0);  // the next marker where it is looked for
    out.insert(out.end(), kMarker, kMarker + 8);
    out.insert(out.end(), f->data.begin(), f->data.end());
  }
  return out;
}

Image WriteTsx(const Tape &tape, int first, int end, const std::string &description) {
  if (tape.spectrum_blocks()) {  // a TZX (a TSX read), TAP or CSW tape: as a TZX image of it
    Image out = WriteTzx(tape, first, end, description);
    out[9] = 21;
    return out;
  }
  if (tape.kind() != Kind::msx) throw Failure("Only an MSX tape can be written as a TSX file!");
  Image out = TzxHeader();
  out[9] = 21;
  const Image text = EncodeText(description);
  out.insert(out.end(), text.begin(), text.end());
  for (int i = first; i < end; i++) {
    const IndexedBlock b = tape.at(i);
    const FramedData &f = std::get<FramedData>(b.block);
    if (i == first && f.before > 0) out.push_back(0x20), put(out, f.before, 2);
    // A pilot longer than the block's count holds goes first as a pure tone (an even count: the level goes on).
    uint32_t pilot = f.pilot_pulses;
    for (; pilot > 0xFFFF; pilot -= 0xFFFE) out.push_back(0x12), put(out, Tstates(f, f.pilot), 2), put(out, 0xFFFE, 2);
    uint16_t pause = f.pause;
    if (i + 1 < end) {
      const IndexedBlock next = tape.at(i + 1);
      pause = std::get<FramedData>(next.block).before;
    }
    out.push_back(0x4B);
    put(out, static_cast<uint32_t>(12 + f.data.size()), 4);
    put(out, pause, 2), put(out, Tstates(f, f.pilot), 2), put(out, pilot, 2);
    put(out, Tstates(f, f.pulse[0]), 2), put(out, Tstates(f, f.pulse[1]), 2);
    out.push_back(static_cast<uint8_t>(f.pulses[0] << 4 | f.pulses[1]));
    out.push_back(static_cast<uint8_t>(f.leading << 6 | f.leading_value << 5 | f.trailing << 3 | f.trailing_value << 2));
    out.insert(out.end(), f.data.begin(), f.data.end());
  }
  return out;
}

}  // namespace format
