// The line that shows a recording as it comes in: its length so far, the
// level of the sound with a meter, the block under way and the counts, and
// a word when the level is wrong.
#pragma once

#include <cstdint>
#include <string>

#include "decode/decoder.hpp"

namespace front {

// The level of the last quarter of a second, and how long it has been quiet.
struct Meter {
  explicit Meter(int rate) : window(static_cast<uint64_t>(rate) / 4) {}
  void add(const float *s, size_t n, double seconds_each);
  const uint64_t window;
  uint64_t in_window = 0;
  float peak = 0, shown = 0;
  bool clipping = false;
  double quiet_for = 0;
};

// "REC 1:23.4  -12 dB [##########------]  block 3: 1234 bytes  2 good, 0 bad";
// `chosen`: the decoder whose blocks are kept, once it is known. `number`:
// the blocks found so far.
std::string RecordingLine(double seconds, bool paused, const Meter &meter, const decode::Decoder *chosen, int number,
                          int good, int bad);

}  // namespace front
