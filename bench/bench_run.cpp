// Benchmarks of whole runs of the program, each side by side with what it is
// measured against, in interleaved rounds (the machines are noisy: medians
// and ratios, not single times):
//
//   start:    no arguments, and "-one" of a small tape, against a minimal C++
//             program that prints one line;
//   convert:  a long tape to AU against a plain write of the same bytes in
//             64 KiB pieces; and the peak memory for a tape four times
//             shorter, which shows whether memory grows with the tape;
//   live:     the CPU a live replay takes per second of sound, on SDL's dummy
//             driver (which plays in real time into nothing);
//   exact:    a 5-minute tape of ROM-speed blocks to AU at four rates, with
//             and without -exact: the times, and the lengths against the
//             tape's exact length.
//
//   bench_run [folder] [rounds] [minutes]
//   bench_run --exact [folder] [rounds]   (the last part only)
//
// REELWRIGHT_BENCH_PROGRAM names another build of the program to measure.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/tzx.hpp"

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
  double wall = 0, cpu = 0;  // seconds
  long peak_kib = 0;
  int status = -1;
};

// Runs a program with its output to /dev/null (and an environment setting).
Run run(std::vector<std::string> args, const char *env = nullptr) {
  std::fflush(nullptr);
  const auto start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "r", stdin)) _exit(127);
    if (env) putenv(const_cast<char *>(env));
    std::vector<char *> argv;
    for (auto &a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int st = 0;
  rusage ru{};
  wait4(pid, &st, 0, &ru);
  Run r;
  r.wall = std::chrono::duration<double>(Clock::now() - start).count();
  r.cpu = ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
  r.peak_kib = ru.ru_maxrss;
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

long long file_size(const std::string &path) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  std::fseek(f, 0, SEEK_END);
  long long n = std::ftell(f);
  std::fclose(f);
  return n;
}

// About 42 seconds of signal per pair of blocks: a header, 6912 bytes, pauses.
// `tstates` gets its length in T-states, with the second the conversion adds.
tzx::Tzx long_tape(double minutes, uint64_t *tstates = nullptr) {
  tzx::Tzx t;
  uint32_t seed = 12345;
  uint64_t length = 3500000;  // the last second
  auto standard = [&](const tzx::Bytes &data) {
    t.standard(1000, data);
    length += (data[0] < 128 ? 8064 : 3220) * 2168ull + 667 + 735 + 3500000;  // pilot, syncs, the pause
    for (uint8_t byte : data)
      for (int bit = 0; bit < 8; bit++) length += ((byte >> bit) & 1) ? 2 * 1710 : 2 * 855;
  };
  for (int b = 0; b < static_cast<int>(minutes * 60 / 42.0 + 0.999); b++) {
    tzx::Bytes payload(6912);
    for (auto &c : payload) c = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    standard(tzx::spectrum_header(3, "block" + std::to_string(b), 6912, 16384, 32768));
    standard(tzx::data_block(0xFF, payload));
  }
  if (tstates) *tstates = length;
  return t;
}

// The exact timing's cost and gain: interleaved rounds at each rate.
void exact(const std::string &program, const std::string &dir, int rounds) {
  const std::string tape = dir + "/bench-5min.tzx", out = dir + "/bench-exact.au";
  uint64_t tstates = 0;
  long_tape(4.2, &tstates).save(tape);  // six pairs of blocks: about five minutes
  const double seconds = tstates / 3500000.0;
  std::printf("exact      5-minute tape: %llu T-states, %.6f s\n", static_cast<unsigned long long>(tstates), seconds);
  for (int rate : {11025, 22050, 44100, 48000}) {
    std::vector<double> plain, exact, ratio;
    long long n[2] = {0, 0};
    for (int i = 0; i < rounds; i++) {
      for (int e = 0; e < 2; e++) {
        std::vector<std::string> args = {program, "-au", "-freq", std::to_string(rate), tape, out};
        if (e) args.push_back("-exact");
        (e ? exact : plain).push_back(run(args).wall);
        n[e] = file_size(out) - 32;
      }
      ratio.push_back(exact.back() / plain.back());
    }
    const double want = seconds * rate;
    std::printf("exact      %5d Hz: exact length %.2f samples; per pulse %lld (%+.2f, %+.3f%%), exact %lld (%+.2f); "
                "%.1f ms, with -exact %.1f ms, ratio %.3f\n",
                rate, want, n[0], n[0] - want, 100 * (n[0] - want) / want, n[1], n[1] - want, 1e3 * median(plain),
                1e3 * median(exact), median(ratio));
  }
  std::remove(tape.c_str());
  std::remove(out.c_str());
}

}  // namespace

