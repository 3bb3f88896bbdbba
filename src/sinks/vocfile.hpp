// The Creative Voice File writer: 8-bit unsigned mono, version 1.10.
#pragma once

void InitVOC();
void PlayVOC(unsigned char amp, int len);
void StopVOC();
// Writes value as four bytes, most significant first, in one write.
int lsb_write(int fh, int value);
