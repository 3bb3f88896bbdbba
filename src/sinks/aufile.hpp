// The AU file writer: a 32-byte big-endian header and raw 8-bit samples.
#pragma once

#include "sinks/au-file.hpp"

inline SNDSoundStruct auhead;

void InitAU();
void PlayAU(unsigned char amp, int len);
void StopAU();
