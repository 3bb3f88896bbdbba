#include "engine/blocks.hpp"

#include <climits>

#include "engine/pulse.hpp"

namespace {

// A double converted to int, saturating instead of overflowing.
int saturate(double v) {
  if (!(v < 2147483647.0)) return INT_MAX;
  return static_cast<int>(v);
}

// The data bytes, most significant bit first, each bit two pulses of its
// length; of the last byte only its first `lastbyte` bits.
void play_data_bits(PulseWriter &out) {
  const unsigned char *data = params.data;
  for (int pos = 0, left = params.datalen; left != 0; pos++, left--)
    out.data_byte(data[pos], left == 1 ? params.lastbyte : 8, params.sb_bit0, params.sb_bit1);
  params.datapos = params.datalen;
  params.datalen = 0;
  params.bitcount = 0;
}

}  // namespace

int Speed(unsigned b) { return saturate((1710.0 / b) * 100.0); }

int OriginalFrequency(unsigned tstates) { return saturate(3500000.0 / tstates + 0.5); }

void ReadSpectrumBlock(int id, Body body) {
  BlockParams &p = params;
  switch (id) {
    case 0x10:
      p.tzx_pause = static_cast<int>(body.u16(0));
      p.datalen = body.count_inside(4, body.u16(2));
      p.data = body.p + 4;
      // A header (flag 0) has the long pilot tone. A block without data has
      // no flag byte and is not a header.
      p.pilot = (p.datalen > 0 && p.data[0] == 0) ? 8064 : 3220;
      p.t_pilot = 2168, p.t_sync1 = 667, p.t_sync2 = 735, p.t_bit0 = 855, p.t_bit1 = 1710;
      p.sb_pilot = ConvSB(2168);
      p.sb_sync1 = ConvSB(667);
      p.sb_sync2 = ConvSB(735);
      p.sb_bit0 = ConvSB(855);
      p.sb_bit1 = ConvSB(1710);
      p.lastbyte = 8;
      break;
    case 0x11:
      p.t_pilot = static_cast<int>(body.u16(0));
      p.t_sync1 = static_cast<int>(body.u16(2));
      p.t_sync2 = static_cast<int>(body.u16(4));
      p.t_bit0 = static_cast<int>(body.u16(6));
      p.t_bit1 = static_cast<int>(body.u16(8));
      p.sb_pilot = ConvSB(p.t_pilot);
      p.sb_sync1 = ConvSB(p.t_sync1);
      p.sb_sync2 = ConvSB(p.t_sync2);
      p.sb_bit0 = ConvSB(p.t_bit0);
      p.sb_bit1 = ConvSB(p.t_bit1);
      p.speed = Speed(body.u16(8));
      p.pilot = static_cast<int>(body.u16(10));
      p.lastbyte = static_cast<int>(body.u8(12));
      p.tzx_pause = static_cast<int>(body.u16(13));
      p.datalen = body.count_inside(18, body.u24(15));
      p.data = body.p + 18;
      break;
    case 0x12:
      p.t_pilot = static_cast<int>(body.u16(0));
      p.sb_pilot = ConvSB(p.t_pilot);
      p.pilot = static_cast<int>(body.u16(2));
      break;
    case 0x13:
      p.pilot = static_cast<int>(body.u8(0));
      p.data = body.p + 1;
      break;
    case 0x14:
      p.pilot = p.sb_pilot = p.sb_sync1 = p.sb_sync2 = 0;
      p.t_bit0 = static_cast<int>(body.u16(0));
      p.t_bit1 = static_cast<int>(body.u16(2));
      p.sb_bit0 = ConvSB(p.t_bit0);
      p.sb_bit1 = ConvSB(p.t_bit1);
      p.speed = Speed(body.u16(2));
      p.lastbyte = static_cast<int>(body.u8(4));
      p.tzx_pause = static_cast<int>(body.u16(5));
      p.datalen = body.count_inside(10, body.u24(7));
      p.data = body.p + 10;
      break;
    case 0x15:
      p.t_pulse = static_cast<int>(body.u16(0));
      p.sb_pulse = ConvSB(p.t_pulse);
      if (p.sb_pulse == 0) p.sb_pulse = 1;
      p.tzx_pause = static_cast<int>(body.u16(2));
      p.lastbyte = static_cast<int>(body.u8(4));
      p.datalen = body.count_inside(8, body.u24(5));
      p.data = body.p + 8;
      break;
    case 0x20:
      p.tzx_pause = static_cast<int>(body.u16(0));
      engine.amp = kLow;
      break;
  }
}

void PlaySpectrumBlock(int id) {
  BlockParams &p = params;
  switch (id) {
    case 0x10:
    case 0x11:
    case 0x14: {
      {
        PulseWriter out;
        for (int n = p.pilot, len = p.sb_pilot; n != 0; n--) out.pulse(len);
        p.pilot = 0;
        if (p.sb_sync1 != 0) out.pulse(p.sb_sync1);
        if (p.sb_sync2 != 0) out.pulse(p.sb_sync2);
        play_data_bits(out);
      }
      if (p.tzx_pause != 0) {
        // The first millisecond keeps the level the data ended on.
        PauseSB(static_cast<unsigned char>(engine.amp), 1);
        engine.amp = kLow;
        if (p.tzx_pause > 1) PauseSB(kLow, p.tzx_pause - 1);
      }
      break;
    }
    case 0x12: {
      PulseWriter out;
      for (int n = p.pilot, len = p.sb_pilot; n != 0; n--) out.pulse(len);
      p.pilot = 0;
      break;
    }
    case 0x13: {
      PulseWriter out;
      for (int i = 0; i < p.pilot; i++) {
        p.sb_pulse = ConvSB(Get2(p.data));
        out.pulse(p.sb_pulse);
        p.data += 2;
      }
      p.pilot = 0;
      break;
    }
    case 0x15:
      p.datapos = 0;
      while (p.datalen != 0) {
        p.bitcount = p.datalen == 1 ? p.lastbyte : 8;
        p.databyte = p.data[p.datapos];
        while (p.bitcount != 0) {
          engine.amp = (p.databyte & 0x80) ? kHigh : kLow;
          PlaySB(static_cast<unsigned char>(engine.amp), p.sb_pulse);
          p.databyte = static_cast<unsigned char>(p.databyte << 1);
          p.bitcount--;
        }
        p.datapos++;
        p.datalen--;
      }
      engine.amp = kLow;
      if (p.tzx_pause != 0) PauseSB(kLow, p.tzx_pause);
      break;
    case 0x20:
      PauseSB(kLow, p.tzx_pause);
      engine.amp = kLow;
      break;
  }
}
