// End-to-end runs of the built program against stored expectations, one file
// per case in tests/data/golden: the exit status, the sound file's size and
// FNV-1a digest, then standard output byte for byte. They cover the listings,
// paging, conversion, flow control, naming by machine, the revision warnings
// and damaged tapes.
//
// The expectations were written by the program as it stood before its layers
// were redrawn. After an intended change, write them anew with
// REELWRIGHT_GOLDEN=write (REELWRIGHT_GOLDEN_PROGRAM names another program to
// write them with) and read the diff before committing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "support/harness.hpp"
#include "support/tapes.hpp"

namespace {

using namespace tzx;

struct Case {
  std::string name, tape;
  std::vector<std::string> args;
  std::string keys, file;  // the sound file the run writes, if any
};

const std::vector<Case> kCases = {
    {"every-info", "every.tzx", {"-info"}, "", ""},
    {"every-info-paged", "every.tzx", {"-info", "-p"}, std::string(12, '\n'), ""},
    {"every-one", "every.tzx", {"-one"}, "", ""},
    {"every-one-expanded-paged", "every.tzx", {"-one", "-x", "-p"}, "x\n\n", ""},
    {"every-voc", "every.tzx", {"-voc"}, "2\n", "every.VOC"},
    {"every-au-8000", "every.tzx", {"-au", "-freq", "8000", "-x", "out.au"}, "1", "out.au"},
    {"every-au-128k", "every.tzx", {"-au", "-128", "-freq", "11025", "out.au"}, "9", "out.au"},
    {"every-voc-range", "every.tzx", {"-voc", "-b", "5", "-e", "12", "out.voc"}, "", "out.voc"},
    {"every-voc-escape", "every.tzx", {"-voc", "-freq", "8000", "out.voc"}, "\x1b", "out.voc"},
    {"demo-info", "demo.tzx", {"-info"}, "", ""},
    {"demo-voc-44100", "demo.tzx", {"-voc", "-freq", "44100", "out.voc"}, "", "out.voc"},
    {"c64-info", "c64.tzx", {"-info"}, "", ""},
    {"c64-one", "c64.tzx", {"-one"}, "", ""},
    {"c64-au", "c64.tzx", {"-au", "-freq", "22050", "out.au"}, "", "out.au"},
    {"circles-au", "circles.tzx", {"-au", "-freq", "8000", "out.au"}, "1x", "out.au"},
    {"cpc-info", "cpc.tzx", {"-info"}, "", ""},
    {"cpc-one", "cpc.tzx", {"-one"}, "", ""},
    {"sam-one", "sam.tzx", {"-one"}, "", ""},
    {"revision-1-13", "rev113.tzx", {"-one"}, "", ""},
    {"revision-1-14", "rev114.tzx", {"-one"}, "", ""},
    {"revision-1-21", "rev121.tzx", {"-one"}, "", ""},
    {"tzx120-info", "tzx120.tzx", {"-info"}, "", ""},
    {"tzx120-one", "tzx120.tzx", {"-one"}, "", ""},
    {"tzx120-au", "tzx120.tzx", {"-au", "-freq", "22050", "out.au"}, "", "out.au"},
    {"revision-2-0", "rev200.tzx", {"-one"}, "", ""},
    {"revision-0-5", "rev005.tzx", {"-one"}, "", ""},
    {"cut-one", "cut.tzx", {"-one"}, "", ""},
    {"cut-voc", "cut.tzx", {"-voc", "out.voc"}, "", "out.voc"},
    {"empty-voc", "empty.tzx", {"-voc"}, "", "empty.VOC"},
    {"many-one-paged", "many.tzx", {"-one", "-p"}, "\n\n\n", ""},
    {"not-a-tape", "demo.VOC", {"-one"}, "", ""},
    {"flow-jumps", "jumps.tzx", {"-au", "-freq", "8000", "out.au"}, "", "out.au"},
    {"flow-loops", "loops.tzx", {"-au", "-freq", "8000", "out.au"}, "", "out.au"},
    {"flow-calls", "calls.tzx", {"-au", "-freq", "8000", "out.au"}, "", "out.au"},
    {"flow-choose-again", "choose.tzx", {"-au", "-freq", "8000", "out.au"}, "112", "out.au"},
    {"flow-choose-illegal-128k", "choose.tzx", {"-au", "-128", "-freq", "8000", "out.au"}, "3", "out.au"},
    {"flow-choose-escape", "choose.tzx", {"-au", "-freq", "8000", "out.au"}, "\x1b", "out.au"},
};

// Writes the tapes of the cases into dir.
void write_tapes(const std::string &dir) {
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
}

uint64_t fnv1a(const std::string &s) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : s) h = (h ^ c) * 1099511628211ull;
  return h;
}

// What a run shows: its status, the file it wrote, then its text.
std::string outcome(const Case &c, const std::string &dir, const std::string &program) {
  std::vector<std::string> args = c.args;
  args.insert(args.end() - (c.file.empty() || c.args.back() != c.file ? 0 : 1), c.tape);
  harness::Options opt{.input = c.keys, .cwd = dir, .env = {}, .seconds = 60, .file_size_limit = 0, .program = program};
  harness::Result r = harness::run(args, opt);
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

TEST(Golden, RunsGiveTheStoredTextsAndFiles) {
  harness::TempDir dir;
  write_tapes(dir.path());
  const char *mode = std::getenv("REELWRIGHT_GOLDEN");
  const char *program = std::getenv("REELWRIGHT_GOLDEN_PROGRAM");
  const bool write = mode && std::string(mode) == "write";
  for (const Case &c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = std::string(REELWRIGHT_SOURCE_DIR) + "/tests/data/golden/" + c.name + ".txt";
    const std::string got = outcome(c, dir.path(), program ? program : REELWRIGHT_BIN);
    if (write) std::ofstream(path, std::ios::binary) << got;
    EXPECT_EQ(got, harness::read_file(path));
  }
}

}  // namespace
