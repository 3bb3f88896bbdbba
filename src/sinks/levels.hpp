// What the engine's two levels become in an output. The engine hands every
// output the sample bytes 16 (low) and 240 (high); each output turns them
// into its own sample values here, shaped by the switches of the signal:
// -vol sets the amplitude, -invert swaps the levels, -16 asks for 16-bit
// samples. Without them every output keeps its usual levels.
#pragma once

#include <cstdint>

namespace sinks {

// The switches that shape the levels.
struct Signal {
  int volume = 0;       // per cent of full scale, 1 to 100; 0: the usual levels
  bool invert = false;  // high and low swapped
  bool wide = false;    // 16-bit samples
};

// Whether a sample byte the engine made is its high level.
constexpr bool IsHigh(uint8_t level) { return level >= 128; }

// The two levels as signed sample values, the middle of the range being 0.
struct Levels {
  int32_t low = 0, high = 0;
};

// The usual levels, as signed 8-bit values: ±112 of 128 (the sample bytes 16
// and 240 of VOC and WAV, ±0.875 of full scale live) ...
constexpr Levels kUsual{-112, 112};
// ... and in AU, whose signed samples hold the same bytes: +16 and -16.
constexpr Levels kUsualAu{16, -16};

// The levels at `bits` bits (8 or 16), full scale being 2^(bits - 1): with a
// volume, that per cent of full scale, rounded (and at most full scale less
// one); without one, the usual 8-bit levels, times 256 at 16 bits.
Levels LevelsAt(const Signal &s, const Levels &usual, int bits);

// For a sound device of float samples, full scale being ±1.0.
struct FloatLevels {
  float low = 0, high = 0;
  float of(uint8_t level) const { return IsHigh(level) ? high : low; }
};
FloatLevels FloatLevelsOf(const Signal &s, const Levels &usual = kUsual);

}  // namespace sinks
