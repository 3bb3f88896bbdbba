// Expected sample streams and the sound files that hold them, worked out
// from the format rules independently of the program.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace samples {

constexpr uint8_t LOW = 16, HIGH = 240;

// T-states to samples at a rate: rate / 3500000 * n + 0.5, truncated.
inline int conv(int rate, int tstates) { return static_cast<int>(rate / 3500000.0 * tstates + 0.5); }
// Samples in a pause: single-precision product, then / 1000, truncated.
inline int pause(int rate, int ms) {
  float product = static_cast<float>(ms) * static_cast<float>(rate);
  return static_cast<int>(static_cast<double>(product) / 1000.0);
}

// A stream of sample bytes built from runs, with a current level for pulses.
struct Stream {
  std::string bytes;
  uint8_t level = LOW;

  Stream &run(uint8_t value, int n) {
    if (n > 0) bytes.append(static_cast<size_t>(n), static_cast<char>(value));
    return *this;
  }
  // n samples at the current level, then the other level.
  Stream &pulse(int n) {
    run(level, n);
    level = level == LOW ? HIGH : LOW;
    return *this;
  }
  size_t size() const { return bytes.size(); }
};

inline void le(std::string &s, uint64_t v, int n) {
  for (int i = 0; i < n; i++) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void be(std::string &s, uint32_t v) {
  for (int i = 3; i >= 0; i--) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// A complete VOC file holding the samples at the rate.
inline std::string voc_file(const std::string &data, int rate) {
  std::string f = "Creative Voice File";
  f += '\x1A';
  le(f, 0x1A, 2), le(f, 0x010A, 2), le(f, 0x1129, 2);
  if (rate <= 35000) {
    f += '\x01', le(f, 3, 3);
    f += static_cast<char>((256 - 1000000 / rate) & 0xFF);
    f += '\0', f += '\0';
  } else {
    f += '\x09', le(f, 13, 3), le(f, static_cast<uint32_t>(rate), 4);
    f += '\x08', f += '\x01', le(f, 0, 2), le(f, 0, 4);
    f += '\0';
  }
  for (size_t at = 0; at < data.size(); at += 65535) {
    size_t n = std::min<size_t>(65535, data.size() - at);
    f += '\x02', le(f, n, 3);
    f.append(data, at, n);
  }
  le(f, 0, 4);
  return f;
}

// A complete AU file holding the samples at the rate.
inline std::string au_file(const std::string &data, int rate) {
  std::string f;
  be(f, 0x2E736E64), be(f, 32), be(f, static_cast<uint32_t>(data.size())), be(f, 2);
  be(f, static_cast<uint32_t>(rate)), be(f, 1), be(f, 0), be(f, 0);
  return f + data;
}

}  // namespace samples
