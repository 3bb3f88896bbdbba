#include "engine/blocks.hpp"
#include "engine/pulse.hpp"

namespace {

// The bit that goes out next, and the byte moved on to the one after it.
// Least significant first shifts right as a signed byte does, so bit 7 is
// copied in from the top.
int next_bit(unsigned char &byte) {
  int bit;
  if (params.endian == 0) {
    bit = byte & 1;
    byte = static_cast<unsigned char>((byte >> 1) | (byte & 0x80));
  } else {
    bit = (byte >> 7) & 1;
    byte = static_cast<unsigned char>(byte << 1);
  }
  return bit;
}

void waves(int first, int second) {
  if (first != 0) PlayC64SB(first);
  if (second != 0) PlayC64SB(second);
}

void rom_bit(int bit) {
  if (bit) waves(params.sb_bit1_f, params.sb_bit1_s);
  else waves(params.sb_bit0_f, params.sb_bit0_s);
}

void additional_bits(int n) {
  for (int i = 0; i < n; i++) PlayC64SB((params.add_bit & 8) ? params.sb_bit1 : params.sb_bit0);
}

void c64_pause() {
  if (params.tzx_pause == 0) return;
  int h = params.tzx_pause / 2;
  PauseSB(static_cast<unsigned char>(engine.amp), h);
  ToggleAmp();
  PauseSB(static_cast<unsigned char>(engine.amp), params.tzx_pause - h);
  ToggleAmp();
}

}  // namespace

void PlayC64SB(int len) {
  PlaySB(static_cast<unsigned char>(engine.amp), len);
  ToggleAmp();
  PlaySB(static_cast<unsigned char>(engine.amp), len);
  ToggleAmp();
}

void PlayC64ROMByte(unsigned char byte, int finish) {
  params.xorvalue = params.xortype;
  while (params.bitcount != 0) {
    int bit = next_bit(byte);
    rom_bit(bit);
    params.xorvalue ^= bit;
    params.bitcount--;
  }
  if (params.xortype != 0xFF) rom_bit(params.xorvalue != 0);
  if (finish) waves(params.sb_finishdata_f, params.sb_finishdata_s);
  else waves(params.sb_finishbyte_f, params.sb_finishbyte_s);
}

void PlayC64TurboByte(unsigned char byte) {
  const int n = params.add_bit & 3;
  if (n != 0 && !(params.add_bit & 4)) additional_bits(n);
  while (params.bitcount != 0) {
    PlayC64SB(next_bit(byte) ? params.sb_bit1 : params.sb_bit0);
    params.bitcount--;
  }
  if (n != 0 && (params.add_bit & 4)) additional_bits(n);
}

void ReadC64Block(int id, Body body) {
  BlockParams &p = params;
  if (id == 0x16) {
    p.sb_pilot = static_cast<int>(body.u16(4));
    p.pilot = static_cast<int>(body.u16(6));
    p.sb_sync1 = static_cast<int>(body.u16(8));
    p.sb_sync2 = static_cast<int>(body.u16(10));
    p.sb_bit0_f = static_cast<int>(body.u16(12));
    p.sb_bit0_s = static_cast<int>(body.u16(14));
    p.sb_bit1_f = static_cast<int>(body.u16(16));
    p.sb_bit1_s = static_cast<int>(body.u16(18));
    p.xortype = static_cast<int>(body.u8(20));
    p.sb_finishbyte_f = static_cast<int>(body.u16(21));
    p.sb_finishbyte_s = static_cast<int>(body.u16(23));
    p.sb_finishdata_f = static_cast<int>(body.u16(25));
    p.sb_finishdata_s = static_cast<int>(body.u16(27));
    p.sb_trailing = static_cast<int>(body.u16(29));
    p.trailing = static_cast<int>(body.u16(31));
    p.lastbyte = static_cast<int>(body.u8(33));
    p.endian = static_cast<int>(body.u8(34));
    p.tzx_pause = static_cast<int>(body.u16(35));
    p.datalen = body.count_inside(40, body.u24(37));
    p.data = body.from(40).p;
  } else {
    p.sb_bit0 = static_cast<int>(body.u16(4));
    p.sb_bit1 = static_cast<int>(body.u16(6));
    p.add_bit = static_cast<unsigned char>(body.u8(8));
    p.num_lead_in = static_cast<int>(body.u16(9));
    p.lead_in_byte = static_cast<unsigned char>(body.u8(11));
    p.lastbyte = static_cast<int>(body.u8(12));
    p.endian = static_cast<int>(body.u8(13));
    p.trailing = static_cast<int>(body.u16(14));
    p.sb_trailing = static_cast<int>(body.u8(16));
    p.tzx_pause = static_cast<int>(body.u16(17));
    p.datalen = body.count_inside(22, body.u24(19));
    p.data = body.from(22).p;
  }
}

void PlayC64Block(int id) {
  BlockParams &p = params;
  if (id == 0x16) {
    for (int *v : {&p.sb_pilot, &p.sb_sync1, &p.sb_sync2, &p.sb_bit1_f, &p.sb_bit1_s, &p.sb_bit0_f, &p.sb_bit0_s,
                   &p.sb_finishbyte_f, &p.sb_finishbyte_s, &p.sb_finishdata_f, &p.sb_finishdata_s, &p.sb_trailing})
      *v = ConvSB(*v);
    engine.amp = kLow;
    while (p.pilot != 0) {
      PlayC64SB(p.sb_pilot);
      p.pilot--;
    }
    waves(p.sb_sync1, p.sb_sync2);
    p.datapos = 0;
    while (p.datalen != 0) {
      int last = p.datalen == 1;
      p.bitcount = last ? p.lastbyte : 8;
      PlayC64ROMByte(p.data[p.datapos], last);
      p.datapos++;
      p.datalen--;
    }
    while (p.trailing != 0) {
      PlayC64SB(p.sb_trailing);
      p.trailing--;
    }
  } else {
    p.sb_bit1 = ConvSB(p.sb_bit1);
    p.sb_bit0 = ConvSB(p.sb_bit0);
    engine.amp = kLow;
    while (p.num_lead_in != 0) {
      p.bitcount = 8;
      PlayC64TurboByte(p.lead_in_byte);
      p.num_lead_in--;
    }
    p.datapos = 0;
    while (p.datalen != 0) {
      p.bitcount = p.datalen == 1 ? p.lastbyte : 8;
      PlayC64TurboByte(p.data[p.datapos]);
      p.datapos++;
      p.datalen--;
    }
    while (p.trailing != 0) {
      p.bitcount = 8;
      PlayC64TurboByte(static_cast<unsigned char>(p.sb_trailing));
      p.trailing--;
    }
  }
  c64_pause();
}
