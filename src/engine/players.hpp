// The signal of each block type as a pulse stream.
#pragma once

#include "engine/pulse.hpp"
#include "format/blocks.hpp"

namespace engine {

// Puts the block's signal into the stream: pulses, pauses and level changes,
// starting from the stream's current level. Blocks that make no sound put
// nothing.
void Play(const format::Block &block, PulseStream &s);

}  // namespace engine
