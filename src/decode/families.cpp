// The machine families a recording may be of, in the order they are tried
// when two are sure at once.
#include "decode/acorn.hpp"
#include "decode/commodore.hpp"
#include "decode/family.hpp"
#include "decode/msx.hpp"
#include "decode/spectrum.hpp"
#include "decode/zx81.hpp"

namespace decode {

std::span<const FamilyType> Families() {
  static const FamilyType kFamilies[] = {
      {"ZX Spectrum, Amstrad CPC", format::Kind::tzx, "tzx", 0, MakeSpectrum, SpectrumImage},
      {"ZX81", format::Kind::zx81, "p81", 1500, MakeZx81, Zx81Image},
      {"ZX80", format::Kind::zx81, "o", 1500, MakeZx80, Zx81Image},
      {"Commodore", format::Kind::commodore, "tap", 0, MakeCommodore, CommodoreImage},
      {"BBC Micro, Acorn Electron", format::Kind::uef, "uef", 0, MakeAcorn, AcornImage},
      {"MSX", format::Kind::msx, "cas", 0, MakeMsx, MsxImage},
  };
  return kFamilies;
}

}  // namespace decode
