// Recording from the line input (-rec): the sound is decoded as it comes
// in. A tape image gets each block as soon as it ends, and is a valid tape
// after every block; a sound file gets the raw recording, and the blocks are
// still decoded and listed. At a terminal a status line shows the level, the
// time recorded and the block under way; each block found prints its line.
#pragma once

#include "driver/console.hpp"
#include "driver/options.hpp"
#include "sinks/line_in.hpp"

namespace driver {

// Records into o.output_name until ESC or q, a signal that ends the program,
// or the terminal's going away; `input` is the line input, not yet begun.
void Record(const Options &o, Console &console, sinks::LineInput &input);

}  // namespace driver
