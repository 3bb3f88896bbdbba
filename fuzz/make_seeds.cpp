// Writes seed inputs for the fuzz target into a folder:
//   make_seeds <folder> [example.tzx ...]
// Each seed is a selector byte, the keys, then a tape image.
#include <fstream>
#include <iterator>
#include <string>

#include "support/tapes.hpp"
#include "support/tzx.hpp"

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
  seed(dir + "/every-block", 0, "", tapes::every_block().bytes);
  seed(dir + "/every-block-keys", 1 | 2, "2\x1b", tapes::every_block().bytes);

  Tzx cpc;
  cpc.hardware({{0, 23, 1}}).turbo({}, 8, 1000, data_block(',', {'N', 'A', 'M', 'E'})).standard(10, {});
  seed(dir + "/cpc", 4, "", cpc.bytes);

  Tzx sam;
  sam.hardware({{0, 9, 1}});
  Bytes samhead(81, ' ');
  samhead[0] = 1, samhead[1] = 0x13;
  sam.standard(10, samhead);
  seed(dir + "/sam", 0, "", sam.bytes);

  seed(dir + "/loops", 8, "1x", tapes::circles().bytes);
  seed(dir + "/c64-headers", 0, "", tapes::c64_headers().bytes);
  seed(dir + "/revision-1.20", 2, "", tapes::revision_120().bytes);

  // A TAP file (found by its sound chain of lengths) and a CSW file.
  Bytes tap;
  for (const Bytes &b : {spectrum_header(0, "tap", 2, 0, 0), data_block(0xFF, {1, 2})})
    put(tap, static_cast<uint32_t>(b.size()), 2), put(tap, b);
  seed(dir + "/tap", 4, "", tap);
  Bytes csw;
  put(csw, std::string("Compressed Square Wave\x1A"));
  put(csw, 0x0101, 2), put(csw, 22050, 2), put(csw, 1), put(csw, 1), put(csw, 0, 3), put(csw, rle({3, 3, 300, 70000}));
  seed(dir + "/csw", 0, "", csw);

  for (int i = 2; i < argc; i++) {
    std::ifstream in(argv[i], std::ios::binary);
    Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    seed(dir + "/example-" + std::to_string(i - 1), 0, "", b);
  }
  return 0;
}
