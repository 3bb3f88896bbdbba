// The signal of each block type as a pulse stream.
#pragma once

#include <string>

#include "engine/pulse.hpp"
#include "format/blocks.hpp"

namespace engine {

// Puts the block's signal into the stream: pulses, pauses and level changes,
// starting from the stream's current level. Blocks that make no sound put
// nothing. A damaged block plays what is valid of it; the return is then
// what is wrong with it, for a warning (empty when nothing is).
std::string Play(const format::Block &block, PulseStream &s);

// Most pulses a generalized data block makes: a bound on the work a small
// damaged block can cause (the longest real blocks make a few million).
constexpr uint64_t kMaxBlockPulses = 1ull << 28;

}  // namespace engine
