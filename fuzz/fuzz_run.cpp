// Coverage-guided fuzz target: a whole run of the program, in-process, on the
// fuzzer's bytes as the tape image.
//
// The first byte picks the run: bit 0 "-p"; bits 1-2 the rate (44100, 30303
// with "-voc", 8000, 3500000); bit 3 "-128"; bits 4-6 how many of the next
// bytes are keys on standard input; bit 7 the signal's switches ("-exact",
// "-invert", "-vol 37", "-speed 173" and, but with "-voc", "-16"). The rest is the tape image: TZX, CSW,
// TAP, PZX, Commodore TAP, MSX CAS or UEF, each known by its content. Every
// input is run four times: "-info", "-one -x", a conversion whose sound
// file goes to /dev/null, with a low output limit so that looping tapes end
// fast, and "-basic -hex"; then once more converted and listed under a name
// ending in ".p81", as a ZX81 program (which has no signature to know it by).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/run.hpp"
#include "scratch.hpp"

namespace {

void run(std::vector<std::string> args, const uint8_t *keys, size_t nkeys) {
  std::vector<char *> argv;
  for (auto &a : args) argv.push_back(a.data());
  static FILE *out = std::fopen("/dev/null", "w");
  // fmemopen wants a non-empty buffer; an empty one reads as end of input.
  static char empty = 0;
  FILE *in = fmemopen(nkeys ? const_cast<uint8_t *>(keys) : reinterpret_cast<uint8_t *>(&empty), nkeys ? nkeys : 1, "r");
  if (!nkeys) std::fgetc(in);
  driver::Console console(out, in);
  driver::RunReelwright(static_cast<int>(argv.size()), argv.data(), console, {.max_samples = 1u << 20});
  std::fclose(in);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 1) return 0;
  const unsigned sel = data[0];
  size_t nkeys = (sel >> 4) & 7;
  if (nkeys > size - 1) nkeys = size - 1;
  const uint8_t *keys = data + 1;
  const uint8_t *image = data + 1 + nkeys;
  const size_t image_size = size - 1 - nkeys;

  const std::string tape = ScratchFile(image, image_size);
  if (tape.empty()) return 0;

  std::vector<std::string> paging;
  if (sel & 1) paging.push_back("-p");
  std::vector<std::string> a = {"reelwright", "-info", tape};
  a.insert(a.end(), paging.begin(), paging.end());
  run(a, keys, nkeys);

  a = {"reelwright", "-one", "-x", tape};
  a.insert(a.end(), paging.begin(), paging.end());
  run(a, keys, nkeys);

  static const char *const kRates[4] = {"44100", "30303", "8000", "3500000"};
  const unsigned rate = (sel >> 1) & 3;
  a = {"reelwright", rate == 1 ? "-voc" : "-au", "-freq", kRates[rate], tape, "/dev/null"};
  if (sel & 8) a.push_back("-128");
  if (sel & 0x80) {
    a.insert(a.end(), {"-exact", "-invert", "-vol", "37", "-speed", "173"});
    if (rate != 1) a.push_back("-16");
  }
  run(a, keys, nkeys);

  // What the tape holds: its BASIC listed and its blocks dumped.
  a = {"reelwright", "-basic", "-hex", tape};
  if (sel & 8) a.push_back("-128");
  run(a, keys, nkeys);

  // A link named as a ZX81 program, to the same file.
  static const std::string zx81 = [&tape] {
    const std::string link = "/tmp/reelwright-fuzz-" + std::to_string(getpid()) + ".p81";
    unlink(link.c_str());
    return symlink(tape.c_str(), link.c_str()) == 0 ? link : std::string();
  }();
  if (!zx81.empty()) run({"reelwright", "-au", "-freq", kRates[rate], zx81, "/dev/null"}, keys, nkeys);
  if (!zx81.empty()) run({"reelwright", "-basic", zx81}, keys, nkeys);
  return 0;
}
