// Writes seed inputs for the fuzz target into a folder:
//   make_seeds <folder> [example.tzx ...]
// Each seed is a selector byte, the keys, then a tape image.
#include <filesystem>
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

  // The tapes of other machines, each known by its content (a ZX81 .p81
  // program by its name: the fuzz target runs every input as one too).
  auto chunk = [](Bytes &b, const char *tag, const Bytes &body) {
    put(b, std::string(tag, 4)), put(b, static_cast<uint32_t>(body.size()), 4), put(b, body);
  };
  Bytes pzx;
  chunk(pzx, "PZXT", {1, 0, 'T', 0, 'A', 'u', 't', 'h', 'o', 'r', 0, 'M', 'e'});
  chunk(pzx, "PULS", {0, 0, 0x03, 0x80, 0xE8, 0x03, 0x01, 0x80, 0x01, 0x80, 0x02, 0x00});
  chunk(pzx, "DATA", {10, 0, 0, 0x80, 0xB1, 0x03, 2, 1, 0x57, 0x03, 0x57, 0x03, 0xAE, 0x06, 0xA0, 0x40});
  chunk(pzx, "PAUS", {0x58, 0x1B, 0, 0x80}), chunk(pzx, "BRWS", {'b', 0}), chunk(pzx, "STOP", {1, 0});
  seed(dir + "/pzx", 0x80, "", pzx);
  Tzx tsx(1, 21);
  tsx.raw(0x4B, {15, 0, 0, 0, 0x64, 0, 0xD9, 0x02, 8, 0, 0xB2, 0x05, 0xD9, 0x02, 0x24, 0x54, 1, 2, 0x80});
  seed(dir + "/tsx", 2, "", tsx.bytes);
  for (unsigned version = 0; version < 3; version++) {
    Bytes c;
    put(c, std::string(version == 2 ? "C16-TAPE-RAW" : "C64-TAPE-RAW")), put(c, version), put(c, version), put(c, 1, 2);
    put(c, 9, 4), put(c, Bytes{0x30, 0x30, 0, 0x10, 0x27, 0, 0x2F, 0x2F, 0x40});
    seed(dir + "/commodore-" + std::to_string(version), uint8_t(version << 1), "", c);
  }
  const Bytes marker{0x1F, 0xA6, 0xDE, 0xBA, 0xCC, 0x13, 0x7D, 0x74};
  Bytes cas = marker;
  put(cas, Bytes(10, 0xEA)), put(cas, std::string("NAME  ")), put(cas, marker), put(cas, Bytes{'A', 0x1A, 0, 0, 0, 0, 0, 0});
  seed(dir + "/msx", 4, "", cas);
  Bytes uef;
  put(uef, std::string("UEF File!")), put(uef, Bytes{0, 10, 0});
  for (const auto &[id, body] : std::vector<std::pair<unsigned, Bytes>>{
           {0x0000, {'m', 'e', 0}}, {0x0110, {100, 0}}, {0x0100, {0x2A, 'N', 0}}, {0x0112, {0x60, 0x09}},
           {0x0104, {7, 'E', 0xFF, 0x03}}, {0x0114, {3, 0, 0, 'P', 'W', 0xA0}}, {0x0117, {0x2C, 0x01}},
           {0x0113, {0, 0, 0x16, 0x45}}, {0x0111, {1, 0, 1, 0}}, {0x0116, {0, 0, 0x80, 0x3F}}, {0x0102, {3, 0xFF}}})
    put(uef, id, 2), put(uef, static_cast<uint32_t>(body.size()), 4), put(uef, body);
  seed(dir + "/uef", 0x80, "", uef);
  seed(dir + "/zx81-p81", 0, "", Bytes{0x26, 0xA6, 0, 1, 2, 0x76});

  for (int i = 2; i < argc; i++) {
    if (!std::filesystem::is_regular_file(argv[i])) continue;  // a folder among the samples (recordings/)
    std::ifstream in(argv[i], std::ios::binary);
    Bytes b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    seed(dir + "/example-" + std::to_string(i - 1), 0, "", b);
  }
  return 0;
}
