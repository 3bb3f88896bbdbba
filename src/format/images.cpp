#include "format/images.hpp"

#include "format/msx.hpp"
#include "format/readers.hpp"
#include "format/uef.hpp"

#include <cctype>
#include <cstring>

namespace format {

namespace {

bool SpectrumBlocks(const Tape &t) { return t.spectrum_blocks(); }
// A Spectrum TAP file holds the data blocks of any tape but a Commodore one,
// and says which it leaves out.
bool NotCommodore(const Tape &t) { return t.kind() != Kind::commodore; }

bool Commodore(const Tape &t) { return IsCommodoreTape(t); }
Image CommodoreTap(const Tape &t, int first, int end, const WriteContext &) { return WriteCommodoreTap(t, first, end); }

bool Zx81(const Tape &t) { return IsZx81Tape(t, false); }
bool Zx80(const Tape &t) { return IsZx81Tape(t, true); }
Image P81(const Tape &t, int first, int end, const WriteContext &c) { return WriteZx81(t, first, end, true, false, c.left_out); }
Image P(const Tape &t, int first, int end, const WriteContext &c) { return WriteZx81(t, first, end, false, true, c.left_out); }
Image O(const Tape &t, int first, int end, const WriteContext &c) { return WriteZx81(t, first, end, false, false, c.left_out); }

bool Acorn(const Tape &t) { return t.kind() == Kind::uef; }
// A TSX file read is a TZX tape: its MSX blocks go to a CAS file, the others
// are named as left out.
bool Msx(const Tape &t) { return t.kind() == Kind::msx || t.kind() == Kind::tzx; }
bool MsxOrSpectrum(const Tape &t) { return t.kind() == Kind::msx || t.spectrum_blocks(); }
Image Uef(const Tape &t, int first, int end, const WriteContext &) { return WriteUef(t, first, end); }
Image Cas(const Tape &t, int first, int end, const WriteContext &c) { return WriteCas(t, first, end, c.left_out); }
Image Tsx(const Tape &t, int first, int end, const WriteContext &c) { return WriteTsx(t, first, end, c.description); }

Image Tzx(const Tape &t, int first, int end, const WriteContext &c) { return WriteTzx(t, first, end, c.description); }
Image Tap(const Tape &t, int first, int end, const WriteContext &c) { return WriteTap(t, first, end, c.left_out); }

const ImageFormat kImages[] = {
    {"tzx", "cdt", "TZX", "the blocks of the Spectrum, the CPC and the C64", "all blocks", SpectrumBlocks, Tzx},
    {"tap", "", "TAP", "the pulses of the Commodore machines", "pulses", Commodore, CommodoreTap},
    {"tap", "", "TAP", "the data blocks of the Spectrum", "data blocks", NotCommodore, Tap},
    {"p81", "", "ZX81 .P81", "the programs of the ZX81", "programs", Zx81, P81},
    {"p", "", "ZX81 .P", "a program of the ZX81", "one program", Zx81, P},
    {"o", "", "ZX80 .O", "the programs of the ZX80", "programs", Zx80, O},
    {"uef", "", "UEF", "the tapes of the BBC Micro and the Electron", "all chunks", Acorn, Uef},
    {"cas", "", "CAS", "the blocks of the MSX", "MSX blocks", Msx, Cas},
    {"tsx", "", "TSX", "the blocks of the MSX with their timing", "all blocks", MsxOrSpectrum, Tsx},
};

std::string Lower(std::string s) {
  for (char &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

std::span<const ImageFormat> ImageFormats() { return kImages; }

const ImageFormat *ImageNamed(const std::string &ext) {
  const std::string e = Lower(ext);
  for (const ImageFormat &f : kImages)
    if (!e.empty() && (e == f.ext || e == f.also)) return &f;
  return nullptr;
}

const ImageFormat *ImageFor(const ImageFormat &named, const Tape &tape) {
  for (const ImageFormat &f : kImages)
    if (std::strcmp(f.ext, named.ext) == 0 && f.fits(tape)) return &f;
  return nullptr;
}

}  // namespace format
