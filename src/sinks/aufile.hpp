// The AU file writer: a 32-byte big-endian header and raw 8-bit samples.
#pragma once

#include "sinks/filesink.hpp"

void InitAU();
void PlayAU(unsigned char amp, int len);
void StopAU();
