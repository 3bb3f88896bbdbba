// The command line: what each switch does, the output name and rate it
// gives, and the errors of a command line that makes no sense.
#include <gtest/gtest.h>

#include "driver/options.hpp"
#include "format/failure.hpp"
#include "support/harness.hpp"

namespace {

using namespace driver;

// The options a command line gives, or its error text; then any text it
// shows past the banner.
std::string parse(std::vector<std::string> args) {
  args.insert(args.begin(), "reelwright");
  std::vector<char *> argv;
  for (auto &a : args) argv.push_back(a.data());
  char *text = nullptr;
  size_t size = 0;
  FILE *out = open_memstream(&text, &size);
  Console console(out, stdin);
  std::string got;
  try {
    auto o = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), console);
    if (!o) got = "done";
    else
      got = std::to_string(static_cast<int>(o->mode)) + " " + std::to_string(static_cast<int>(o->output)) + " " +
            std::to_string(o->freq) + " " + o->output_name + " " + std::to_string(o->starting) + " " +
            std::to_string(o->ending) + (o->pages ? " p" : "") + (o->expand ? " x" : "") + (o->mode128 ? " 128" : "");
  } catch (const format::Failure &f) {
    got = f.what();
  }
  std::fclose(out);
  std::string shown(text, size);
  std::free(text);
  shown.erase(0, shown.starts_with(harness::kBanner) ? harness::kBanner.size() : 0);
  if (shown.starts_with("\nUsage: reelwright")) shown = "usage";
  return got + (shown.empty() ? "" : " | " + shown);
}

TEST(CommandLine, SwitchesNamesAndRates) {
  // mode (0 play, 1 info, 2 one), output (0 live, 1 voc, 2 au), rate, output name, range, flags
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{}, "done | usage"},
      {{"t.tzx"}, "0 0 44100  1 0"},
      {{"-voc", "t.tzx"}, "0 1 30303 t.VOC 1 0"},
      {{"-au", "dir.x/t"}, "0 2 44100 dir.x/t.au 1 0"},
      {{"-voc", "-au", "my.old.tzx"}, "0 1 30303 my.old.VOC 1 0"},
      {{"-freq", "22050", "-voc", "t.tzx", "out.voc"}, "0 1 22050 out.voc 1 0"},
      {{"-voc", "-freq", "0", "t.tzx"}, "0 1 30303 t.VOC 1 0"},
      {{"-info", "-one", "-au", "t.tzx", "ignored.au"}, "2 2 44100 ignored.au 1 0"},
      {{"-b", "-3", "-e", "12ab", "-p", "-x", "-128", "t.tzx"}, "0 0 44100  -3 12 p x 128"},
      {{"-v", "t.tzx"}, "Invalid Option -v !"},
      {{"-vocx", "t.tzx"}, "Invalid Option -vocx !"},
      {{"-INFO"}, "Invalid Option -INFO !"},
      {{"-"}, "Invalid Option - !"},
      {{"a", "b", "c"}, "Too Many files on command line!"},
      {{"-q", "a", "b", "c"}, "Invalid Option -q !"},
      {{"-voc", "-one", "t.tzx"}, "Both -voc AND -info (or -one) switches selected !"},
      {{"-one"}, "No Files specified !"},
      {{"t.tzx", "-b"}, "Switch -b needs a number after it !"},
      {{"-freq", "-5", "t.tzx"}, "Sampling frequency -5 Hz is out of range (1 to 3500000 Hz) !"},
      {{"-freq", "3500001", "t.tzx"}, "Sampling frequency 3500001 Hz is out of range (1 to 3500000 Hz) !"},
      // The format from the second name, any case; a switch wins, with a warning.
      {{"-wav", "t.tzx"}, "0 3 44100 t.wav 1 0"},
      {{"t.tzx", "out.WAV"}, "0 3 44100 out.WAV 1 0"},
      {{"t.tzx", "out.Voc"}, "0 1 30303 out.Voc 1 0"},
      {{"t.tzx", "out.au", "-freq", "8000"}, "0 2 8000 out.au 1 0"},
      {{"t.tzx", "out.mp3"},
       "Cannot tell the sound format of out.mp3: name it .voc, .au or .wav, or use -voc, -au or -wav !"},
      {{"t.tzx", "wav"}, "Cannot tell the sound format of wav: name it .voc, .au or .wav, or use -voc, -au or -wav !"},
      {{"-au", "t.tzx", "out.wav"},
       "0 2 44100 out.wav 1 0 | \n-- Warning: out.wav will hold AU sound, as -au asks, not what its name says!\n"},
      {{"-one", "t.tzx", "out.mp3"}, "2 0 44100 out.mp3 1 0"},
      {{"t.tzx", "-q", "--help"}, "done | usage"},
      {{"--version", "-q"}, "done | reelwright 0.12\n"},
  };
  for (const auto &[args, want] : rows) EXPECT_EQ(parse(args), want);
}

TEST(CommandLine, TheBlockRange) {
  harness::TempDir dir;
  std::ofstream(dir.file("t.tzx")) << std::string("ZXTape!\x1A\x01\x0A\x22\x22\x22", 13);  // three group ends
  auto range = [&](std::string b, std::string e) {
    std::string out = harness::run({"-one", "-b", b, "-e", e, dir.file("t.tzx")}).out;
    return out.substr(out.find("Number of Blocks: 3\n") + 20);
  };
  EXPECT_EQ(range("2", "2"), "\n  2-    B:    Group End\n");
  EXPECT_EQ(range("4", "0"), "\n-- Error: Invalid Starting Block\n");
  EXPECT_EQ(range("3", "2"), "\n-- Error: Invalid Ending Block\n");
  EXPECT_EQ(range("-3", "4"), "\n-- Error: Invalid Ending Block\n");
  EXPECT_EQ(range("0", "1"), "\n  1-    A:    Group End\n");
}

}  // namespace
