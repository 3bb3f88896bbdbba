// Writes seed inputs for the fuzz target into a folder:
//   make_seeds <folder> [example.tzx ...]
// Each seed is a selector byte, the keys, then a tape image.
#include <fstream>
#include <iterator>
#include <string>

#include "support/tapes.hpp"

namespace {

void seed(const std::string &path, uint8_t selector, const std::string &keys, const tzx::Bytes &image) {
  std::ofstream f(path, std::ios::binary);
  f.put(static_cast<char>(selector | (keys.size() << 4)));
  f << keys;
  f.write(reinterpret_cast<const char *>(image.data()), static_cast<std::streamsize>(image.size()));
}

}  // namespace

int main(int argc, char **argv) {
  if (argc < 2) return 2;
  const std::string dir = argv[1];
  using namespace tzx;
  seed(dir + "/every-block", 0, "", every_block_tape().bytes);
  seed(dir + "/every-block-keys", 1 | 2, "2\x1b", every_block_tape().bytes);

  Tzx cpc;
  cpc.hardware({{0, 23, 1}}).turbo({}, 8, 1000, data_block(',', {'N', 'A', 'M', 'E'})).standard(10, {});
  seed(dir + "/cpc", 4, "", cpc.bytes);

  Tzx sam;
  sam.hardware({{0, 9, 1}});
  Bytes samhead(81, ' ');
  samhead[0] = 1, samhead[1] = 0x13;
  sam.standard(10, samhead);
  seed(dir + "/sam", 0, "", sam.bytes);

  Tzx loops;
  loops.loop(3).tone(100, 3).call({2}).loop_end().jump(-2).ret().select({{-3, "back"}, {1, "on"}}).jump(0);
  seed(dir + "/loops", 8, "1x", loops.bytes);

  // C64 loader headers: a ROM header of 202 bytes and a TurboTape header.
  Bytes rom{0x89, 0x88, 0x87, 0x86, 0x85, 0x84, 0x83, 0x82, 0x81};
  rom.resize(202, 'A');
  Bytes turbo{9, 8, 7, 6, 5, 4, 3, 2, 1, 1};
  turbo.resize(32, 'B');
  Tzx c64;
  c64.c64rom({}, rom).c64turbo({}, turbo);
  seed(dir + "/c64-headers", 0, "", c64.bytes);

  for (int i = 2; i < argc; i++) {
    std::ifstream in(argv[i], std::ios::binary);
    Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    seed(dir + "/example-" + std::to_string(i - 1), 0, "", b);
  }
  return 0;
}
