// The machine families a recording may be of, in the order they are tried
// when two are sure at once.
#include "decode/acorn.hpp"
#include "decode/family.hpp"
#include "decode/msx.hpp"
#include "decode/spectrum.hpp"

namespace decode {

std::span<const FamilyType> Families() {
  static const FamilyType kFamilies[] = {
      {"ZX Spectrum, Amstrad CPC", format::Kind::tzx, MakeSpectrum, SpectrumImage},
      {"BBC Micro, Acorn Electron", format::Kind::uef, MakeAcorn, AcornImage},
      {"MSX", format::Kind::msx, MakeMsx, MsxImage},
  };
  return kFamilies;
}

}  // namespace decode
