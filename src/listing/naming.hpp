// Names of data blocks, read from the loader headers they hold.
//
// type 1 gives the long form of the extensive listing, type 0 the one-line
// form, always 24 characters. The name goes to texts.tstr; the C64 functions
// also put a 13-character kind label in texts.spdstr.
#pragma once

#include <string>

void Identify(int len, const unsigned char *temp, int type);
void IdentifyC64ROM(int pos, const unsigned char *data, int type);
void IdentifyC64Turbo(int pos, const unsigned char *data, int type);
void GetC64ROMName(std::string &name, const unsigned char *data);
void GetC64StandardTurboTapeName(std::string &name, const unsigned char *data);
