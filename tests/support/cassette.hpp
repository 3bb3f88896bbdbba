// A recording chain simulated on samples, for the decoder's tests and its
// benchmark. First the computer's own output as a sound card hears it
// direct: the coupling capacitor's strong high-pass (each edge leaps to its
// peak and sags back towards zero), peaks of one polarity higher than the
// other's, a ring after each edge, now and then an edge that spikes higher.
// Then a cassette deck: speed error, wow and flutter, treble loss, AC
// coupling, level, DC offset, inversion, hiss and dropouts. All from fixed
// settings and a fixed seed (the generator and the noise are this file's
// own, so every machine makes the same sound). And a WAV writer of every
// sample format.
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace cassette {

struct Damage {
  // The computer's output.
  double computer_hz = 0;  // one pole of high-pass there (0: none)
  double peak_ratio = 1;   // the positive peaks against the negative ones
  double ring = 0;         // a damped ring of 7 kHz after each edge, of this fraction of the step
  int spikes = 0;          // edges in a hundred that peak half as high again
  // The deck and the sound card.
  double speed = 0;       // fraction: 0.02 runs 2 % fast
  double wow = 0;         // fraction, peak: a slow wobble, and a fast flutter a third of it
  double treble_hz = 0;   // two poles of low-pass there (0: none)
  double ac_hz = 0;       // one pole of high-pass there
  double level = 1;       // of the signal, full scale 1: its RMS (its peaks, when it comes from the computer direct)
  double dc = 0;          // added, full scale 1
  bool invert = false;
  double snr_db = 200;    // of the signal's RMS to the hiss's
  int dropouts = 0;       // stretches of 4 ms at a tenth of the level
  uint32_t seed = 1;
};

// A small generator of its own (xorshift) and Gaussian numbers from it.
struct Noise {
  uint64_t s;
  explicit Noise(uint32_t seed) : s(0x9E3779B97F4A7C15ull ^ seed) {}
  double uniform() {
    s ^= s << 13, s ^= s >> 7, s ^= s << 17;
    return (static_cast<double>(s >> 11) + 0.5) / 9007199254740992.0;
  }
  double gauss() { return std::sqrt(-2 * std::log(uniform())) * std::cos(2 * std::numbers::pi * uniform()); }
};

// The computer's output into a sound card: the square wave's edges
// (spiked now and then), a ring after each, the coupling's high-pass, the
// positive half scaled against the negative.
inline std::vector<float> computer(const std::vector<float> &in, int rate, const Damage &d) {
  std::vector<float> out(in.size());
  Noise n(d.seed + 99);
  const double a_hp = std::exp(-2 * std::numbers::pi * d.computer_hz / rate), w = 2 * std::numbers::pi * 7000 / rate;
  const double rho = std::exp(-2 * std::numbers::pi * 2500.0 / rate);  // the ring dies in about two of its cycles
  double hp = 0, prev = 0, r1 = 0, r2 = 0;
  for (size_t i = 0; i < in.size(); i++) {
    const double step = i > 0 ? in[i] - in[i - 1] : 0;
    double x = in[i];
    if (step != 0 && n.uniform() * 100 < d.spikes) x += 0.5 * step;  // one sample over the edge
    const double r = 2 * rho * std::cos(w) * r1 - rho * rho * r2 + d.ring * step;
    r2 = r1, r1 = r;
    hp = d.computer_hz > 0 ? a_hp * (hp + x - prev) : x, prev = x;
    const double v = hp + r;
    out[i] = static_cast<float>(v > 0 ? v * d.peak_ratio : v);
  }
  return out;
}

inline std::vector<float> play(const std::vector<float> &source, int rate, const Damage &d) {
  const bool direct = d.computer_hz > 0 || d.peak_ratio != 1 || d.ring > 0 || d.spikes > 0;
  const std::vector<float> &in = direct ? computer(source, rate, d) : source;
  std::vector<float> out;
  const double dt = 1.0 / rate;
  double pos = 0, t = 0, lp1 = 0, lp2 = 0, hp = 0, prev = 0;
  const double a_lp = d.treble_hz > 0 ? 1 - std::exp(-2 * std::numbers::pi * d.treble_hz * dt) : 1;
  const double a_hp = std::exp(-2 * std::numbers::pi * d.ac_hz * dt);
  while (pos + 1 < static_cast<double>(in.size())) {
    const size_t i = static_cast<size_t>(pos);
    const double x = in[i] + (pos - static_cast<double>(i)) * (in[i + 1] - in[i]);
    lp1 += a_lp * (x - lp1), lp2 += a_lp * (lp1 - lp2);
    hp = a_hp * (hp + lp2 - prev), prev = lp2;
    out.push_back(static_cast<float>(d.ac_hz > 0 ? hp : lp2));
    pos += (1 + d.speed) * (1 + d.wow * std::sin(2 * std::numbers::pi * 0.7 * t) + d.wow / 3 * std::sin(2 * std::numbers::pi * 9 * t));
    t += dt;
  }
  // A deck's level is its signal's RMS; the computer's spiky sound is set by its peaks, at 0.9.
  double power = 0, peak = 0;
  for (float v : out) power += double(v) * v, peak = std::max(peak, std::fabs(double(v)));
  const double gain = direct ? 0.9 * d.level / (peak + 1e-30) : d.level / std::sqrt(power / static_cast<double>(out.size()) + 1e-30);
  Noise n(d.seed);
  std::vector<size_t> drops;
  for (int k = 0; k < d.dropouts; k++) drops.push_back(static_cast<size_t>(n.uniform() * static_cast<double>(out.size())));
  const double sigma = d.level * std::pow(10, -d.snr_db / 20);
  for (size_t i = 0; i < out.size(); i++) {
    double v = out[i] * gain * (d.invert ? -1 : 1);
    for (size_t at : drops)
      if (i >= at && i < at + static_cast<size_t>(rate / 250)) v *= 0.1;
    out[i] = static_cast<float>(std::clamp(v + d.dc + sigma * n.gauss(), -1.0, 1.0));
  }
  return out;
}

// Chains at fixed settings: a moderate and a worn deck; a computer's output
// straight into a sound card (alone, over a light deck, or over another).
constexpr Damage kModerate{.speed = 0.02, .wow = 0.003, .treble_hz = 7000, .ac_hz = 25, .snr_db = 30};
constexpr Damage kWorn{.speed = -0.03, .wow = 0.006, .treble_hz = 4000, .ac_hz = 25, .level = 0.3, .dc = 0.05,
                       .invert = true, .snr_db = 24, .dropouts = 3, .seed = 7};
constexpr Damage Direct(double hz, double ratio, double ring, int spikes, Damage deck = {.treble_hz = 12000, .snr_db = 40}) {
  deck.computer_hz = hz, deck.peak_ratio = ratio, deck.ring = ring, deck.spikes = spikes;
  return deck;
}

// A WAV file of channels of samples: PCM of 8 to 32 bits or float of 32 or
// 64, in the extensible form if asked.
inline void write_wav(const std::string &path, const std::vector<std::vector<float>> &ch, int rate, int bits,
                      bool is_float, bool extensible) {
  std::string b;
  auto put = [&b](uint64_t v, int n) {
    for (int i = 0; i < n; i++) b.push_back(static_cast<char>(v >> (8 * i)));
  };
  const size_t frames = ch[0].size(), nch = ch.size(), width = static_cast<size_t>(bits / 8);
  const unsigned tag = is_float ? 3 : 1;
  b += "RIFF", put(0, 4), b += "WAVEfmt ", put(extensible ? 40 : 16, 4), put(extensible ? 0xFFFE : tag, 2);
  put(nch, 2), put(rate, 4), put(rate * nch * width, 4), put(nch * width, 2), put(bits, 2);
  if (extensible) put(22, 2), put(bits, 2), put(nch == 1 ? 4 : 3, 4), put(tag, 2), b += std::string("\0\0\0\0\x10\0\x80\0\0\xAA\0\x38\x9B\x71", 14);
  b += "data", put(frames * nch * width, 4);
  for (size_t f = 0; f < frames; f++)
    for (size_t c = 0; c < nch; c++) {
      const double v = ch[c][f];
      if (is_float && bits == 32) {
        float x = static_cast<float>(v);
        b.append(reinterpret_cast<const char *>(&x), 4);
      } else if (is_float) {
        b.append(reinterpret_cast<const char *>(&v), 8);
      } else {
        const double top = std::ldexp(1.0, bits - 1);
        const int64_t q = std::llround(std::clamp(v * top, -top, top - 1));
        put(bits == 8 ? static_cast<uint64_t>(q + 128) : static_cast<uint64_t>(q), bits / 8);
      }
    }
  for (int i = 0; i < 4; i++) b[4 + static_cast<size_t>(i)] = static_cast<char>((b.size() - 8) >> (8 * i));
  std::ofstream(path, std::ios::binary).write(b.data(), static_cast<std::streamsize>(b.size()));
}

}  // namespace cassette
