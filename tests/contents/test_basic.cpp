// BASIC listings: the Spectrum's against listbasic (fuse-emulator-utils) on
// the tapes the tests have, and every other machine's from programs made
// here from its token table.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "contents/basic.hpp"
#include "support/harness.hpp"
#include "support/tapes.hpp"

namespace {

using tzx::Bytes;
using tzx::put;

// A Spectrum line: number (high byte first), length, text, ENTER.
Bytes line(unsigned n, const Bytes &text) {
  Bytes b{uint8_t(n >> 8), uint8_t(n)};
  put(b, uint32_t(text.size() + 1), 2), put(b, text), b.push_back(0x0D);
  return b;
}
Bytes text(const std::string &s) { return Bytes(s.begin(), s.end()); }
Bytes join(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes &p : parts) put(b, p);
  return b;
}
// A number's text and its hidden form (small integers).
Bytes number(const std::string &shown, int value) {
  return join({text(shown), {0x0E, 0, uint8_t(value < 0 ? 0xFF : 0), uint8_t(value), uint8_t(value >> 8), 0}});
}

// A TAP file of one program: header, data (program, then a variable).
Bytes program_tap(const std::string &name, const Bytes &program, unsigned autostart = 0x8000) {
  Bytes data = program;
  put(data, Bytes{0x41, 0, 0, 5, 0, 0});  // variable a = 5
  return tzx::tap({tzx::spectrum_header(0, name, unsigned(data.size()), autostart, unsigned(program.size())),
                   tzx::data_block(0xFF, data)});
}

// Every keyword (128K ones too), adjacent keywords and spaces, colour
// codes, graphics and user-defined characters, hidden numbers.
Bytes every_keyword() {
  Bytes p;
  for (unsigned t = 0xA3; t <= 0xFF; t++) put(p, line(t, join({{uint8_t(t)}, text("1")})));
  put(p, line(1000, join({{0xF5, 0xC0}, text("\"A\":"), {0xEA}, text("\"hi\"")})));
  put(p, line(1001, join({{0xF5, 0xC5}, text("1 "), {0xC5}, text(" B"), {0xFA}, text("a"), {0xCB, 0xF5}})));
  put(p, line(1002, join({{0xF4}, number("23", 23), text(","), number("255", 255), text(":"), {0xF5, 0xC4}, number("101", 5)})));
  put(p, line(1003, join({{0xF5}, text("\""), {0x10, 2}, text("A"), {0x11, 5, 0x12, 1, 0x13, 1, 0x14, 0, 0x15, 0, 0x16, 1, 2, 0x17, 5, 0}, text("\"")})));
  Bytes g{0xF5, '"'};
  for (unsigned c = 0x80; c <= 0xA2; c++) g.push_back(uint8_t(c));
  put(p, line(1004, join({g, text("\""), {0xF5}, text("\""), {0x60, 0x7F, 0x5E}, text("\"")})));
  put(p, line(9999, join({{0xEA}, text("the end")})));
  return p;
}

// listbasic's escapes for the block graphics 0x80 to 0x8F.
const char *const kBlocks[] = {"\\  ", "\\ '", "\\' ", "\\''", "\\ .", "\\ :", "\\'.", "\\':",
                               "\\. ", "\\.'", "\\: ", "\\:'", "\\..", "\\.:", "\\:.", "\\::"};

// A listing of ours in listbasic's terms: its braces for graphics, user-
// defined characters and signs; the codes it leaves out (colours, places)
// and the hidden-number marks left out.
std::string as_listbasic(std::string s) {
  std::string out;
  const std::regex brace(R"(\{([^{}]*)\})");
  std::sregex_iterator it(s.begin(), s.end(), brace), end;
  size_t at = 0;
  for (; it != end; ++it) {
    out += s.substr(at, size_t(it->position()) - at);
    at = size_t(it->position() + it->length());
    const std::string b = (*it)[1];
    if (b.starts_with("GR ")) out += kBlocks[std::stoi(b.substr(3))];
    else if (b.starts_with("UDG-")) out += std::string("\\") + char(std::tolower(b[4]));
    else if (b == "POUND") out += "`";
    else if (b == "(C)") out += "\\*";
  }
  return out + s.substr(at);
}