int main(int argc, char **argv) {
  const char *other = std::getenv("REELWRIGHT_BENCH_PROGRAM");
  const std::string program = other ? other : REELWRIGHT_BIN;
  if (argc > 1 && std::string(argv[1]) == "--exact") {
    exact(program, argc > 2 ? argv[2] : ".", argc > 3 ? std::atoi(argv[3]) : 31);
    if (argc > 4) long_tape(4.2).save(argv[4]);  // the tape, kept
    return 0;
  }
  const std::string dir = argc > 1 ? argv[1] : ".";
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 31;
  const double minutes = argc > 3 ? std::atof(argv[3]) : 20.0;
  const std::string small = dir + "/bench-small.tzx", big = dir + "/bench-long.tzx", quarter = dir + "/bench-q.tzx";
  const std::string out = dir + "/bench.au", plain = dir + "/bench.raw";
  tzx::Tzx s;
  for (int i = 0; i < 30; i++) s.text("block " + std::to_string(i)).standard(1000, tzx::data_block(0xFF, {1, 2, 3}));
  s.save(small);
  long_tape(minutes).save(big);
  long_tape(minutes / 4).save(quarter);

  // Start.
  std::vector<double> minimal, bare, one;
  for (int i = 0; i < rounds; i++) {
    minimal.push_back(run({MINIMAL_BIN}).wall);
    bare.push_back(run({program}).wall);
    one.push_back(run({program, "-one", small}).wall);
  }
  std::printf("start      minimal %.2f ms; no arguments %.2f ms (%.2fx); -one of 60 blocks %.2f ms (%.2fx)\n",
              1e3 * median(minimal), 1e3 * median(bare), median(bare) / median(minimal), 1e3 * median(one),
              median(one) / median(minimal));

  // Conversion.
  std::vector<double> convert, write, ratio;
  long peak = 0, peak_quarter = 0;
  long long bytes = 0;
  for (int i = 0; i < rounds; i++) {
    Run c = run({program, "-au", big, out});
    bytes = file_size(out);
    Run w = run({PLAIN_WRITE_BIN, std::to_string(bytes), plain});
    convert.push_back(c.wall), write.push_back(w.wall), ratio.push_back(c.wall / w.wall);
    peak = std::max(peak, c.peak_kib);
    peak_quarter = std::max(peak_quarter, run({program, "-au", quarter, out}).peak_kib);
  }
  std::printf("convert    %.0f min tape, %lld bytes: %.1f ms; plain write %.1f ms; ratio %.2f (median of rounds)\n",
              minutes, bytes, 1e3 * median(convert), 1e3 * median(write), median(ratio));
  std::printf("memory     peak %ld KiB for %.0f min, %ld KiB for %.0f min\n", peak, minutes, peak_quarter, minutes / 4);

  // Live replay: a tape of about 5 seconds.
  tzx::Tzx live;
  live.tone(2168, 8000).standard(1000, tzx::data_block(0xFF, tzx::Bytes(600, 0xA5)));
  live.save(dir + "/bench-live.tzx");
  Run l = run({program, dir + "/bench-live.tzx"}, "SDL_AUDIODRIVER=dummy");
  std::printf("live       %.2f s of replay took %.3f s of CPU: %.2f%% of a core (status %d)\n", l.wall, l.cpu,
              100 * l.cpu / l.wall, l.status);

  for (const std::string &f : {small, big, quarter, out, plain, dir + "/bench-live.tzx"}) std::remove(f.c_str());
  exact(program, dir, rounds);
  return 0;
}
