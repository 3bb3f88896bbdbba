#include "sinks/live.hpp"

#include "format/failure.hpp"
#include "sinks/ring.hpp"

namespace sinks {

int LiveOutput::begin(int rate) {
  if (open_audio(&rate, messages_) != 0)
    throw format::Failure("No sound output could be opened! Use -voc or -au to write a sound file instead.");
  return rate;
}

void LiveOutput::run(uint8_t value, uint64_t count) { play_run(value, count); }

void LiveOutput::samples(std::span<const uint8_t> s) { play_buffer(s.data(), s.size()); }

void LiveOutput::finish() { close_audio(); }

void LiveOutput::abandon() { abandon_audio(); }

}  // namespace sinks
