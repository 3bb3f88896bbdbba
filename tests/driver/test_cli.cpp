// Start-up: banner, usage, switch matching, the checks made after the scan,
// output file names and the sampling rate.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/expect.hpp"
#include "support/samples.hpp"

using expect::error;
using expect::head;

namespace {

// The file a conversion of an empty tape must give: one second of level 16.
std::string empty_voc(int rate) { return samples::voc_file(std::string(samples::pause(rate, 1000), 16), rate); }
std::string empty_au(int rate) { return samples::au_file(std::string(samples::pause(rate, 1000), 16), rate); }

}  // namespace

TEST(CommandLine, NoArgumentsPrintsBannerAndUsage) {
  auto r = harness::run({});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, harness::kBanner +
                       "\nUsage: reelwright [switches] file.tzx [output.voc|output.au]\n\n"
                       "       Switches:  -voc      Create a .VOC file instead of audio output\n"
                       "                  -au       Create a .au file instead of audio output\n"
                       "                  -freq n   Set sampling frequency to n Hz\n"
                       "                  -info     Show extensive Info on TZX file\n"
                       "                  -one      Show One line of Info per block (condensed form)\n"
                       "                  -x        eXpand the Groups in one line mode\n"
                       "                  -b    n   Start replay/conversion  at block n\n"
                       "                  -e    n   End replay/conversion after block n\n"
                       "                  -p        Wait after each page of Info\n"
                       "                  -128      Work in 128k mode\n");
}

TEST(CommandLine, SwitchesMustMatchExactly) {
  for (std::string bad : {"-v", "-vocx", "-INFO", "-", "-q", "-12", "-1280", "-pp"}) {
    auto r = harness::run({bad, "tape.tzx"});
    EXPECT_EQ(r.status, 1) << bad;
    EXPECT_EQ(r.out, harness::kBanner + error("Invalid Option " + bad + " !")) << bad;
  }
}

TEST(CommandLine, FileNameCountAndMissingValues) {
  auto r = harness::run({"a.tzx", "b.voc", "c.tzx", "-q"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, harness::kBanner + error("Too Many files on command line!"));
  // The scan stops at the first fault: a bad switch before the third name wins.
  r = harness::run({"a.tzx", "b.voc", "-q", "c.tzx"});
  EXPECT_EQ(r.out, harness::kBanner + error("Invalid Option -q !"));
  for (std::string sw : {"-b", "-e", "-freq"}) {
    r = harness::run({"a.tzx", sw});
    EXPECT_EQ(r.status, 1) << sw;
    EXPECT_EQ(r.out.rfind(harness::kBanner + "\n-- Error: ", 0), 0u) << sw << r.out;
  }
}

TEST(CommandLine, ChecksAfterTheScanInOrder) {
  harness::TempDir dir;
  tzx::Tzx t;
  std::string f = expect::save(dir, t.tone(2168, 5));
  // Both checks fail: the -voc/-info conflict is reported first.
  auto r = harness::run({"-voc", "-info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, harness::kBanner + error("Both -voc AND -info (or -one) switches selected !"));
  r = harness::run({"-one", "-voc", f});
  EXPECT_EQ(r.out, harness::kBanner + error("Both -voc AND -info (or -one) switches selected !"));
  r = harness::run({"-info"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, harness::kBanner + error("No Files specified !"));
  // The later of -info and -one wins; -x, -128 and -p are accepted.
  r = harness::run({"-info", "-x", "-128", "-p", "-one", f});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, head(1) + "\n" + "  1-    A:" + expect::tone_line(5));
  // -au with a listing lists the tape and writes nothing.
  tzx::Tzx u;
  std::string g = expect::save(dir, expect::unknown(u, 0x18), "u.tzx");
  r = harness::run({"-au", "-info", g});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, head(1) + expect::kNotRecognised + "\nBlock   1 (    A):  18 Unknown Block \n\n");
  EXPECT_FALSE(harness::exists(dir.file("u.au")));
}

TEST(CommandLine, OutputFileNames) {
  harness::TempDir dir;
  std::filesystem::create_directory(dir.file("my.dir"));
  tzx::Tzx t;  // no blocks
  for (std::string name : {"tape.tzx", "my.old.tzx", "both.tzx", "typed.tzx", "my.dir/tape"}) expect::save(dir, t, name);

  auto r = harness::run({"-voc", dir.file("tape.tzx")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, head(0) + "\nCreating .VOC file using 30303 Hz frequency.\n\n");
  EXPECT_EQ(harness::read_file(dir.file("tape.VOC")), empty_voc(30303));

  r = harness::run({"-au", dir.file("tape.tzx")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, head(0) + "\nCreating .au file using 44100 Hz frequency.\n\n");
  EXPECT_EQ(harness::read_file(dir.file("tape.au")), empty_au(44100));

  r = harness::run({"-voc", dir.file("my.old.tzx")});
  EXPECT_EQ(harness::read_file(dir.file("my.old.VOC")), empty_voc(30303));

  // VOC wins over AU.
  r = harness::run({"-au", "-voc", dir.file("both.tzx")});
  EXPECT_EQ(harness::read_file(dir.file("both.VOC")), empty_voc(30303));
  EXPECT_FALSE(harness::exists(dir.file("both.au")));

  // A second name is used as typed.
  r = harness::run({"-voc", dir.file("typed.tzx"), dir.file("out.voc")});
  EXPECT_EQ(harness::read_file(dir.file("out.voc")), empty_voc(30303));
  EXPECT_FALSE(harness::exists(dir.file("typed.VOC")));

  // A dot in the directory part does not count; a name without one gets ".au".
  r = harness::run({"-au", dir.file("my.dir/tape")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(harness::read_file(dir.file("my.dir/tape.au")), empty_au(44100));
  EXPECT_FALSE(harness::exists(dir.file("my.au")));
}

TEST(CommandLine, FrequencyAndStartingBlock) {
  harness::TempDir dir;
  tzx::Tzx t;
  std::string f = expect::save(dir, t);
  const std::vector<std::vector<std::string>> orders = {{"-voc", "-freq", "22050", f}, {"-freq", "22050", "-voc", f}};
  for (const auto &args : orders) {
    std::filesystem::remove(dir.file("tape.VOC"));
    auto r = harness::run(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, head(0) + "\nCreating .VOC file using 22050 Hz frequency.\n\n");
    EXPECT_EQ(harness::read_file(dir.file("tape.VOC")), empty_voc(22050));
  }
  // -freq 0 leaves the rate of -voc.
  auto r = harness::run({"-freq", "0", "-voc", f});
  EXPECT_EQ(harness::read_file(dir.file("tape.VOC")), empty_voc(30303));

  // The value after -b is a number even when it looks like a switch; a start
  // of 1 or less begins at the first block.
  tzx::Tzx three;
  std::string g = expect::save(dir, three.tone(100, 1).tone(100, 2).tone(100, 3), "three.tzx");
  r = harness::run({"-one", "-b", "-3", "-e", "2", g});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, head(3) + "\n" + "  1-    A:" + expect::tone_line(1) + "  2-    F:" + expect::tone_line(2));
}
