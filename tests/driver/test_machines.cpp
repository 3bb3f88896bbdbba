// The tapes of other machines end to end, on the public samples kept beside
// the project: listings and conversions against stored output, and the sound
// against independent tools (castool of mame-tools, tape2pulses of
// fuse-emulator-utils), edges within a tolerance.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/harness.hpp"

namespace {

const std::string kSamples = std::string(REELWRIGHT_SOURCE_DIR) + "/../shared/samples/";

#define NEED(path) \
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is not there"

TEST(Machines, SamplesListAndConvertAsStored) {
  NEED(kSamples);
  harness::TempDir dir;
  const std::vector<std::vector<std::string>> runs{
      {"-one", "c64-v1.tap"}, {"-info", "msx-basic.cas"}, {"-one", "bbc-300baud.uef", "-e", "12"},
      {"-info", "electron.uef"}, {"-one", "zx81.p"}, {"-info", "pzx-archive-info-tags.pzx"},
      {"-au", "-exact", "-invert", "-vol", "50", "-16", "-speed", "110", "-b", "2", "msx-binary.cas", "o.au"},
      {"-wav", "-freq", "22050", "-b", "2", "-e", "2", "c64-v1.tap", "o.wav"}};
  std::string all;
  for (std::vector<std::string> args : runs) {
    for (std::string &a : args)
      if (std::filesystem::exists(kSamples + a)) a = kSamples + a;
      else if (a.starts_with("o.")) a = dir.file(a);
    std::string out = harness::run_here(args).out;
    for (size_t at; (at = out.find(kSamples)) != std::string::npos;) out.erase(at, kSamples.size());
    for (size_t at; (at = out.find(dir.path())) != std::string::npos;) out.erase(at, dir.path().size());
    all += out + "-- sound files: " + std::to_string(harness::read_file(dir.file("o.au")).size()) + " " +
           std::to_string(harness::read_file(dir.file("o.wav")).size()) + "\n";
  }
  EXPECT_EQ(all, harness::read_file(std::string(REELWRIGHT_SOURCE_DIR) + "/tests/data/machines/samples.txt"));
}

// The lengths in seconds between the level changes of a WAV file of 8-bit
// unsigned or 16-bit signed samples, first channel.
std::vector<double> pulses(const std::string &w) {
  const unsigned channels = uint8_t(w[22]), bits = uint8_t(w[34]), step = channels * bits / 8;
  const double rate = uint8_t(w[24]) | uint8_t(w[25]) << 8 | uint8_t(w[26]) << 16;
  std::vector<double> out;
  for (size_t at = 44, last = 44, high = 2; at + step <= w.size(); at += step) {
    const bool h = bits == 8 ? uint8_t(w[at]) > 128 : int16_t(uint8_t(w[at]) | w[at + 1] << 8) > 0;
    if (high != 2 && h != high) out.push_back(double(at - last) / step / rate), last = at;
    high = h;
  }
  return out;
}

TEST(Machines, SoundAgreesWithCastool) {
  NEED(kSamples);
  NEED(std::string("/usr/bin/castool"));
  for (auto [format, sample] : {std::pair{"cbm", "c64-v1.tap"}, {"bbc", "electron.uef"}, {"bbc", "bbc-frak.uef"}}) {
    harness::TempDir dir;
    harness::run({"-wav", "-exact", kSamples + sample, dir.file("mine.wav")});
    harness::run({"convert", format, kSamples + sample, dir.file("tool.wav")}, {.program = "/usr/bin/castool"});
    std::vector<double> mine = pulses(harness::read_file(dir.file("mine.wav")));
    std::vector<double> tool = pulses(harness::read_file(dir.file("tool.wav")));
    // The same pulses one to one from the first pulse of the low tone on
    // (castool rounds each pulse to its samples: within two of them).
    auto first_long = [](const std::vector<double> &p) { return std::find_if(p.begin(), p.end(), [](double d) { return d > 3e-4 && d < 3e-3; }) - p.begin(); };
    const long a = first_long(mine), b = first_long(tool), n = long(std::min(mine.size() - a, tool.size() - b)) - 1;
    long close = 0;
    for (long i = 0; i < n; i++) close += std::abs(mine[a + i] - tool[b + i]) <= 2.0 / 44100;
    EXPECT_GT(n, 10000) << sample;
    EXPECT_EQ(close, n) << sample;
    std::printf("%s: %ld pulses compared with castool, %ld within 2 samples\n", sample, n, close);
    std::fflush(stdout);
  }
}

TEST(Machines, PzxPulsesAgreeWithTape2pulses) {
  NEED(kSamples + "zero-tail.pzx");
  NEED(std::string("/usr/bin/tape2pulses"));
  harness::TempDir dir;
  harness::run({kSamples + "zero-tail.pzx", dir.file("fuse.txt")}, {.program = "/usr/bin/tape2pulses"});
  harness::run({"-wav", "-exact", "-freq", "3500000", kSamples + "zero-tail.pzx", dir.file("mine.wav")});
  std::string mine;
  for (double d : pulses(harness::read_file(dir.file("mine.wav")))) mine += std::to_string(std::lround(d * 3500000)) + " ";
  std::string fuse = harness::read_file(dir.file("fuse.txt"));
  for (size_t at; (at = fuse.find(" : ")) != std::string::npos;) fuse.replace(at, 4, "");  // "855 : 1\n": the length
  std::replace(fuse.begin(), fuse.end(), '\n', ' ');
  EXPECT_EQ(mine.substr(0, 16), fuse.substr(0, 16));  // the data's 855 855 and the pulses' 200 200
}

}  // namespace
