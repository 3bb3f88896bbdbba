// What a tape holds, shown and taken out: its BASIC listed (-basic), its
// blocks' bytes dumped (-hex), its loading screens as pictures (-screen),
// its files written into a folder (-extract).
#pragma once

#include "driver/console.hpp"
#include "driver/options.hpp"
#include "format/tape.hpp"

namespace driver {

// Over the blocks from index `first` up to `end` (not included), each of
// the switches asked for, in that order.
void ShowContents(const Options &o, Console &console, const format::Tape &tape, int first, int end);

}  // namespace driver
