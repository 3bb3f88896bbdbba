#include "listing/naming.hpp"

#include "format/ids.hpp"

namespace listing {

namespace {

const char *const kLongLabel[4] = {"Program : ", "Num. Array : ", "Char. Array : ", "Bytes : "};
const char *const kShortLabel[4] = {"    Program : ", " Num. Array : ", "Char. Array : ", "      Bytes : "};
const char kDashes24[] = "------------------------";

// Byte i of a block's data, or 0 past its end.
uint8_t at(format::Bytes d, size_t i) { return i < d.size() ? d[i] : 0; }

// The 10-character name of a Spectrum or Sam Coupe header.
std::string header_name(format::Bytes d) {
  std::string name;
  for (size_t i = 2; i < 12; i++) {
    uint8_t c = at(d, i);
    name += (c >= 0x20 && c <= 0x7E) ? static_cast<char>(c) : ' ';
  }
  return name;
}

// The 16-character name of a C64 header from byte `first` on.
std::string c64_name(format::Bytes d, size_t first) {
  std::string name;
  for (size_t i = first; i < first + 16; i++) {
    uint8_t c = at(d, i);
    name += (c >= 32 && c <= 125) ? static_cast<char>(c) : ' ';
  }
  return name;
}

bool countdown(format::Bytes d, uint8_t first) {
  if (d.size() < 9) return false;
  for (size_t i = 0; i < 9; i++)
    if (d[i] != first - i) return false;
  return true;
}

}  // namespace

std::string Identify(format::Bytes data, Form form, Machine machine) {
  const bool extensive = form == Form::extensive;
  const size_t len = data.size();
  const uint8_t flag = at(data, 0), kind = at(data, 1);
  if (machine.cpc) {
    if (len == 0 || flag != ',') return extensive ? "Headerless" : "    ------------------  ";
    std::string name;
    for (size_t i = 1; i <= 16; i++) {
      uint8_t c = at(data, i);
      name += c ? static_cast<char>(c) : ' ';
    }
    return extensive ? name + "    " : "    " + name + "    ";
  }
  int label = -1;
  if (machine.sam) {
    if (len >= 81 && len <= 83 && flag == 1 && kind >= 0x10 && kind <= 0x13) label = kind - 0x10;
  } else if ((len == 19 || len == 20) && flag == 0 && kind <= 3) {
    label = kind;
  }
  if (label < 0) return extensive ? "Headerless" : "    --------------------";
  return std::string(extensive ? kLongLabel[label] : kShortLabel[label]) + header_name(data);
}

C64Name IdentifyC64ROM(const format::C64RomData &b, Form form) {
  namespace c64 = format::c64;
  const bool extensive = form == Form::extensive;
  if (b.pilot != c64::pilot || b.sync1 != c64::sync1 || b.sync2 != c64::sync2 || b.bit0_first != c64::bit0_first ||
      b.bit0_second != c64::bit0_second || b.bit1_first != c64::bit1_first || b.bit1_second != c64::bit1_second ||
      b.xor_type != 1)
    return {extensive ? "Unknown" : kDashes24, "C64 Data     "};
  std::string name;
  if (!countdown(b.data, 0x89)) name = extensive ? "ROM: Last Block Repeated" : kDashes24;
  else if (b.data.size() == 202) name = (extensive ? "ROM Header: " : "Header: ") + c64_name(b.data, 14);
  else name = extensive ? "ROM: Data Block" : "Data Block              ";
  return {name, "C64 ROM Data "};
}

C64Name IdentifyC64Turbo(const format::C64TurboData &b, Form form) {
  namespace c64 = format::c64;
  const bool extensive = form == Form::extensive;
  if (b.bit0 != c64::turbo_bit0 || b.bit1 != c64::turbo_bit1 || b.lead_in_byte != c64::turbo_lead_in)
    return {extensive ? "Unknown" : kDashes24, "C64 Data     "};
  std::string name;
  if (!countdown(b.data, 9)) name = extensive ? "TurboTape Unknown" : kDashes24;
  else if (b.data.size() == 32 && b.data[9] != 0)
    name = (extensive ? "TurboTape Header: " : "Header: ") + c64_name(b.data, 15);
  else name = extensive ? "TurboTape Data Block" : kDashes24;
  return {name, "C64 Turbo    "};
}

}  // namespace listing
