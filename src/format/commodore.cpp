// Commodore TAP (C64, VIC-20, C16/Plus4): a header naming the machine, then
// pulse lengths in the machine's clock cycles.
#include "format/commodore_files.hpp"
#include "format/failure.hpp"
#include "format/readers.hpp"
#include "format/signals.hpp"

namespace format {

namespace {
constexpr size_t kHeaderSize = 20;
}  // namespace

Tape ReadCommodore(std::vector<uint8_t> image) {
  using namespace signals;
  Reader r(image);
  const unsigned version = r.u8(12), machine = r.u8(13), video = r.u8(14);
  if (image.size() < kHeaderSize) throw Failure("The Commodore TAP file's header is cut short!");
  if (version > 2) throw Failure(strprintf("Commodore TAP version %u is not supported!", version));
  if (machine >= std::size(kCommodore)) throw Failure(strprintf("Commodore TAP machine %u is not known!", machine));
  if (video >= std::size(kVideo)) throw Failure(strprintf("Commodore TAP video standard %u is not known!", video));
  const CommodoreMachine &m = kCommodore[machine];
  // PAL-N runs at the PAL clock, old NTSC at the NTSC one.
  const uint32_t hz = video == 0 || video == 3 ? m.pal : m.ntsc;
  const uint32_t stated = r.u32(16);
  CommodorePulses all{Clock{hz, 1}, uint8_t(version), r.bytes(kHeaderSize, stated), nullptr};

  // The files the ROM loader finds are a block each; between them a block
  // ends after a pulse of a tenth of a second or more: the gaps between a
  // program's parts.
  std::vector<IndexedBlock> blocks;
  size_t start = 0, at = 0;
  auto cut_here = [&](std::shared_ptr<const CommodoreFile> file) {
    CommodorePulses part = all;
    part.data = all.data.subspan(start, at - start);
    part.file = std::move(file);
    blocks.push_back({kHeaderSize + start, 0, part});
    start = at;
  };
  CommodoreContents contents = FindCommodoreFiles(all);
  size_t next = 0;  // the next file
  for (uint32_t cycles = 0;;) {
    while (next < contents.files.size() && (contents.files[next].begin < at || contents.files[next].finish <= at)) next++;
    if (next < contents.files.size() && at == contents.files[next].begin) {
      if (start < at) cut_here(nullptr);
      at = contents.files[next].finish;
      cut_here(std::make_shared<const CommodoreFile>(std::move(contents.files[next++])));
      continue;
    }
    if (!all.next(at, cycles)) break;
    if (cycles >= hz / kCommodoreGapDivisor) cut_here(nullptr);
  }
  if (start < at) cut_here(nullptr);
  const size_t held = all.data.size(), after = image.size() - kHeaderSize - held;
  const bool cut = at < held;
  Tape t = Tape::FromBlocks(Kind::commodore, std::move(image), std::move(blocks));
  t.set_about(strprintf("Commodore TAP file version %u, %s %s (%u Hz)", version, m.name, kVideo[video], hz));
  if (held < stated)
    t.warn(strprintf("The header states %u bytes of pulses; the file holds %u: played what is there!", stated,
                     static_cast<unsigned>(held)));
  if (after > 0)
    t.warn(strprintf("%u bytes after the pulses the header states are left out!", static_cast<unsigned>(after)));
  if (cut) t.warn("The pulses end inside a long pulse's length, which is left out!");
  return t;
}

}  // namespace format
