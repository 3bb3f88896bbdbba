#include "sinks/levels.hpp"

namespace sinks {

namespace {

Levels Ordered(int32_t low, int32_t high, bool invert) { return invert ? Levels{high, low} : Levels{low, high}; }

}  // namespace

Levels LevelsAt(const Signal &s, const Levels &usual, int bits) {
  const int32_t full = int32_t(1) << (bits - 1);
  if (s.volume == 0) {
    const int32_t scale = full / 128;
    return Ordered(usual.low * scale, usual.high * scale, s.invert);
  }
  int32_t amplitude = (s.volume * full + 50) / 100;
  if (amplitude >= full) amplitude = full - 1;
  return Ordered(-amplitude, amplitude, s.invert);
}

FloatLevels FloatLevelsOf(const Signal &s, const Levels &usual) {
  const Levels l = s.volume == 0 ? usual : Levels{-s.volume, s.volume};
  const float full = s.volume == 0 ? 128.0f : 100.0f;
  const float low = static_cast<float>(l.low) / full, high = static_cast<float>(l.high) / full;
  return s.invert ? FloatLevels{high, low} : FloatLevels{low, high};
}

}  // namespace sinks