// The program lines of a -basic run (the lines under each heading).
std::vector<std::string> listed(const std::string &out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  bool inside = false;
  for (std::string l; std::getline(in, l);) {
    if (l.starts_with("Block ")) inside = true;
    else if (l.empty()) inside = false;
    else if (inside) lines.push_back(l);
  }
  return lines;
}
std::vector<std::string> lines_of(const std::string &out) {
  std::vector<std::string> lines;
  std::istringstream in(out);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

TEST(SpectrumBasic, ListsAsListbasicDoesOnTheTestsTapes) {
  const std::string listbasic = "/usr/bin/listbasic";
  if (!harness::exists(listbasic)) GTEST_SKIP() << listbasic << " is not there";
  harness::TempDir dir;
  tzx::save(dir.file("keywords.tap"), program_tap("KEYWORDS", every_keyword(), 1000));
  tzx::save(dir.file("every.tzx"), tapes::every_block().bytes);
  const std::string examples = std::string(REELWRIGHT_SOURCE_DIR) + "/examples/";
  struct Tape {
    std::string path;
    bool k128;
  };
  const Tape tapes[] = {{examples + "demo.tzx", false}, {examples + "demo.tap", false}, {examples + "screen.tap", false},
                        {dir.file("keywords.tap"), true}};
  int programs = 0, same = 0;
  for (const Tape &t : tapes) {
    SCOPED_TRACE(t.path);
    std::vector<std::string> args{"-basic", t.path};
    if (t.k128) args.push_back("-128");
    const harness::Result mine = harness::run_here(args);
    const harness::Result theirs = harness::run({t.path}, {.program = listbasic});
    ASSERT_EQ(theirs.status, 0) << theirs.err;
    std::vector<std::string> ours = listed(mine.out);
    for (std::string &l : ours) l = as_listbasic(l);
    const std::vector<std::string> want = lines_of(theirs.out);
    EXPECT_EQ(ours.size(), want.size());
    for (size_t i = 0; i < std::min(ours.size(), want.size()); i++) EXPECT_EQ(ours[i], want[i]);
    programs++, same += ours == lines_of(theirs.out);
  }
  std::printf("%d of %d tapes' BASIC listed as listbasic lists it\n", same, programs);
  // A tape with no program: neither lists anything.
  EXPECT_EQ(listed(harness::run_here({"-basic", dir.file("every.tzx")}).out), std::vector<std::string>{});
}

TEST(SpectrumBasic, HiddenNumbersThatDifferFromTheirTextAreMarked) {
  struct Row {
    Bytes program;
    std::string want;
  };
  const Row rows[] = {
      {line(10, join({{0xF4}, number("23", 23), text(","), number("0", 201)})), "   10 POKE 23,0{=201}"},
      {line(20, join({{0xF9, 0xC0}, number("0", 23296)})), "   20 RANDOMIZE USR 0{=23296}"},
      {line(30, join({{0xF5, 0xC4}, number("101", 5), text("+"), number("1.5", 1)})), "   30 PRINT BIN 101+1.5{=1}"},
      // 0.5 as a floating number: exponent 0x80, mantissa 0x80000000.
      {line(40, join({{0xF5}, text("0.5"), {0x0E, 0x80, 0, 0, 0, 0}, text(",-"), number("1", 1)})), "   40 PRINT 0.5,-1"},
      {line(50, join({{0xEA}, text("x"), {0x0E, 1, 2, 3, 4, 5}})), "   50 REM x"},  // a REM's bytes are no number
      {line(60, join({text("a1"), {0x0E, 0, 0, 9, 0, 0}})), "   60a1"},          // a name's digits neither
  };
  for (const Row &r : rows) {
    const contents::Listing l = contents::ListSpectrum(r.program, false);
    ASSERT_EQ(l.lines.size(), 1u);
    EXPECT_EQ(l.lines[0], r.want);
  }
  const uint8_t minus_half[] = {0x80, 0x80, 0, 0, 0}, big[] = {0x91, 0x00, 0, 0, 0};
  EXPECT_EQ(contents::SinclairNumber(minus_half), -0.5);
  EXPECT_EQ(contents::SinclairNumber(big), 65536.0);
}

TEST(SpectrumBasic, KeywordsOf128KAreUserGraphicsInA48KString) {
  const Bytes p = line(1, join({{0xA3, 0xF5}, text("\""), {0xA3, 0xA4}, text("\"")}));
  EXPECT_EQ(contents::ListSpectrum(p, false).lines[0], "    1 SPECTRUM PRINT \"{UDG-T}{UDG-U}\"");
  EXPECT_EQ(contents::ListSpectrum(p, true).lines[0], "    1 SPECTRUM PRINT \" SPECTRUM PLAY \"");
}

TEST(SpectrumBasic, LinesWhoseLengthsLieAreListedAsFarAsTheBytesGo) {
  Bytes p = join({line(10, {0xF5}), line(20, join({{0xF5}, text("\"x\"")}))});
  p[p.size() - 7] = 200;  // line 20 says 200 bytes
  contents::Listing l = contents::ListSpectrum(p, false);
  EXPECT_EQ(l.lines, (std::vector<std::string>{"   10 PRINT ", "   20 PRINT \"x\""}));
  ASSERT_EQ(l.problems.size(), 1u);
  EXPECT_NE(l.problems[0].find("line 20"), std::string::npos);
  // Through the program: a header that claims 65,535 bytes, the program
  // listed and each fault warned of.
  harness::TempDir dir;
  Bytes tap = tzx::tap({tzx::spectrum_header(0, "LIAR", 65535, 10, 65535), tzx::data_block(0xFF, p)});
  tzx::save(dir.file("liar.tap"), tap);
  const harness::Result r = harness::run_here({"-basic", dir.file("liar.tap")});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Block   1: Program: LIAR (LINE 10)\n   10 PRINT \n   20 PRINT \"x\"\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("-- Warning: Block 1: its header states 65535 bytes; its block holds 15!"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("line 20 says it is 200 bytes long"), std::string::npos);
}

// ZX81 memory from 0x4009: system variables with D_FILE pointing past the
// program, which starts at 0x407D.
Bytes zx81_memory(const Bytes &program) {
  Bytes m(0x407D - 0x4009, 0);
  const unsigned dfile = 0x407D + unsigned(program.size());
  m[3] = uint8_t(dfile), m[4] = uint8_t(dfile >> 8);
  put(m, program), m.push_back(0x76);
  return m;
}

TEST(Zx81Basic, TheZx81sKeywordsAndCharacters) {
  // 10 PRINT "HI",AT 1,2;PI  /  20 IF A<=1 THEN GOTO 10 (with inverse, graphics, pound).
  Bytes one{0xF5, 0x0B, 0x2D, 0x2E, 0x0B, 0x1A, 0xC1, 0x1D, 0x7E, 0x81, 0, 0, 0, 0, 0x1A, 0x1E, 0x7E, 0x82, 0, 0, 0, 0, 0x19, 0x42};
  Bytes two{0xFA, 0x26, 0xDB, 0x1D, 0x7E, 0x81, 0, 0, 0, 0, 0xDE, 0xEC, 0x1D, 0x1C, 0x7E, 0x84, 0x20, 0, 0, 0, 0xEA, 0xAD, 0x01, 0x0C, 0x88};
  auto zline = [](unsigned n, const Bytes &t) {
    Bytes b{uint8_t(n >> 8), uint8_t(n)};
    put(b, uint32_t(t.size() + 1), 2), put(b, t), b.push_back(0x76);
    return b;
  };
  const contents::Listing l = contents::ListZx81(zx81_memory(join({zline(10, one), zline(20, two)})));
  EXPECT_EQ(l.lines, (std::vector<std::string>{"   10 PRINT \"HI\",AT 1,2;PI",
                                                 "   20 IF A<=1 THEN GOTO 10 REM {INV H}{GR 1}{POUND}{INV GR 8}"}));
  EXPECT_TRUE(l.problems.empty());
  // A line number whose length runs past the display file's start.
  Bytes lie = zx81_memory(zline(10, {0xF5}));
  lie[0x407D - 0x4009 + 2] = 99;
  EXPECT_EQ(contents::ListZx81(lie).problems.size(), 1u);
}

TEST(Zx81Basic, TheZx80sKeywordsAndCharacters) {
  // Memory from 0x4000: VARS at 0x4008 just past the program at 0x4028.
  const Bytes program{0x00, 0x0A, 0xF5, 0x01, 0x2D, 0x2E, 0x01, 0x76, 0x00, 0x14, 0xFB, 0x26, 0xE4, 0x1D, 0xD6, 0xED, 0x1D, 0x1C, 0x76};
  Bytes m(0x28, 0);
  const unsigned vars = 0x4028 + unsigned(program.size());
  m[8] = uint8_t(vars), m[9] = uint8_t(vars >> 8);
  put(m, program);
  const contents::Listing l = contents::ListZx80(m);
  EXPECT_EQ(l.lines, (std::vector<std::string>{"   10 PRINT \"HI\"", "   20 IF A=1 THEN GO TO 10"}));
}

TEST(OtherBasics, MsxTokenisedListsAsItsAsciiSave) {
  const std::string samples = std::string(REELWRIGHT_SOURCE_DIR) + "/../shared/samples/";
  if (!harness::exists(samples + "msx-basic.cas")) GTEST_SKIP() << samples << " is not there";
  // The same program saved both ways: the same lines, but its text.
  std::vector<std::string> tokenised = listed(harness::run_here({"-basic", samples + "msx-basic.cas"}).out);
  std::vector<std::string> ascii = listed(harness::run_here({"-basic", samples + "msx-ascii.cas"}).out);
  ASSERT_EQ(tokenised.size(), 10u);
  ASSERT_EQ(tokenised.size(), ascii.size());
  for (size_t i = 0; i < ascii.size(); i++) {
    if (ascii[i].find("TOKENIZED") == std::string::npos && ascii[i].find("(ASCII)") == std::string::npos) {
      EXPECT_EQ(tokenised[i], ascii[i]);
    }
  }
}

TEST(OtherBasics, MsxNumbersAndTheColonsLISTHides) {
  // 10 IF A>&HFF THEN PRINT 1.5:ELSE GOTO 200 'note / 20 DATA 1,"A:B":X=255:Y=0:Z=1.5E+20
  Bytes p{0, 0, 10, 0, 0x8B, ' ', 'A', 0xEE, 0x0C, 0xFF, 0x00, ' ', 0xDA, ' ', 0x91, ' ', 0x1D, 0x41, 0x15, 0, 0,
          ' ', ':', 0xA1, ' ', 0x89, ' ', 0x0E, 200, 0, ' ', ':', 0x8F, 0xE6, 'n', 'o', 't', 'e', 0};
  const size_t second = p.size();
  p[0] = uint8_t(0x8001 + second), p[1] = uint8_t((0x8001 + second) >> 8);
  const Bytes two{0, 0, 20, 0, 0x84, ' ', '1', ',', '"', 'A', ':', 'B', '"', ':', 'X', 0xEF, 0x0F, 255, ':', 'Y', 0xEF, 0x11, ':', 'Z', 0xEF, 0x1D, 0x55, 0x15, 0, 0, 0, 0, 0};
  const size_t third = second + two.size() - 2;
  put(p, two);
  p[second] = uint8_t(0x8001 + third), p[second + 1] = uint8_t((0x8001 + third) >> 8);
  const contents::Listing l = contents::ListMsx(p);
  EXPECT_EQ(l.lines, (std::vector<std::string>{"10 IF A>&HFF THEN PRINT 1.5 ELSE GOTO 200 'note", "20 DATA 1,\"A:B\":X=255:Y=0:Z=1.5E+20"}));
  EXPECT_TRUE(l.problems.empty());
}

TEST(OtherBasics, BbcBasicAndItsLineNumbers) {
  // 10 PRINT "HI":GOTO 10 (the line number encoded) / 20 REM PRINT
  auto bline = [](unsigned n, const Bytes &t) {
    Bytes b{0x0D, uint8_t(n >> 8), uint8_t(n), uint8_t(t.size() + 4)};
    put(b, t);
    return b;
  };
  // 1000 (0x03E8) after 0x8D: ((0xC0 >> 2) | (0x00 >> 4)) ^ 0x54, 0x28 | 0x40, 0x03 | 0x40.
  Bytes p = join({bline(10, {0xF1, '"', 'H', 'I', '"', ':', 0xE5, 0x8D, 0x64, 0x68, 0x43}), bline(20, {0xF4, ' ', 0xF1, 0x80}), {0x0D, 0xFF}});
  const contents::Listing l = contents::ListBbc(p);
  EXPECT_EQ(l.lines, (std::vector<std::string>{"   10PRINT\"HI\":GOTO1000", "   20REM {$F1}{$80}"}));
  EXPECT_TRUE(l.problems.empty());
  p[3] = 250;  // a length past the end
  EXPECT_FALSE(contents::ListBbc(p).problems.empty());
}

TEST(OtherBasics, CommodoreBasicV2AndItsControlCodes) {
  // 10 PRINT"{CLR}{RED}HI{RVS ON}":GOTO 10  /  20 REM{PI}  at 0x0801.
  Bytes one{0x99, '"', 0x93, 0x1C, 'H', 'I', 0x12, '"', ':', 0x89, '1', '0', 0};
  Bytes two{0x8F, 0xFF, 0xC1, 0};
  Bytes p;
  const unsigned second = 0x0801 + 4 + unsigned(one.size()), third = second + 4 + unsigned(two.size());
  put(p, second, 2), put(p, 10, 2), put(p, one), put(p, third, 2), put(p, 20, 2), put(p, two), put(p, 0, 2);
  const contents::Listing l = contents::ListCommodore(p, 0x0801);
  EXPECT_EQ(l.lines, (std::vector<std::string>{"10 PRINT\"{CLR}{RED}HI{RVS ON}\":GOTO10", "20 REM{PI}ATN"}));
  EXPECT_TRUE(l.problems.empty());
  // A link that leads back: the listing stops with a warning.
  p[second - 0x0801] = 0x01, p[second - 0x0801 + 1] = 0x08;
  const contents::Listing back = contents::ListCommodore(p, 0x0801);
  EXPECT_EQ(back.lines.size(), 2u);
  EXPECT_EQ(back.problems.size(), 1u);
}

}  // namespace
