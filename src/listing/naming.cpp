#include "listing/naming.hpp"

#include <cstring>

#include "driver/settings.hpp"
#include "engine/blocks.hpp"
#include "listing/text.hpp"

namespace {

const char *const kLongLabel[4] = {"Program : ", "Num. Array : ", "Char. Array : ", "Bytes : "};
const char *const kShortLabel[4] = {"    Program : ", " Num. Array : ", "Char. Array : ", "      Bytes : "};

// Byte i of a block's data, or 0 past its end.
unsigned char at(const unsigned char *d, int len, int i) { return i < len ? d[i] : 0; }

// The 10-character name of a Spectrum or Sam Coupe header.
std::string header_name(const unsigned char *d, int len) {
  std::string name;
  for (int i = 2; i < 12; i++) {
    unsigned char c = at(d, len, i);
    name += (c >= 0x20 && c <= 0x7E) ? static_cast<char>(c) : ' ';
  }
  return name;
}

void headerless(int type, const char *short_form) { texts.tstr = type ? "Headerless" : short_form; }

void c64_name(std::string &name, const unsigned char *data, int first) {
  name.clear();
  for (int i = first; i < first + 16; i++) {
    unsigned char c = data[i];
    name += (c >= 32 && c <= 125) ? static_cast<char>(c) : ' ';
  }
}

bool countdown(const unsigned char *data, int len, unsigned char first) {
  if (len < 9) return false;
  for (int i = 0; i < 9; i++)
    if (data[i] != first - i) return false;
  return true;
}

const char kDashes24[] = "------------------------";

}  // namespace

void Identify(int len, const unsigned char *temp, int type) {
  const unsigned char flag = at(temp, len, 0), kind = at(temp, len, 1);
  if (settings.cpc) {
    if (len > 0 && flag == ',') {
      std::string name;
      for (int i = 1; i <= 16; i++) {
        unsigned char c = at(temp, len, i);
        name += c ? static_cast<char>(c) : ' ';
      }
      texts.tstr = type ? name + "    " : "    " + name + "    ";
    } else {
      headerless(type, "    ------------------  ");
    }
    return;
  }
  int label = -1;
  if (settings.sam) {
    if (len > 0 && flag == 1 && len >= 81 && len <= 83 && kind >= 0x10 && kind <= 0x13) label = kind - 0x10;
  } else if (len > 0 && flag == 0 && (len == 19 || len == 20) && kind <= 3) {
    label = kind;
  }
  if (label < 0) {
    headerless(type, "    --------------------");
    return;
  }
  texts.tstr = std::string(type ? kLongLabel[label] : kShortLabel[label]) + header_name(temp, len);
}

void GetC64ROMName(std::string &name, const unsigned char *data) { c64_name(name, data, 14); }

void GetC64StandardTurboTapeName(std::string &name, const unsigned char *data) { c64_name(name, data, 15); }

void IdentifyC64ROM(int pos, const unsigned char *data, int type) {
  const BlockParams &p = params;
  if (p.sb_pilot != 616 || p.sb_sync1 != 1176 || p.sb_sync2 != 896 || p.sb_bit0_f != 616 || p.sb_bit0_s != 896 ||
      p.sb_bit1_f != 896 || p.sb_bit1_s != 616 || p.xortype != 1) {
    texts.tstr = type ? "Unknown" : kDashes24;
    texts.spdstr = "C64 Data     ";
    return;
  }
  if (countdown(data, pos, 0x89)) {
    if (pos == 202) {
      std::string name;
      GetC64ROMName(name, data);
      texts.tstr = (type ? "ROM Header: " : "Header: ") + name;
    } else {
      texts.tstr = type ? "ROM: Data Block" : "Data Block              ";
    }
  } else {
    texts.tstr = type ? "ROM: Last Block Repeated" : kDashes24;
  }
  texts.spdstr = "C64 ROM Data ";
}

void IdentifyC64Turbo(int pos, const unsigned char *data, int type) {
  const BlockParams &p = params;
  if (p.sb_bit0 != 426 || p.sb_bit1 != 596 || p.lead_in_byte != 2) {
    texts.tstr = type ? "Unknown" : kDashes24;
    texts.spdstr = "C64 Data     ";
    return;
  }
  if (countdown(data, pos, 9)) {
    if (pos == 32 && data[9] != 0) {
      std::string name;
      GetC64StandardTurboTapeName(name, data);
      texts.tstr = (type ? "TurboTape Header: " : "Header: ") + name;
    } else {
      texts.tstr = type ? "TurboTape Data Block" : kDashes24;
    }
  } else {
    texts.tstr = type ? "TurboTape Unknown" : kDashes24;
  }
  texts.spdstr = "C64 Turbo    ";
}
