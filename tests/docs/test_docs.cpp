// The documentation tells the truth. Every command shown in README.md and in
// the manual page is run on a copy of examples/ and must print exactly the
// lines shown under it, with exit status 1 when they end in an error and 0
// otherwise; a conversion must write the file the documentation names, in the
// format it describes. An install must give a working program and a manual
// page that renders without complaint.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "support/harness.hpp"

namespace fs = std::filesystem;

namespace {

struct Example {
  std::string command, shown;  // the text after "$ "; the lines under it
  int line;                    // where the command stands in the document
};

// Example blocks are ``` fences in Markdown and .EX/.EE in roff (whose \-, \e,
// "\ " and \& escapes are undone). In them a line starting with "$ " is a
// command; the lines up to the next command or the block's end are its output.
std::vector<Example> examples(const std::string &doc, bool roff) {
  std::istringstream in(harness::read_file(std::string(REELWRIGHT_SOURCE_DIR) + "/" + doc));
  std::vector<Example> found;
  bool inside = false, open = false;
  std::string line;
  for (int n = 1; std::getline(in, line); n++) {
    if (roff ? (line == ".EX" || line == ".EE") : line.rfind("```", 0) == 0) {
      inside = roff ? line == ".EX" : !inside, open = false;
      continue;
    }
    if (!inside) continue;
    for (size_t i = 0; roff && (i = line.find('\\', i)) != std::string::npos; i++) {
      char c = line[i + 1];
      EXPECT_TRUE(c == '-' || c == ' ' || c == 'e' || c == '&') << doc << ":" << n;
      line.replace(i, 2, c == 'e' ? "\\" : c == '&' ? "" : std::string(1, c));
      if (c == '&') i--;
    }
    if (line.rfind("$ ", 0) == 0) found.push_back({line.substr(2), "", n}), open = true;
    else if (open) found.back().shown += line + "\n";
  }
  return found;
}

// A sound file of one of the three kinds (their layouts are checked byte for
// byte elsewhere), at the rate its announcement shows.
void check_sound_file(const std::string &d, unsigned rate) {
  ASSERT_GE(d.size(), 37u);
  auto be = [&](size_t at) { return unsigned(uint8_t(d[at])) << 24 | uint8_t(d[at + 1]) << 16 | uint8_t(d[at + 2]) << 8 | uint8_t(d[at + 3]); };
  auto le = [&](size_t at) { return unsigned(uint8_t(d[at + 3])) << 24 | uint8_t(d[at + 2]) << 16 | uint8_t(d[at + 1]) << 8 | uint8_t(d[at]); };
  if (d.starts_with("RIFF")) EXPECT_TRUE(d.substr(8, 4) == "WAVE" && le(24) == rate && le(40) + 44 <= d.size());
  else if (d.starts_with(".snd")) EXPECT_TRUE(be(16) == rate && be(8) == d.size() - 32);
  else EXPECT_EQ(d.substr(0, 20), "Creative Voice File\x1A");
}

// The files of a folder and when each was last written.
std::map<std::string, fs::file_time_type> files(const std::string &dir) {
  std::map<std::string, fs::file_time_type> m;
  for (const auto &e : fs::directory_iterator(dir)) m[e.path().string()] = e.last_write_time();
  return m;
}

// Runs one example in `dir`; `status` is the exit status of the one before.
void run_example(const Example &ex, const std::string &dir, int &status) {
  if (ex.command == "echo $?") {
    EXPECT_EQ(ex.shown, std::to_string(status) + "\n");
    return;
  }
  // Live replay runs on SDL's dummy driver: in real time, with no sound card.
  harness::Options opt{.cwd = dir, .env = {"SDL_AUDIODRIVER=dummy"}, .seconds = 120};
  std::string cmd = ex.command;
  if (cmd.rfind("printf '\\033\\n' | ", 0) == 0) opt.input = "\033\n", cmd.erase(0, 17);
  std::istringstream words(cmd);
  std::vector<std::string> args;
  for (std::string w; words >> w;) {
    if (args.empty() && w.find('=') != std::string::npos) opt.env.push_back(w);  // NAME=value before the program
    else args.push_back(w);
  }
  ASSERT_TRUE(!args.empty() && args[0] == "reelwright");
  args.erase(args.begin());
  const auto before = files(dir);
  harness::Result r = harness::run(args, opt);
  ASSERT_NE(r.status, -1) << "ended by a signal or the time limit";
  EXPECT_EQ(r.out, ex.shown);
  const bool error = ex.shown.find("\n-- Error: ") != std::string::npos;
  EXPECT_EQ(r.status, error ? 1 : 0);
  status = r.status;
  // What a conversion writes (and nothing else is written): a sound file at
  // its rate, or a tape image.
  const size_t using_at = ex.shown.find(" file using "), tape_at = ex.shown.find(" tape image ", ex.shown.find("\nCreating T"));
  if (tape_at != std::string::npos && !error) {
    const std::string name = ex.shown.substr(tape_at + 12, ex.shown.find(".\n", tape_at) - tape_at - 12);
    const std::string image = harness::read_file(dir + "/" + name);
    EXPECT_TRUE(image.starts_with(std::string("ZXTape!\x1A\x01\x14\x30", 11)) || name.ends_with(".tap")) << name;
    EXPECT_GT(image.size(), 20u);
    fs::remove(dir + "/" + name);
  }
  // What -screen and -extract write: each picture named, each file listed
  // in the folder, of the length shown.
  std::set<std::string> shown;
  std::istringstream out(error ? std::string() : r.out);
  std::string folder;
  for (std::string l; std::getline(out, l);) {
    if (const size_t at = l.find(" written to "); l.starts_with("Screen of block ") && at != std::string::npos) {
      const std::string png = dir + "/" + l.substr(at + 12);
      EXPECT_TRUE(harness::read_file(png).starts_with("\x89PNG\r\n\x1A\n")) << png;
      shown.insert(png);
    } else if (l.starts_with("Written into ")) {
      folder = dir + "/" + l.substr(13, l.size() - 14);
      shown.insert(folder);
    } else if (!folder.empty() && l.starts_with("  ")) {
      std::istringstream f(l);
      std::string name;
      size_t length = 0;
      f >> name >> length;
      EXPECT_EQ(harness::read_file(folder + "/" + name).size(), length) << name;
    }
  }
  int written = 0;
  for (const auto &[path, when] : files(dir)) {
    if (before.count(path) && before.at(path) == when) continue;
    if (shown.count(path)) continue;
    ASSERT_TRUE(using_at != std::string::npos && !error) << path << " was written";
    check_sound_file(harness::read_file(path), unsigned(std::stoul(ex.shown.substr(using_at + 12))));
    written++;
  }
  EXPECT_EQ(written, using_at != std::string::npos && !error ? 1 : 0);
}

// Runs every example of a document, in order, in one copy of examples/.
std::vector<Example> run_examples(const std::string &doc, bool roff) {
  harness::TempDir dir;
  fs::copy(fs::path(REELWRIGHT_SOURCE_DIR) / "examples", dir.path(), fs::copy_options::recursive);
  auto found = examples(doc, roff);
  int status = -1;
  for (const auto &ex : found) {
    SCOPED_TRACE(doc + ":" + std::to_string(ex.line) + ": " + ex.command);
    run_example(ex, dir.path(), status);
  }
  return found;
}

// Runs a shell command; its standard output and error together.
harness::Result shell(const std::string &cmd) { return harness::run({"-c", cmd + " 2>&1"}, {.program = "/bin/sh"}); }

}  // namespace

