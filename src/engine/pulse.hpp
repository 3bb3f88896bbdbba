// The pulse engine core: T-states to samples, the output level, and the runs
// of one sample value handed to whichever sink is open.
#pragma once

#include <cstdint>

constexpr int kLow = 16;
constexpr int kHigh = 240;
constexpr int kStageSize = 4096;

struct Engine {
  double cycle = 0.0;                        // output samples per T-state
  int amp = kLow;                            // current level: 16 or 240
  unsigned char audio_buffer[kStageSize]{};  // samples staged for the live sink
  int buf_index = 0;                         // samples in audio_buffer
  uint64_t samples = 0;                      // samples emitted in this run
};
inline Engine engine;

// Samples for n T-states: cycle * n + 0.5, truncated.
int ConvSB(int n);
// len samples of the byte value `amp` into the open sink.
void PlaySB(unsigned char amp, int len);
// A pause of tzx_pause milliseconds at level amp.
void PauseSB(unsigned char amp, int tzx_pause);
// Samples PauseSB emits for a pause of the given milliseconds.
int PauseSamples(int tzx_pause);
void ToggleAmp();
