// Conversion speed and memory against a plain write of the same bytes.
//
//   bench_convert [minutes] [folder] [rounds]
//
// Builds a tape of standard-speed data blocks lasting about `minutes` minutes
// (default 20), converts it to an AU file at 44100 Hz in a child process,
// then writes the same number of bytes with plain 64 KiB writes to the same
// folder, and prints both times, their ratio and the child's peak memory.
// The same is done for a tape of a quarter of the length, so that memory
// growing with the tape's length shows as a difference between the two.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver/run.hpp"
#include "support/tzx.hpp"

namespace {

using Clock = std::chrono::steady_clock;

// About 42 seconds of signal per block: pilot, 6912 bytes, one second's pause.
tzx::Tzx long_tape(double minutes) {
  tzx::Tzx t;
  uint32_t seed = 12345;
  int blocks = static_cast<int>(minutes * 60 / 42.0 + 0.999);
  for (int b = 0; b < blocks; b++) {
    tzx::Bytes payload(6912);
    for (auto &c : payload) {
      seed = seed * 1664525u + 1013904223u;
      c = static_cast<uint8_t>(seed >> 24);
    }
    t.standard(1000, tzx::spectrum_header(3, "block" + std::to_string(b), 6912, 16384, 32768));
    t.standard(1000, tzx::data_block(0xFF, payload));
  }
  return t;
}

struct Measure {
  double seconds;
  long peak_kib;
  long long bytes;
};

// Converts in a child process; `sized` reads back the size of the file.
Measure convert(const std::string &tape, const std::string &out, bool sized) {
  auto start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    driver::Console console(std::fopen("/dev/null", "w"), stdin);
    std::vector<std::string> args = {"reelwright", "-au", tape, out};
    std::vector<char *> argv;
    for (auto &a : args) argv.push_back(a.data());
    _exit(driver::RunReelwright(static_cast<int>(argv.size()), argv.data(), console));
  }
  int status = 0;
  rusage ru{};
  wait4(pid, &status, 0, &ru);
  double s = std::chrono::duration<double>(Clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "conversion failed\n");
    std::exit(1);
  }
  long long bytes = 0;
  if (sized) {
    FILE *f = std::fopen(out.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    bytes = std::ftell(f);
    std::fclose(f);
  }
  return {s, ru.ru_maxrss, bytes};
}

double plain_write(const std::string &path, long long bytes) {
  std::vector<char> buf(65536, 16);
  auto start = Clock::now();
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0660);
  for (long long left = bytes; left > 0;) {
    size_t n = left < 65536 ? static_cast<size_t>(left) : 65536;
    if (write(fd, buf.data(), n) != static_cast<ssize_t>(n)) std::exit(1);
    left -= static_cast<long long>(n);
  }
  close(fd);
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
  double minutes = argc > 1 ? std::atof(argv[1]) : 20.0;
  std::string dir = argc > 2 ? argv[2] : ".";
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 25;
  std::printf("%-10s %10s %12s %12s %12s %12s %8s %10s\n", "tape", "image KiB", "samples", "to null s",
              "convert s", "write s", "ratio", "peak KiB");
  for (double m : {minutes / 4, minutes}) {
    std::string tape = dir + "/bench.tzx", out = dir + "/bench.au", plain = dir + "/bench.raw";
    tzx::Tzx t = long_tape(m);
    t.save(tape);
    // The machine is noisy: each round converts and writes side by side, and
    // the medians (and the median of the rounds' ratios) are shown.
    std::vector<double> to_null, converts, writes, ratios;
    Measure c{};
    long peak = 0;
    for (int i = 0; i < rounds; i++) {
      to_null.push_back(convert(tape, "/dev/null", false).seconds);
      c = convert(tape, out, true);
      peak = std::max(peak, c.peak_kib);
      double w = plain_write(plain, c.bytes);
      converts.push_back(c.seconds);
      writes.push_back(w);
      ratios.push_back(c.seconds / w);
    }
    std::printf("%5.1f min %10zu %12lld %12.4f %12.4f %12.4f %8.2f %10ld\n", m, t.bytes.size() / 1024, c.bytes - 32,
                median(to_null), median(converts), median(writes), median(ratios), peak);
    std::remove(tape.c_str());
    std::remove(out.c_str());
    std::remove(plain.c_str());
  }
  return 0;
}
