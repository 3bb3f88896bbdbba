// The header record of an AU sound file, stored big-endian.
#pragma once

struct SNDSoundStruct {
  int magic = 0;          // ".snd"
  int dataLocation = 0;   // offset of the first sample
  int dataSize = 0;       // sample bytes
  int dataFormat = 0;     // 2: 8-bit linear
  int samplingRate = 0;   // samples per second
  int channelCount = 0;   // 1: mono
  char info[4] = {0, 0, 0, 0};
};
