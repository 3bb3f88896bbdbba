// The decoders of Acorn's and the MSX's tapes measured: blocks recovered from
// the real BBC Micro recordings beside the project, and files recovered
// from the sample tapes' own sound (the program's conversion, and castool's
// where it is installed) through simulated recording chains; the whole
// decoder's speed against real time on one core.
//
//   bench_twotone [samples folder]   (default: ../shared/samples beside the source)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <variant>

#include "decode/recording.hpp"
#include "decode/sound.hpp"
#include "format/csw.hpp"
#include "format/failure.hpp"
#include "format/tape.hpp"
#include "format/uef.hpp"
#include "support/cassette.hpp"
#include "support/twotone.hpp"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes load(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

double cpu() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return double(u.ru_utime.tv_sec) + double(u.ru_utime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char **argv) {
  const std::string samples = argc > 1 ? argv[1] : std::string(REELWRIGHT_SOURCE_DIR) + "/../shared/samples/";
  const std::string tmp = (std::filesystem::temp_directory_path() / "reelwright-bench-twotone").string();
  std::filesystem::create_directories(tmp);
  double sound_s = 0, cpu_s = 0;

  std::printf("| real recording | length | blocks with good CRCs | at 300 baud | bad | kept as cycles or bits | decode (CPU) | times real time |\n|---|---|---|---|---|---|---|---|\n");
  for (const char *name : {"bbc-jetsetwilly.csw", "bbc-swarm.csw", "bbc-starquake.csw"}) {
    const Bytes csw = load(samples + "recordings/" + name);
    if (csw.empty()) continue;
    const format::CswHeader h = format::ReadCswHeader(csw);
    const double c0 = cpu();
    const decode::DecodedTape t = decode::DecodeCsw(csw, h, {});
    const double spent = cpu() - c0;
    const format::Tape tape = decode::ReadDecoded(t);
    int good = 0, slow = 0, bad = 0, kept = 0;
    double length = 0;
    for (int i = 0; i < tape.size(); i++) {
      const format::IndexedBlock b = tape.at(i);
      const decode::Check c = t.where[size_t(i)].check;
      bad += c == decode::Check::bad, kept += c == decode::Check::sound;
      if (const auto *f = std::get_if<format::FramedData>(&b.block); f && c == decode::Check::good) good++, slow += f->pulses[0] == 8;
    }
    format::CswPulses p(format::Bytes(csw).subspan(h.data), h.compression);
    for (uint32_t v; p.next(v);) length += double(v) / h.rate;
    sound_s += length, cpu_s += spent;
    std::printf("| %s | %.0f s | %d | %d | %d | %d | %.3f s | %.0f |\n", name, length, good, slow, bad, kept, spent, length / spent);
  }

  const struct {
    const char *sample, *tool;  // castool's format name, for its sound
    const char *speed;          // a switch of the conversion
  } kTapes[] = {{"electron.uef", nullptr, nullptr}, {"bbc-frak.uef", nullptr, nullptr}, {"bbc-300baud.uef", nullptr, nullptr},
                {"msx-basic.cas", nullptr, nullptr}, {"msx-ascii.cas", nullptr, "-2400"}, {"msx-binary.cas", nullptr, nullptr},
                {"electron.uef", "bbc", nullptr},    {"bbc-frak.uef", "bbc", nullptr},     {"msx-basic.cas", "fmsx", nullptr}};
  const std::pair<const char *, cassette::Damage> kChains[] = {
      {"clean", {}},
      {"moderate deck", cassette::kModerate},
      {"worn deck", cassette::kWorn},
      {"direct, 1 kHz, peaks 1.25", cassette::Direct(1000, 1.25, 0, 0)},
      {"direct, 2 kHz, peaks 0.7, ringing, spikes", cassette::Direct(2000, 0.7, 0.6, 3)},
      {"direct, 200 Hz, peaks 1.4, ringing", cassette::Direct(200, 1.4, 0.6, 0)},
      {"direct, 2 kHz, peaks 1.4, spikes, moderate deck", cassette::Direct(2000, 1.4, 0, 3, cassette::kModerate)},
      {"direct, 1 kHz, peaks 0.8, ringing, worn deck", cassette::Direct(1000, 0.8, 0.6, 0, cassette::kWorn)},
  };
  std::printf("\n| tape (its sound by) | chain | blocks of the tape back, in order | marked good | good but wrong | times real time (wall) |\n|---|---|---|---|---|---|\n");
  for (const auto &t : kTapes) {
    const std::string in = samples + t.sample, wav = tmp + "/s.wav";
    if (!std::filesystem::exists(in)) continue;
    const std::string cmd = t.tool ? std::string("castool convert ") + t.tool + " '" + in + "' '" + wav + "' > /dev/null 2>&1"
                                   : std::string("'") + REELWRIGHT_BIN + "' -exact " + (t.speed ? t.speed : "") + " '" + in + "' '" + wav + "' > /dev/null";
    if (std::system(cmd.c_str()) != 0) continue;
    decode::SoundReader r(wav, format::Kind::wav);
    int rate = r.rate();
    std::vector<float> s(r.frames()), other(r.frames());
    s.resize(r.read(s.data(), other.data(), s.size()));
    if (rate < 44100) {  // as a sound card plays it: each sample held
      std::vector<float> held(s.size() * 44100 / size_t(rate));
      for (size_t i = 0; i < held.size(); i++) held[i] = s[i * size_t(rate) / 44100];
      s.swap(held), rate = 44100;
    }
    const format::Kind kind = format::NamedAs(t.sample, ".cas") ? format::Kind::msx : format::Kind::uef;
    const auto want = twotone::Blocks(format::Tape::Read(kind, load(in), {}));
    for (const auto &[chain, damage] : kChains) {
      cassette::write_wav(tmp + "/d.wav", {cassette::play(s, rate, damage)}, rate, 16, false, false);
      size_t back = 0, good = 0, wrong = 0;
      const double c0 = cpu();
      const auto w0 = std::chrono::steady_clock::now();
      try {
        const decode::DecodedTape d = decode::DecodeSound(tmp + "/d.wav", format::Kind::wav, -1, {});
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - w0).count();
        sound_s += double(s.size()) / rate, cpu_s += cpu() - c0;
        const auto got = twotone::Blocks(decode::ReadDecoded(d), d.where);
        // Each of the tape's blocks found after the one before it.
        for (size_t k = 0; const auto &w : want) {
          size_t at = k;
          while (at < got.size() && got[at].bytes != w.bytes) at++;
          if (at < got.size()) back++, k = at + 1;
        }
        for (const twotone::Block &b : got) {
          good += b.good;
          wrong += b.good && std::none_of(want.begin(), want.end(), [&](const twotone::Block &w) { return w.bytes == b.bytes; });
        }
        std::printf("| %s%s%s | %s | %zu of %zu | %zu | %zu | %.0f |\n", t.sample, t.tool ? " (castool)" : "", t.speed ? " at 2400 baud" : "",
                    chain, back, want.size(), good, wrong, double(s.size()) / rate / wall);
      } catch (const format::Failure &f) {
        std::printf("| %s%s%s | %s | 0 of %zu | 0 | 0 | (%s) |\n", t.sample, t.tool ? " (castool)" : "", t.speed ? " at 2400 baud" : "", chain,
                    want.size(), f.what());
      }
      std::fflush(stdout);
    }
  }
  std::printf("\nThe whole decoder (every family hears the sound), one core: %.0f s of sound in %.2f s of CPU, %.0f times real time.\n", sound_s,
              cpu_s, sound_s / cpu_s);
  std::filesystem::remove_all(tmp);
}
