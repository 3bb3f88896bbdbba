// A tape and the sound device it plays on. SDL's "disk" driver (or, under
// Wine, ALSA's file plugin) records the stereo frames the device was given,
// to compare with the samples of the tape's conversion.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace device {

struct Tape {
  harness::TempDir dir;
  std::string tape = dir.file("t.tzx"), device = dir.file("device.raw");
  Tape() = default;
  explicit Tape(const tzx::Tzx &t) { t.save(tape); }
  // SDL's disk driver, writing to `device`.
  std::vector<std::string> sdl() const { return {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + device}; }

  // The sample bytes of a conversion of the tape to AU, with more switches.
  std::string conversion(std::vector<std::string> args = {}) const {
    args.insert(args.end(), {"-au", tape, dir.file("c.au")});
    EXPECT_EQ(harness::run_here(args).status, 0);
    return harness::read_file(dir.file("c.au")).substr(32);
  }

  // What the device was given, a sample byte a frame, from the first sample
  // that is not silence: frames of floats, each exactly a byte's level, or
  // of 16-bit samples, rounded to one; '?' where the two channels differ or
  // a float is no byte's level.
  std::string played(bool sixteen = false) const {
    const std::string raw = harness::read_file(device);
    const size_t frame = sixteen ? 4 : 8;
    std::string s;
    for (size_t i = 0; i + frame <= raw.size(); i += frame) {
      char byte = '?';
      if (sixteen) {
        int16_t l, r;
        std::memcpy(&l, &raw[i], 2), std::memcpy(&r, &raw[i + 2], 2);
        if (l == r) byte = static_cast<char>(128 + (l + (l < 0 ? -128 : 128)) / 256);
      } else {
        float l, r;
        std::memcpy(&l, &raw[i], 4), std::memcpy(&r, &raw[i + 4], 4);
        const int b = static_cast<int>(l * 128.0f + 128.0f);
        if (l == r && (b - 128) / 128.0f == l) byte = static_cast<char>(b);
      }
      s += byte;
    }
    return s.substr(std::min(s.size(), s.find_first_not_of('\x80')));
  }
};

// The -one listing of a tape from its second block on (the first is a
// recording's description, which names the source), without the offsets.
inline std::string blocks(const std::string &path) {
  std::istringstream one(harness::run_here({"-one", path}).out);
  std::string s;
  for (std::string l; std::getline(one, l);)
    if (l.size() > 10 && l[3] == '-' && l.compare(0, 4, "  1-") != 0) s += l.substr(10) + "\n";
  return s;
}

}  // namespace device
