// The decoder measured: blocks recovered from the real recordings beside
// the project and through simulated recording chains (a computer's output
// straight into a sound card, cassette decks at several levels of damage,
// and both), against fuse-utils' audio2tape when it is installed; decode
// speed against real time; peak memory for a 5- and a 60-minute recording
// (which shows whether memory grows with the recording).
//
//   bench_decode [folder] [--no-speed]   (default: a folder under /tmp, removed after)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "decode/recording.hpp"
#include "decode/sound.hpp"
#include "format/commodore_files.hpp"
#include "format/tape.hpp"
#include "support/cassette.hpp"
#include "support/tzx.hpp"

namespace {

using namespace tzx;

// A tape of 24 data blocks: ROM-speed header and data pairs, turbo blocks of
// three speeds, CPC-style blocks, a block of one byte, a long turbo block at the end.
std::vector<Bytes> make_tape(const std::string &path) {
  cassette::Noise r(5);
  auto bytes = [&r](size_t n) {
    Bytes b(n);
    for (uint8_t &c : b) c = static_cast<uint8_t>(r.uniform() * 256);
    return b;
  };
  Tzx t;
  std::vector<Bytes> blocks;
  auto add = [&](const Bytes &d, const Turbo *turbo) {
    turbo ? t.turbo(*turbo, 8, 1000, d) : t.standard(1000, d);
    blocks.push_back(d);
  };
  const Turbo fast{1800, 500, 560, 600, 1200, 1500}, faster{1200, 350, 400, 400, 800, 1200};
  for (int i = 0; i < 8; i++) {
    add(spectrum_header(3, "block" + std::to_string(i), 200, 32768, 0), nullptr);
    add(data_block(0xFF, bytes(200 + 300 * static_cast<size_t>(i))), nullptr);
  }
  for (int i = 0; i < 3; i++) add(data_block(0x33, bytes(500)), &fast), add(data_block(0x44, bytes(500)), &faster);
  add(data_block(0xFF, {}), nullptr);
  add(data_block(0xAA, bytes(4000)), &faster);
  t.save(path);
  return blocks;
}

format::Bytes data_of(const format::Block &b) {
  if (const auto *s = std::get_if<format::StandardData>(&b)) return s->data;
  if (const auto *t = std::get_if<format::TurboData>(&b)) return t->data;
  return {};
}

// Of a tape image's blocks (those marked good alone, when `good` is given):
// how many of the wanted ones are there, and how many marked good are none of them.
struct Count {
  int right = 0, wrong = 0;
};
Count count(const std::vector<uint8_t> &image, const std::vector<Bytes> &want, const std::vector<decode::Where> *good) {
  const format::Tape tape = format::Tape::FromTzx(image);
  std::set<size_t> got;
  Count c;
  for (int i = 0; i < tape.size(); i++) {
    if (good && (*good)[static_cast<size_t>(i)].check != decode::Check::good) continue;
    const format::Bytes d = data_of(tape.at(i).block);
    if (d.empty()) continue;
    size_t k = 0;
    while (k < want.size() && !std::equal(d.begin(), d.end(), want[k].begin(), want[k].end())) k++;
    k < want.size() ? (void)got.insert(k) : (void)(c.wrong += good != nullptr);
  }
  c.right = static_cast<int>(got.size());
  return c;
}

// The bytes of each good ROM file of a Commodore TAP file.
std::vector<std::vector<uint8_t>> RomFiles(const std::vector<uint8_t> &image) {
  std::vector<std::vector<uint8_t>> out;
  try {
    const format::Tape t = format::Tape::Read(format::Kind::commodore, image, {});
    for (int i = 0; i < t.size(); i++) {
      const format::Block b = t.at(i).block;
      if (const auto *p = std::get_if<format::CommodorePulses>(&b); p && p->file && p->file->good()) out.push_back(p->file->bytes());
    }
  } catch (const std::exception &) {
  }
  return out;
}

std::vector<uint8_t> slurp(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

struct Run {
  double wall = 0, cpu = 0;  // seconds: the run's own CPU time is what a busy machine does not change
  long peak_kib = 0;
  int status = -1;
};
Run run(const std::vector<std::string> &args) {
  std::fflush(stdout);
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    std::vector<char *> a;
    for (const std::string &s : args) a.push_back(const_cast<char *>(s.c_str()));
    a.push_back(nullptr);
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
    execvp(a[0], a.data());
    _exit(127);
  }
  int st = 0;
  rusage ru{};
  wait4(pid, &st, 0, &ru);
  Run r;
  r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  r.peak_kib = ru.ru_maxrss;
  r.cpu = static_cast<double>(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

std::vector<float> read_all(const std::string &path, int &rate) {
  decode::SoundReader in(path, format::Kind::wav);
  rate = in.rate();
  std::vector<float> a(in.frames()), b(in.frames());
  a.resize(in.read(a.data(), b.data(), a.size()));
  return a;
}

}  // namespace

int main(int argc, char **argv) {
  const bool speed = !(argc > 2 && std::string(argv[2]) == "--no-speed");
  const std::string dir = argc > 1 ? argv[1] : std::filesystem::temp_directory_path() / "reelwright-bench-decode";
  std::filesystem::create_directories(dir);
  const std::string bin = REELWRIGHT_BIN;
  const bool peer = std::filesystem::exists("/usr/bin/audio2tape");
  const std::vector<Bytes> want = make_tape(dir + "/source.tzx");
  run({bin, "-exact", "-16", dir + "/source.tzx", dir + "/clean.wav"});
  // Speed and memory first, while this program is small (a child's peak
  // memory counts what it had at the fork): the program's clean sound
  // repeated to 247 s, 5 and 60 minutes, copied a piece at a time.
  if (speed) std::printf("| recording | decode time (wall) | CPU time | times real time (by CPU) | peak memory |\n|---|---|---|---|---|\n");
  for (int seconds : {247, 300, 3600}) {
    if (!speed) break;
    const std::string wav = dir + "/long.wav";
    std::ifstream in(dir + "/clean.wav", std::ios::binary);
    std::string head(44, '\0'), piece(1 << 20, '\0');
    in.read(head.data(), 44);
    const uint64_t bytes = static_cast<uint64_t>(seconds) * 44100 * 2;
    for (int i = 0; i < 4; i++) head[40 + i] = static_cast<char>(bytes >> (8 * i)), head[4 + i] = static_cast<char>((bytes + 36) >> (8 * i));
    std::ofstream out(wav, std::ios::binary);
    out << head;
    for (uint64_t left = bytes; left > 0;) {
      in.read(piece.data(), static_cast<std::streamsize>(std::min<uint64_t>(left, piece.size())));
      if (in.gcount() == 0) in.clear(), in.seekg(44);  // the clean sound again from its start
      out.write(piece.data(), in.gcount());
      left -= static_cast<uint64_t>(in.gcount());
    }
    out.close();
    const Run r = run({bin, wav, "-one"});
    std::printf("| %d s, 44100 Hz mono 16-bit | %.3f s | %.3f s | %.0f | %ld KiB |\n", seconds, r.wall, r.cpu, seconds / r.cpu,
                r.peak_kib);
    std::filesystem::remove(wav);
    std::fflush(stdout);
  }
  if (speed) std::printf("\n");

  // The real recordings beside the project, and the blocks their checksums prove.
  const std::string real = std::string(REELWRIGHT_SOURCE_DIR) + "/../shared/samples/recordings/";
  std::printf("| real recording | reelwright: good blocks | audio2tape: good blocks |\n|---|---|---|\n");
  for (const char *name : {"spectrum-header.wav", "spectrum-data.wav"}) {
    if (!std::filesystem::exists(real + name)) continue;
    int ours = 0, theirs = 0;
    try {
      for (const decode::Where &w : decode::DecodeSound(real + name, format::Kind::wav, -1, {}).where) ours += w.check == decode::Check::good;
    } catch (const std::exception &) {
    }
    if (peer) {
      std::filesystem::remove(dir + "/theirs.tzx");
      run({"audio2tape", real + name, dir + "/theirs.tzx"});
      const format::Tape t = format::Tape::FromTzx(slurp(dir + "/theirs.tzx"));
      for (int i = 0; i < t.size(); i++) {
        const format::Bytes d = data_of(t.at(i).block);
        uint8_t x = 0;
        for (uint8_t c : d) x ^= c;
        theirs += d.size() >= 2 && x == 0;
      }
    }
    std::printf("| %s | %d | %s |\n", name, ours, peer ? std::to_string(theirs).c_str() : "not installed");
  }
  std::printf("\n");

  int rate = 0;
  const std::vector<float> clean = read_all(dir + "/clean.wav", rate);
  const double minutes = static_cast<double>(clean.size()) / rate / 60;
  std::printf("Tape: %zu data blocks, %.1f minutes at %d Hz\n\n", want.size(), minutes, rate);

  using cassette::Damage;
  const Damage moderate{.speed = 0.02, .wow = 0.003, .treble_hz = 7000, .ac_hz = 25, .snr_db = 30};
  const Damage worn{.speed = -0.03, .wow = 0.006, .treble_hz = 4000, .ac_hz = 25, .level = 0.3, .dc = 0.05, .invert = true, .snr_db = 24, .dropouts = 3, .seed = 7};
  // A computer's output straight into a sound card (12 kHz of bandwidth, 40 dB of hiss) ...
  auto direct = [](double hz, double ratio, double ring, int spikes) {
    return Damage{.computer_hz = hz, .peak_ratio = ratio, .ring = ring, .spikes = spikes, .treble_hz = 12000, .snr_db = 40};
  };
  // ... and into a deck.
  auto through = [](Damage computer, const Damage &deck) {
    Damage d = deck;
    d.computer_hz = computer.computer_hz, d.peak_ratio = computer.peak_ratio, d.ring = computer.ring, d.spikes = computer.spikes;
    return d;
  };
  struct Level {
    std::string name;
    Damage d;
  };
  const Level levels[] = {
      {"clean", {}},
      {"light: 40 dB, 1% fast, 0.1% wow, 10 kHz", {.speed = 0.01, .wow = 0.001, .treble_hz = 10000, .ac_hz = 20, .snr_db = 40}},
      {"moderate: 30 dB, 2%, 0.3% wow, 7 kHz, 25 Hz", moderate},
      {"worn: 24 dB, -3%, 0.6% wow, 4 kHz, DC, inverted, 3 dropouts", worn},
      {"severe: 18 dB, 4%, 1% wow, 3 kHz, 6 dropouts",
       {.speed = 0.04, .wow = 0.01, .treble_hz = 3000, .ac_hz = 40, .level = 0.2, .dc = -0.1, .snr_db = 18, .dropouts = 6, .seed = 11}},
      {"direct: 200 Hz high-pass", direct(200, 1, 0, 0)},
      {"direct: 700 Hz high-pass", direct(700, 1, 0, 0)},
      {"direct: 1 kHz high-pass", direct(1000, 1, 0, 0)},
      {"direct: 2 kHz high-pass", direct(2000, 1, 0, 0)},
      {"direct: peaks 0.7", direct(0, 0.7, 0, 0)},
      {"direct: peaks 1.4", direct(0, 1.4, 0, 0)},
      {"direct: ringing edges", direct(0, 1, 0.6, 0)},
      {"direct: 1 kHz, peaks 1.25", direct(1000, 1.25, 0, 0)},
      {"direct: 1 kHz, peaks 0.8, ringing, spikes", direct(1000, 0.8, 0.6, 3)},
      {"direct: 2 kHz, peaks 1.4, ringing, spikes", direct(2000, 1.4, 0.6, 3)},
      {"direct: 200 Hz, peaks 0.7, ringing", direct(200, 0.7, 0.6, 0)},
      {"direct 1 kHz, peaks 1.25, ringing + moderate deck", through(direct(1000, 1.25, 0.6, 0), moderate)},
      {"direct 2 kHz, peaks 0.7, spikes + moderate deck", through(direct(2000, 0.7, 0, 3), moderate)},
      {"direct 1 kHz, peaks 1.25, ringing + worn deck", through(direct(1000, 1.25, 0.6, 0), worn)},
      {"direct 2 kHz, peaks 1.4, spikes + worn deck", through(direct(2000, 1.4, 0, 3), worn)},
  };
  std::printf("| condition | reelwright: good blocks | marked good but wrong | audio2tape: right blocks |\n|---|---|---|---|\n");
  for (const Level &l : levels) {
    const std::string wav = dir + "/deck.wav", theirs = dir + "/theirs.tzx";
    cassette::write_wav(wav, {cassette::play(clean, rate, l.d)}, rate, 16, false, false);
    std::filesystem::remove(theirs);
    Count ours;
    try {
      const decode::DecodedTape t = decode::DecodeSound(wav, format::Kind::wav, -1, {});
      ours = count(t.image, want, &t.where);
    } catch (const std::exception &e) {
      std::fprintf(stderr, "%s: %s\n", l.name.c_str(), e.what());
    }
    std::string a2t = "not installed";
    if (peer) run({"audio2tape", wav, theirs}), a2t = std::to_string(count(slurp(theirs), want, nullptr).right);
    std::printf("| %s | %d of %zu | %d | %s of %zu |\n", l.name.c_str(), ours.right, want.size(), ours.wrong, a2t.c_str(), want.size());
    std::fflush(stdout);
  }

  // The ZX81's and the C64's tapes: the real ZX81 cassette, and each sample's
  // own sound through the same chains, decoded into its machine's image.
  const std::string samples = std::string(REELWRIGHT_SOURCE_DIR) + "/../shared/samples/";
  if (std::filesystem::exists(samples + "zx81.p")) {
    std::printf("\n| ZX81 and C64 | condition | reelwright: the same program or files |\n|---|---|---|\n");
    std::filesystem::remove(dir + "/real.p81");
    run({bin, samples + "recordings/zx81-stocks.wav", dir + "/real.p81"});
    std::printf("| zx81-stocks.wav | real cassette | %s |\n",
                slurp(dir + "/real.p81") == slurp(samples + "recordings/zx81-stocks.p81") ? "yes, byte for byte" : "no");
    for (const char *sample : {"zx81.p", "c64-v1.tap"}) {
      const std::string own = dir + "/own.wav", ext = std::string(sample).substr(std::string(sample).rfind('.'));
      std::filesystem::remove(own);
      run({bin, samples + sample, own});
      int r = 0;
      const std::vector<float> sound = read_all(own, r);
      for (const Level &l : levels) {
        const std::string wav = dir + "/m.wav", out = dir + "/m" + ext, again = dir + "/again" + ext;
        cassette::write_wav(wav, {cassette::play(sound, r, l.d)}, r, 16, false, false);
        std::filesystem::remove(out), std::filesystem::remove(again);
        run({bin, wav, out});
        bool same = slurp(out) == slurp(samples + sample);
        // A TAP file of measured pulses differs from the sample's: its ROM files are compared.
        if (ext == ".tap") same = !RomFiles(slurp(out)).empty() && RomFiles(slurp(out)) == RomFiles(slurp(samples + sample));
        std::printf("| %s | %s | %s |\n", sample, l.name.c_str(), same ? "yes" : "no");
        std::fflush(stdout);
      }
    }
  }

  if (argc <= 1) std::filesystem::remove_all(dir);
  return 0;
}
