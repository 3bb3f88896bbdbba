// Reading and playback of the blocks that make sound.
//
// Each block is first read into the shared parameters (in every mode, as the
// listings print from them) and then, in replay or conversion only, played.
#pragma once

#include "driver/tape.hpp"

struct BlockParams {
  // Spectrum-style blocks (and shared with the C64 ones).
  int pilot = 0;        // pilot/tone/sequence pulses; C64: pilot waves
  int sb_pilot = 0;     // pilot or tone pulse, samples (C64: T-states until played)
  int sb_sync1 = 0;
  int sb_sync2 = 0;
  int sb_bit0 = 0;
  int sb_bit1 = 0;
  int sb_pulse = 0;     // current sequence pulse, or samples per recorded sample
  int sb_bit = 0;       // pulse length of the bit being played
  int lastbyte = 0;     // bits used in the last data byte
  int tzx_pause = 0;    // pause after the block, milliseconds
  const unsigned char *data = nullptr;  // the block's first data byte
  int datalen = 0;      // data bytes
  int datapos = 0;
  int bitcount = 0;
  unsigned char databyte = 0;
  int speed = 0;        // relative speed of a 0x11/0x14 block, percent

  // Raw T-state fields as read, for the listings.
  int t_pilot = 0, t_sync1 = 0, t_sync2 = 0, t_bit0 = 0, t_bit1 = 0, t_pulse = 0;

  // C64 blocks.
  int sb_bit0_f = 0, sb_bit0_s = 0, sb_bit1_f = 0, sb_bit1_s = 0;
  int xortype = 0;
  int sb_finishbyte_f = 0, sb_finishbyte_s = 0;
  int sb_finishdata_f = 0, sb_finishdata_s = 0;
  int sb_trailing = 0;  // 0x16: trailing tone pulse; 0x17: trailing byte value
  int trailing = 0;     // 0x16: trailing waves; 0x17: trailing bytes
  int endian = 0;       // 0: least significant bit first
  int num_lead_in = 0;
  unsigned char lead_in_byte = 0;
  unsigned char add_bit = 0;
  int xorvalue = 0;
};
inline BlockParams params;

// Relative speed in percent for a bit-1 pulse of b T-states (saturating).
int Speed(unsigned b);
// Sample rate of a direct recording with the given T-states per sample.
int OriginalFrequency(unsigned tstates);

// Spectrum-style blocks 0x10 to 0x15 and 0x20.
void ReadSpectrumBlock(int id, Body body);
void PlaySpectrumBlock(int id);

// C64 blocks 0x16 and 0x17.
void ReadC64Block(int id, Body body);
void PlayC64Block(int id);
void PlayC64SB(int len);
void PlayC64ROMByte(unsigned char byte, int finish);
void PlayC64TurboByte(unsigned char byte);
