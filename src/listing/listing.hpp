// The texts of each block: the one-line text (the "-one" listing and the
// progress line of replay and conversion) and the extensive "-info" listing.
#pragma once

#include <string>

#include "driver/tape.hpp"

// "Block %3d (%5X):  " for the current block: its number and file offset.
std::string Heading();
// Hands a listing text to writeout after counting the screen lines it takes
// beyond the one writeout counts.
void writeout_lines(const std::string &s, int extra);

// One-line texts, printed only while `draw` is set.
void OneLineData(int id);             // 0x10, 0x11, 0x14 (after the block is read)
void OneLineC64(int id);              // 0x16, 0x17 (after the block is read)
void OneLineOther(int id, Body body); // 0x12, 0x13, 0x15, 0x20 and the description blocks

// Extensive texts, through writeout.
void ListSignalBlock(int id, Body body);      // 0x10 to 0x17, 0x20 with a pause
void ListDescriptionBlock(int id, Body body); // 0x21, 0x22, 0x30 to 0x35, 0x40, 0x5A