TEST(Docs, ReadmeExamplesAreReal) {
  auto found = run_examples("README.md", false);
  EXPECT_GE(found.size(), 15u);
  for (std::string s : {"-voc", "-au", "-wav", "-freq", "-info", "-one", "-x", "-b", "-e", "-p", "-128", "-exact",
                        "-invert", "-vol", "-16", "-speed", "-tap", "-basic", "-hex", "-screen", "-extract"}) {
    bool shown = false;  // every switch is shown at work at least once
    for (const auto &ex : found) shown |= (ex.command + " ").find(" " + s + " ") != std::string::npos;
    EXPECT_TRUE(shown) << s;
  }
}

TEST(Docs, ManualPageExamplesAreReal) { EXPECT_GE(run_examples("reelwright.1", true).size(), 5u); }

TEST(Docs, InstallGivesAWorkingProgramAndManualPage) {
  harness::TempDir prefix;
  harness::Result r = shell("cmake --install '" REELWRIGHT_BUILD_DIR "' --prefix '" + prefix.path() + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  std::string page = prefix.file("share/man/man1/reelwright.1");

  r = shell("'" + prefix.file("bin/reelwright") + "'");  // no arguments: the usage text
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind(harness::kBanner + "\nUsage: reelwright [switches] file.tzx [output.voc|output.au]\n\n", 0), 0u);
  EXPECT_NE(r.out.find("\n                  -128      Work in 128k mode\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n                  -speed n  Play the tape at n% of its speed (50 to 200)\n"), std::string::npos);
  EXPECT_NE(r.out.find("\n                  -2400     Play MSX CAS tapes at 2400 baud (1200 without)\n"), std::string::npos);
  EXPECT_TRUE(r.out.ends_with("\n                  -extract d Write every file on the tape into folder d\n")) << r.out;

  r = shell("groff -man -ww -z '" + page + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  r = shell("LC_ALL=C MANWIDTH=80 MANPAGER=cat man -l '" + page + "'");
  ASSERT_EQ(r.status, 0) << r.out;
  for (std::string h : {"NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "FILES", "EXIT STATUS", "EXAMPLES", "NOTES"})
    EXPECT_NE(r.out.find("\n" + h + "\n"), std::string::npos) << h;
  for (std::string s : {"-voc ", "-au ", "-wav ", "-freq n\n", "-info ", "-one ", "-x ", "-b n ", "-e n ", "-p ", "-128 ",
                        "-exact ", "-invert\n", "-vol n ", "-16 ", "-speed n\n", "-tzx ", "-tap ", "-left ",
                        "-right ", "-rec ", "-2400 ", "-basic ", "-hex ", "-screen file\n", "-extract folder\n"})
    EXPECT_NE(r.out.find("\n       " + s), std::string::npos) << s;  // each switch heads an entry of OPTIONS
}
