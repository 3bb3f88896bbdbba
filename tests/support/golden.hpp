// The end-to-end cases of tests/data/golden (see test_golden.cpp): the Linux
// program's results, which every build, the Windows one included, must give.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/harness.hpp"
#include "support/tapes.hpp"

namespace golden {

using namespace tzx;

struct Case {
  std::string name, tape;
  std::vector<std::string> args;
  std::string keys, file;  // the sound file the run writes, if any
};

// The cases of tests/data/golden/CASES.
inline std::vector<Case> cases() {
  std::istringstream in(harness::read_file(std::string(REELWRIGHT_SOURCE_DIR) + "/tests/data/golden/CASES"));
  std::vector<Case> found;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    Case c;
    std::string keys;
    words >> c.name >> c.tape >> keys >> c.file;
    for (std::string a; words >> a;) c.args.push_back(a);
    for (size_t i = 0; keys != "-" && i < keys.size(); i++)
      c.keys += keys.compare(i, 2, "\\n") == 0 ? (i++, '\n') : keys.compare(i, 2, "\\e") == 0 ? (i++, '\x1b') : keys[i];
    if (c.file == "-") c.file.clear();
    found.push_back(c);
  }
  return found;
}

// Writes the tapes of the cases into dir.
inline void write_tapes(const std::string &dir) {
  tapes::every_block().save(dir + "/every.tzx");
  tapes::c64_headers().save(dir + "/c64.tzx");
  tapes::circles().save(dir + "/circles.tzx");
  tapes::revision_120().save(dir + "/tzx120.tzx");
  std::filesystem::copy_file(std::string(REELWRIGHT_SOURCE_DIR) + "/examples/demo.tzx", dir + "/demo.tzx");
  Tzx cpc;  // an Amstrad CPC 6128+, the last of the CPC IDs: its own header form, no checksum line
  cpc.hardware({{0, 25, 1}}).turbo({}, 8, 10, data_block(',', {'N', 'A', 'M', 'E'})).standard(10, {0xFF, 1});
  cpc.save(dir + "/cpc.tzx");
  Tzx sam;
  Bytes samhead(81, ' ');
  samhead[0] = 1, samhead[1] = 0x13;
  sam.hardware({{0, 9, 1}}).standard(10, samhead).standard(10, spectrum_header(0, "spectrum", 1, 0, 0));
  sam.save(dir + "/sam.tzx");
  for (auto [major, minor, name] :
       {std::tuple{1, 13, "rev113"}, {1, 14, "rev114"}, {1, 21, "rev121"}, {2, 0, "rev200"}, {0, 5, "rev005"}})
    Tzx(major, minor).tone(2168, 2).save(dir + "/" + name + ".tzx");
  Tzx every = tapes::every_block();
  every.bytes.resize(every.bytes.size() / 2);  // ends inside a block
  every.save(dir + "/cut.tzx");
  Tzx().save(dir + "/empty.tzx");
  Tzx many;
  for (int i = 0; i < 30; i++) many.text("line " + std::to_string(i)).tone(100 + i, 2);
  many.save(dir + "/many.tzx");
  std::ofstream(dir + "/demo.VOC") << "Creative Voice File";
  // Steering: jumps that are ignored, then a circle; a loop and a loop end
  // with none; calls and a return with none; a selection that leads to itself.
  Tzx().jump(0).jump(-9).jump(2).tone(1, 1).tone(1, 1).jump(-3).save(dir + "/jumps.tzx");
  Tzx().loop(3).tone(1, 1).loop_end().loop_end().save(dir + "/loops.tzx");
  Tzx().call({2, 4}).jump(5).tone(1, 1).ret().tone(1, 1).ret().ret().save(dir + "/calls.tzx");
  Tzx().select({{0, "again"}, {2, "on"}}).tone(1, 1).tone(1, 1).pause(0).stop48k().save(dir + "/choose.tzx");
  Tzx().group_end().group_end().group_end().save(dir + "/ends.tzx");
  // TAP and CSW files, damaged: an empty block, cut short, a header cut short,
  // an unknown version, a damaged stream, a rate of 0.
  const Bytes one = data_block(0xFF, {1});
  Bytes cut = tap({one, one}), head = csw(1, 0, {5}), v3 = head, zrle = csw(2, 0, {5, 5, 5}), rate0 = head;
  cut.pop_back(), head.resize(30), v3[0x17] = 3, zrle.back() ^= 0xFF, rate0[0x19] = rate0[0x1A] = 0;
  for (const auto &[name, bytes] : {std::pair<std::string, Bytes>{"empty.tap", tap({one, one, {}})}, {"cut.tap", cut},
                                    {"keep.tap", cut}, {"head.csw", head}, {"v3.csw", v3}, {"zrle.csw", zrle},
                                    {"rate0.csw", rate0}, {"keep.csw", csw(1, 0, {5})}})
    save(dir + "/" + name, bytes);
}

inline uint64_t fnv1a(const std::string &s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

// What a run shows: its status, the file it wrote, then its text.
inline std::string outcome(const Case &c, const std::string &dir, const std::string &program) {
  std::vector<std::string> args = c.args;
  args.insert(args.end() - (c.file.empty() || c.args.back() != c.file ? 0 : 1), c.tape);
  harness::Result r = harness::run(args, {.input = c.keys, .cwd = dir, .seconds = 60, .program = program});
  std::string file = "none";
  if (!c.file.empty() && harness::exists(dir + "/" + c.file)) {
    std::string bytes = harness::read_file(dir + "/" + c.file);
    char sum[64];
    std::snprintf(sum, sizeof sum, "%zu %016llx", bytes.size(), static_cast<unsigned long long>(fnv1a(bytes)));
    file = sum;
    std::filesystem::remove(dir + "/" + c.file);
  }
  return "status " + std::to_string(r.status) + "\nfile " + file + "\n" + r.out;
}

// Runs every case with `program` and compares what it shows with the stored
// expectation (or, with REELWRIGHT_GOLDEN=write, stores it).
inline void check_all(const std::string &program) {
  harness::TempDir dir;
  write_tapes(dir.path());
  const bool write = std::getenv("REELWRIGHT_GOLDEN") && std::string(std::getenv("REELWRIGHT_GOLDEN")) == "write";
  const std::vector<Case> all = cases();
  EXPECT_GE(all.size(), 30u);
  for (const Case &c : all) {
    SCOPED_TRACE(c.name);
    const std::string path = std::string(REELWRIGHT_SOURCE_DIR) + "/tests/data/golden/" + c.name + ".txt";
    const std::string got = outcome(c, dir.path(), program);
    if (write) std::ofstream(path, std::ios::binary) << got;
    EXPECT_EQ(got, harness::read_file(path));
  }
}

}  // namespace golden
