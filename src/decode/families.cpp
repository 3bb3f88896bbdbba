// The machine families a recording may be of, in the order they are tried
// when two are sure at once.
#include "decode/commodore.hpp"
#include "decode/family.hpp"
#include "decode/spectrum.hpp"
#include "decode/zx81.hpp"

namespace decode {

std::span<const FamilyType> Families() {
  static const FamilyType kFamilies[] = {
      {"ZX Spectrum, Amstrad CPC", format::Kind::tzx, "tzx", 0, MakeSpectrum, SpectrumImage},
      {"ZX81", format::Kind::zx81, "p81", 1500, MakeZx81, Zx81Image},
      {"ZX80", format::Kind::zx81, "o", 1500, MakeZx80, Zx81Image},
      {"Commodore", format::Kind::commodore, "tap", 0, MakeCommodore, CommodoreImage},
  };
  return kFamilies;
}

}  // namespace decode
