// MSX CAS: blocks, each after an 8-byte marker; no timing is stored, the
// sound is the one the MSX BIOS makes.
#include <algorithm>

#include "format/failure.hpp"
#include "format/readers.hpp"
#include "format/signals.hpp"

namespace format {

namespace {

using namespace signals::msx;

// A file header: 10 equal type bytes (binary, BASIC or ASCII) and a name.
bool is_header(Bytes d) {
  if (d.size() < 16 || (d[0] != 0xD0 && d[0] != 0xD3 && d[0] != 0xEA)) return false;
  return std::all_of(d.begin(), d.begin() + 10, [&](uint8_t b) { return b == d[0]; });
}

}  // namespace

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
    const bool header = is_header(f.data);
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
