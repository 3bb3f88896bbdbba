// TAP and CSW files as input: known by their content (or a TAP by its name),
// played as the TZX blocks they stand for, and damaged.
#include <gtest/gtest.h>
#include <zlib.h>

#include "format/tape.hpp"
#include "support/harness.hpp"
#include "support/tzx.hpp"

namespace {

using tzx::Bytes;

Bytes tap(const std::vector<Bytes> &blocks) {
  Bytes b;
  for (const Bytes &d : blocks) tzx::put(b, static_cast<uint32_t>(d.size()), 2), tzx::put(b, d);
  return b;
}

Bytes csw(int major, unsigned flags, const Bytes &rle) {
  Bytes b;
  tzx::put(b, std::string("Compressed Square Wave\x1A"));
  if (major == 1) {
    tzx::put(b, 0x0101, 2), tzx::put(b, 22050, 2), tzx::put(b, 1), tzx::put(b, flags), tzx::put(b, 0, 3);
    tzx::put(b, rle);
    return b;
  }
  uLongf n = compressBound(rle.size());
  Bytes z(n);
  compress2(z.data(), &n, rle.data(), rle.size(), 9);
  z.resize(n);
  tzx::put(b, 2), tzx::put(b, 0), tzx::put(b, 22050, 4), tzx::put(b, 99, 4), tzx::put(b, 2), tzx::put(b, flags);
  tzx::put(b, 3), tzx::put(b, std::string(16, 'a')), tzx::put(b, std::string("ext")), tzx::put(b, z);
  return b;
}

void save(const std::string &path, const Bytes &b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char *>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A conversion's text from its first block on, and its file.
std::pair<std::string, std::string> convert(const std::string &dir, const std::string &name) {
  harness::Result r = harness::run_here({"-au", dir + "/" + name, dir + "/out.au"});
  const size_t first = r.out.find("Block   1:");
  return {first == std::string::npos ? r.out : r.out.substr(first), harness::read_file(dir + "/out.au")};
}

TEST(Inputs, KindsByContentAndName) {
  const Bytes sound = tap({{0, 1}, {0xFF, 2, 3}}), cut(sound.begin(), sound.end() - 1);
  const struct {
    Bytes bytes;
    std::string name;
    int kind;  // -1: none
  } rows[] = {
      {tzx::Tzx().bytes, "t.tap", 0}, {csw(1, 0, {5}), "t.bin", 2}, {sound, "t.bin", 1}, {cut, "t.bin", -1},
      {cut, "t.TAP", 1},              {Bytes{1, 0, 7}, "t", -1},      {{}, "t.tap", -1},
  };
  for (const auto &r : rows) {
    auto kind = format::KindOf(r.bytes, r.name);
    EXPECT_EQ(kind ? static_cast<int>(*kind) : -1, r.kind) << r.name;
  }
}

TEST(Inputs, ATapPlaysAsTheTzxOfItsBlocks) {
  harness::TempDir dir;
  const Bytes header = tzx::spectrum_header(3, "code", 4, 32768, 0), data = tzx::data_block(0xFF, {1, 2, 3, 4});
  save(dir.file("t.tap"), tap({header, data}));
  tzx::Tzx().standard(1000, header).standard(1000, data).save(dir.file("t.tzx"));
  EXPECT_EQ(convert(dir.path(), "t.tap"), convert(dir.path(), "t.tzx"));
  const std::string one = harness::run_here({"-one", dir.file("t.tap")}).out;
  EXPECT_NE(one.find("\nTAP file, blocks of standard speed\nNumber of Blocks: 2\n\n  1-    0:      Bytes : code"),
            std::string::npos)
      << one;
}

TEST(Inputs, CswVersionsOneAndTwoGiveTheSameSound) {
  harness::TempDir dir;
  const Bytes rle = tzx::rle({10, 10, 20, 300, 10});
  save(dir.file("v1.csw"), csw(1, 1, rle));
  save(dir.file("v2.csw"), csw(2, 1, rle));
  const auto v1 = convert(dir.path(), "v1.csw"), v2 = convert(dir.path(), "v2.csw");
  EXPECT_TRUE(v1.second == v2.second);
  // 350 samples at 22050 Hz are 700 at 44100, from the high level the flag sets.
  EXPECT_EQ(v1.second.substr(32, 21), std::string(20, '\xF0') + '\x10');
  EXPECT_EQ(v1.second.size(), 32 + 700 + 44100u);
}

TEST(Inputs, DamagedFilesSayWhat) {
  harness::TempDir dir;
  const Bytes data = tzx::data_block(0xFF, {1});
  const std::pair<Bytes, std::string> rows[] = {
      {tap({data, data, {}}), "\n-- Warning: TAP block 3 is empty: it plays as a block without data!\n"},
      {[] { Bytes b = csw(1, 0, {5}); b.resize(30); return b; }(), "\n-- Error: The CSW file's header is cut short!\n"},
      {[] { Bytes b = csw(1, 0, {5}); b[0x17] = 3; return b; }(), "\n-- Error: CSW version 3.01 is not supported!\n"},
      {[] { Bytes b = csw(2, 0, {5, 5, 5}); b.back() ^= 0xFF; return b; }(),
       "\n-- Warning: Block 1 holds a damaged compressed stream - played what is before it!\n"},
      {[] { Bytes b = csw(1, 0, {5}); b[0x19] = b[0x1A] = 0; return b; }(),
       "\n-- Warning: Block 1 has a sampling rate of 0 - skipped!\n"},
  };
  for (const auto &[bytes, message] : rows) {
    save(dir.file("t.tap"), bytes);
    const std::string out = harness::run_here({"-au", dir.file("t.tap"), dir.file("out.au")}).out;
    EXPECT_NE(out.find(message), std::string::npos) << out;
  }
  Bytes cut = tap({data, data});
  cut.pop_back();
  save(dir.file("cut.tap"), cut);
  EXPECT_NE(harness::run_here({"-one", dir.file("cut.tap")}).out.find(
                "Number of Blocks: 1\n\n-- Warning: The tape ends inside block 2, which is ignored!\n"),
            std::string::npos);
  // TAP and CSW files are tapes: never written over.
  save(dir.file("t.csw"), csw(1, 0, {5}));
  for (const char *out : {"t.csw", "cut.tap"})
    EXPECT_NE(harness::run_here({"-au", dir.file("t.tap"), dir.file(out)}).out.find("is a tape image"), std::string::npos);
}

}  // namespace
