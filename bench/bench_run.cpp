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
//             driver (which plays in real time into nothing).
//
//   bench_run [folder] [rounds] [minutes]
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

// About 42 seconds of signal per pair of blocks: a header, 6912 bytes, pauses.
tzx::Tzx long_tape(double minutes) {
  tzx::Tzx t;
  uint32_t seed = 12345;
  for (int b = 0; b < static_cast<int>(minutes * 60 / 42.0 + 0.999); b++) {
    tzx::Bytes payload(6912);
    for (auto &c : payload) c = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    t.standard(1000, tzx::spectrum_header(3, "block" + std::to_string(b), 6912, 16384, 32768));
    t.standard(1000, tzx::data_block(0xFF, payload));
  }
  return t;
}

long long file_size(const std::string &path) {
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  std::fseek(f, 0, SEEK_END);
  long long n = std::ftell(f);
  std::fclose(f);
  return n;
}

}  // namespace

int main(int argc, char **argv) {
  const char *other = std::getenv("REELWRIGHT_BENCH_PROGRAM");
  const std::string program = other ? other : REELWRIGHT_BIN;
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
  return 0;
}
