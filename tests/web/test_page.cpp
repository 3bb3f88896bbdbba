// The web page's side of the program against the program itself: the list, the saved files, the
// player's samples and the recorder's blocks are what the command line prints and writes.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/golden.hpp"
#include "support/harness.hpp"
#include "web/page.hpp"

namespace {

using harness::read_file, harness::run, harness::TempDir;

const std::string kDemo = std::string(REELWRIGHT_SOURCE_DIR) + "/examples/demo.tzx";

// The block lines of the program's one-line listing, everything shown.
std::string OneLines(const std::string &path) {
  const std::string out = run({"-one", "-x", path}).out;
  return out.substr(out.find("\n\n", out.find("Number of Blocks")) + 2);
}

// The strings of a JSON list of strings, as the page reads them (\u00XX is a byte).
std::string Joined(const std::string &json, const std::string &key) {
  std::string r;
  size_t at = json.find("\"" + key + "\":[") + key.size() + 4;
  for (bool in = false; at < json.size() && (in || json[at] != ']'); at++) {
    const char c = json[at];
    if (c == '"') in = !in;
    else if (in && c == '\\') {
      const char e = json[++at];
      if (e == 'n') r += '\n';
      else if (e == 'u') r += static_cast<char>(std::stoi(json.substr(at + 1, 4), nullptr, 16)), at += 4;
      else r += e;
    } else if (in) r += c;
  }
  return r;
}

// The samples a player renders from a block on, as 8-bit WAV bytes.
std::string Rendered(web::Page &p) {
  std::string s;
  for (int n; (n = p.render()) >= 0;)
    for (int i = 0; i < n; i++) s += static_cast<char>(128 + static_cast<int>(p.level(p.samples()[i] >= 128) * 128));
  return s;
}

TEST(Page, ListsSavesAndPlaysAsTheProgramDoes) {
  const TempDir dir;
  web::Page p;
  EXPECT_NE(p.open(kDemo, false).find("\"text\":\"\\nZXTape file revision 1.10\\nNumber of Blocks: 6\\n\""), std::string::npos);
  // [the page's switches, the program's]
  struct Row {
    web::Settings set;
    std::vector<std::string> args;
  };
  const Row rows[] = {
      {{44100, {}, {}, false}, {"-wav"}},
      {{22050, {true, 120}, {40, true, false}, false}, {"-wav", "-freq", "22050", "-exact", "-speed", "120", "-vol", "40", "-invert"}},
  };
  for (const Row &r : rows) {
    std::vector<std::string> args = r.args;
    args.insert(args.end(), {kDemo, dir.file("want.wav")});
    ASSERT_EQ(run(args).status, 0);
    const std::string want = read_file(dir.file("want.wav"));
    const std::string prepared = p.prepare(r.set);
    EXPECT_EQ(p.save(web::Saved::wav, r.set.rate, dir.file("got.wav"), "demo.tzx"), "{\"warnings\":[],\"ext\":\"wav\"}");
    EXPECT_EQ(read_file(dir.file("got.wav")), want) << args[1];
    // The player's samples are the conversion's; its lengths add up to them.
    EXPECT_TRUE(Rendered(p) == want.substr(44)) << args[1];
    uint64_t total = 0, before_5 = 0;
    std::istringstream lengths(prepared.substr(prepared.find('[') + 1));
    for (uint64_t i = 0, n; i < 6 && lengths >> n && lengths.get(); i++) (i < 4 ? before_5 : total) += n;
    total += before_5;
    // The closing second follows, as short as the speed makes it.
    EXPECT_EQ(total + static_cast<uint64_t>(r.set.rate * 100 / r.set.timing.speed), want.size() - 44) << args[1];
    // From a block on, the same samples (in exact time a block begins afresh: no carry comes with a move).
    p.go_to(4, -1);
    if (!r.set.timing.exact) {
      EXPECT_TRUE(Rendered(p) == want.substr(44 + before_5)) << "from block 5, " << args[1];
    }
  }
  // A TAP file leaves the texts out, with the program's warning.
  ASSERT_EQ(run({"-tap", kDemo, dir.file("want.tap")}).status, 0);
  EXPECT_EQ(p.save(web::Saved::tap, 44100, dir.file("got.tap"), "demo.tzx"),
            "{\"warnings\":[\"A TAP file holds data blocks only; these blocks are left out: 1 (Archive Info), 2 (Description)!\"],\"ext\":\"tap\"}");
  EXPECT_EQ(read_file(dir.file("got.tap")), read_file(dir.file("want.tap")));
}

// Moves by the visits played: again and next to one of them, on past the last as the player would go on, and a
// move to nowhere (no tape, a block or visit out of range) leaves the tape where it is.
TEST(Page, MovesByTheVisitsPlayed) {
  web::Page p;
  EXPECT_FALSE(p.go_to(0, -1) || p.next(0) || p.again(0));
  const std::string opened = p.open(kDemo, false);
  const int count = std::stoi(opened.substr(opened.find("Blocks: ") + 8));
  p.prepare({});
  const auto played = [&p](int n) {
    std::vector<int> blocks;
    while (n-- > 0 && p.render() >= 0) blocks.push_back(p.rendered());
    return blocks;
  };
  const std::vector<int> first = played(3);
  ASSERT_EQ(first.size(), 3u);
  EXPECT_FALSE(p.go_to(-1, 0) || p.go_to(count, 0) || p.again(-1) || p.again(3) || p.next(3));
  // The tape is where it was: it goes on from the fourth visit.
  EXPECT_EQ(played(1), std::vector<int>{first[2] + 1});
  p.restart();
  played(3);
  EXPECT_TRUE(p.next(1));
  EXPECT_EQ(played(1), std::vector<int>{first[2]});
  p.restart();
  played(3);
  EXPECT_TRUE(p.next(2));  // past the last visit played: the block after it
  EXPECT_EQ(played(1), std::vector<int>{first[2] + 1});
  p.restart();
  played(3);
  EXPECT_TRUE(p.again(0));
  EXPECT_EQ(played(2), (std::vector<int>{first[0], first[1]}));
  // A block never played, with a visit out of range: from the block, as in file order.
  p.restart();
  played(2);
  EXPECT_TRUE(p.go_to(4, 2));
  EXPECT_EQ(played(1), std::vector<int>{4});
}

TEST(Page, SaysWhyAFileIsNoTapeAndGoesOn) {
  const TempDir dir;
  std::ofstream(dir.file("notes.txt")) << "Not a tape at all.\n";
  std::ofstream(dir.file("cut.tzx"), std::ios::binary) << read_file(kDemo).substr(0, 200);
  web::Page p;
  EXPECT_EQ(p.open(dir.file("notes.txt"), false), "{\"error\":\"File is not in ZXTape format!\",\"text\":\"\"}");
  EXPECT_EQ(p.prepare({}), "{\"error\":\"No tape is open!\"}");
  p.restart();
  EXPECT_EQ(p.render(), -1);
  EXPECT_EQ(p.save(web::Saved::tzx, 44100, dir.file("x.tzx"), "x"), "{\"error\":\"No tape is open!\",\"warnings\":[]}");
  p.open(kDemo, false);
  EXPECT_EQ(p.save(web::Saved::own, 44100, dir.file("x.tzx"), "x"),
            "{\"error\":\"This tape has no image of its own machine: save it as TZX or TAP!\",\"warnings\":[]}");
  EXPECT_NE(p.open(dir.file("cut.tzx"), false).find("\\n-- Warning: The tape ends inside block 4, which is ignored!\\n"),
            std::string::npos);
  EXPECT_EQ(Joined(p.open(kDemo, false), "blocks"), OneLines(kDemo));
  // A stop between two data blocks is a conversion's: five seconds, then low; the player stops there. A CSW file
  // is decoded into the TZX image.
  const std::string head("ZXTape!\x1a\x01\x14", 10), data("\x10\xe8\x03\x03\x00\xff\x01\xfe", 8);
  std::ofstream(dir.file("stop.tzx"), std::ios::binary) << head + data + std::string("\x20\0\0", 3) + data;
  ASSERT_EQ(run({"-wav", dir.file("stop.tzx"), dir.file("stop.wav")}).status, 0);
  p.open(dir.file("stop.tzx"), false);
  p.prepare({});
  EXPECT_EQ(p.save(web::Saved::wav, 44100, dir.file("got.wav"), "stop.tzx"), "{\"warnings\":[],\"ext\":\"wav\"}");
  EXPECT_TRUE(read_file(dir.file("got.wav")) == read_file(dir.file("stop.wav")));
  EXPECT_TRUE(p.render() > 0 && p.rendered_halt() == 0 && p.render() >= 0 && p.rendered_halt() == 1 && p.rendered() == 1);
  // The tape's total counts to the stop, and past it to the end (the closing second left out).
  EXPECT_TRUE(p.render() > 0 && p.render() > 0 && p.render() == -1);
  EXPECT_NE(p.status(0, 0, false, 100).find("tape 0:00/0:02 to the stop  ["), std::string::npos);
  EXPECT_NE(p.status(2, 0, false, 100).find("tape 0:02/0:05  ["), std::string::npos);
  const std::string csw = std::string(REELWRIGHT_SOURCE_DIR) + "/examples/tone.csw";
  ASSERT_EQ(run({"-tzx", csw, dir.file("tone.tzx")}).status, 0);
  p.open(csw, false);
  EXPECT_EQ(p.save(web::Saved::tzx, 44100, dir.file("got.tzx"), "tone.csw"), "{\"warnings\":[],\"ext\":\"tzx\"}");
  EXPECT_EQ(read_file(dir.file("got.tzx")), read_file(dir.file("tone.tzx")));
}

// The page follows a tape's stops, jumps, loops, calls and choices as the program does: the blocks it plays, in
// order, are those the program's conversion prints; a choice takes the key typed; the saved WAV is the program's.
TEST(Page, FollowsTheFlowOfTheTapeAsTheProgramDoes) {
  const TempDir dir;
  golden::write_tapes(dir.path());
  // [tape, the keys typed at its choices, 128K]
  const std::tuple<const char *, std::string, bool> rows[] = {
      {"loops.tzx", "", false}, {"calls.tzx", "", false},   {"choose.tzx", "112", false}, {"choose.tzx", "3", true},
      {"every.tzx", "2", false}, {"every.tzx", "1", true}, {"jumps.tzx", "", false},     {"circles.tzx", "", false}};
  for (const auto &[name, keys, mode128] : rows) {
    SCOPED_TRACE(std::string(name) + " " + keys);
    std::vector<std::string> args = {"-wav", "-x", "-freq", "8000", dir.file(name), dir.file("want.wav")};
    if (mode128) args.insert(args.begin(), "-128");
    const harness::Result program = run(args, {.input = keys});
    std::string blocks, warnings, error;  // "Block   3:" as the program prints each block it visits; its words
    for (size_t at = 0; (at = program.out.find("Block ", at)) != std::string::npos; at += 6)
      if (program.out[at + 9] == ':') blocks += program.out.substr(at, 10) + " ";
    for (size_t at = program.out.find("Creating"); (at = program.out.find("\n-- ", at)) != std::string::npos; at++) {
      const std::string words = program.out.substr(at + 4, program.out.find('\n', at + 1) - at - 4);
      (words.starts_with("Error: ") ? error : warnings) += words.substr(words.find(' ') + 1);
    }
    web::Page p;
    const std::string opened = p.open(dir.file(name), false);
    const int count = std::stoi(opened.substr(opened.find("Blocks: ") + 8));
    std::string listed = OneLines(dir.file(name));  // where each jump, call and choice leads (warnings apart)
    if (listed.starts_with("-- ")) listed.erase(0, listed.find("\n\n") + 2);
    EXPECT_EQ(Joined(opened, "blocks"), listed);
    p.prepare({8000, {}, {}, mode128});
    std::string visited;
    size_t typed = 0;
    for (int n; (n = p.render()) >= 0 || (p.rendered_halt() == 2 && typed < keys.size() + 1);) {
      if (n < 0) p.choose(typed < keys.size() ? keys[typed] : '\n'), typed++;
      else if (p.rendered() < count) visited += "Block " + std::string(3 - std::to_string(p.rendered() + 1).size(), ' ') +
                                         std::to_string(p.rendered() + 1) + ": ";
    }
    EXPECT_EQ(visited, blocks);
    EXPECT_EQ(error.empty() ? "" : p.said(), error);
    std::filesystem::remove(dir.file("got.wav"));
    const std::string saved = p.save(web::Saved::wav, 8000, dir.file("got.wav"), name);
    EXPECT_EQ(Joined(saved, "warnings"), warnings);
    if (error.empty()) EXPECT_TRUE(read_file(dir.file("got.wav")) == read_file(dir.file("want.wav"))) << saved;
    else EXPECT_TRUE(saved.starts_with("{\"error\":\"" + error + "\"") && !harness::exists(dir.file("got.wav"))) << saved;
  }
}

TEST(Page, DecodesTheLineInputAsAFileOfItIsDecoded) {
  const TempDir dir;
  ASSERT_EQ(run({"-wav", "-b", "3", kDemo, dir.file("rec.wav")}).status, 0);
  const std::string wav = read_file(dir.file("rec.wav"));
  web::Page p;
  EXPECT_EQ(p.record_feed(1), "{\"error\":\"No recording is under way!\"}");
  p.record_begin(44100);
  std::string found, line;
  for (size_t at = 44; at < wav.size(); at += 4096) {
    const size_t n = std::min<size_t>(4096, wav.size() - at);
    float *f = p.record_buffer(n);
    for (size_t i = 0; i < n; i++) f[i] = (static_cast<uint8_t>(wav[at + i]) - 128) / 128.0f;
    const std::string fed = p.record_feed(n);
    found += Joined(fed, "blocks");
    line = fed.substr(0, fed.find("\",\""));
  }
  EXPECT_EQ(line, "{\"line\":\"REC 0:20.5    -1 dB [###############-]  3 good, 0 bad");
  const std::string ended = p.record_end("rec.tzx");
  const std::string program = OneLines(dir.file("rec.wav"));
  EXPECT_EQ(Joined(ended, "blocks"), program);
  // As found, before the pause after each is known: the lines as -rec shows them, without the pause.
  std::string shown = program.substr(0, program.rfind("  4 "));
  for (size_t at; (at = shown.find(",Pause: 1.000s")) != std::string::npos;) shown.erase(at, 14);
  EXPECT_EQ(found, shown);  // the last one ends with the recording
  EXPECT_NE(ended.find("Recorded 0:20.5: 4 blocks, 4 good, 0 bad"), std::string::npos);
  // The meter of a steady level (a quarter of a second a reading): its level, and a word when it is wrong.
  for (auto [peak, seconds, line] : {std::tuple{0.1f, 0.25, "REC 0:00.3   -20 dB [##########------]  0 good, 0 bad"},
                                     {0.0335f, 2.5, "REC 0:02.5   -29 dB [########--------]  0 good, 0 bad"},
                                     {0.0f, 2.5, "REC 0:02.5  -100 dB [----------------]  0 good, 0 bad  too quiet: turn it up"},
                                     {1.0f, 0.1, "REC 0:00.1  -100 dB [----------------]  0 good, 0 bad"}}) {
    p.record_begin(8000);
    float *f = p.record_buffer(static_cast<size_t>(seconds * 8000));
    for (size_t i = 0; i < static_cast<size_t>(seconds * 8000); i++) f[i] = peak;
    EXPECT_EQ(p.record_feed(static_cast<size_t>(seconds * 8000)), "{\"line\":\"" + std::string(line) + "\",\"blocks\":[]}");
  }
  EXPECT_EQ(p.record_end("none.tzx"), "{\"error\":\"No block was found in the recording: no tape is made!\",\"text\":\"\\nRecorded 0:00.1: 0 blocks, 0 good, 0 bad\\n\"}");
}

TEST(Page, QuotesTextsForJson) {
  EXPECT_EQ(web::Quoted("a\"b\\c\nd\te\x7F\xE9"), "\"a\\\"b\\\\c\\nd\\u0009e\\u007f\\u00e9\"");
  EXPECT_EQ(web::List({}) + web::List({"a", "b"}), "[][\"a\",\"b\"]");
}

}  // namespace
