// The "-one" listing: one line per block after the "%3d-%5X:" prefix, the
// speed and pause fields of data blocks, the more-info lines, and groups that
// hide their members unless "-x" is given.
#include <gtest/gtest.h>

#include "support/listing_text.hpp"

using listing::fmt;
using tzx::Bytes;

namespace {

// A text padded or cut to 52 columns, then the pointer to "-info".
std::string more(std::string s) {
  s.resize(52, ' ');
  return s + " (-info for more)\n";
}

struct Rows {  // the tape and, per block, its offset and expected text
  tzx::Tzx t;
  std::vector<std::pair<size_t, std::string>> rows;
  tzx::Tzx &row(const std::string &text) {
    rows.emplace_back(t.offset(), text);
    return t;
  }
  std::string listing(size_t count) const {
    std::string s = "\n";
    for (size_t i = 0; i < count; i++)
      s += fmt("%3d-%5X:", static_cast<int>(i) + 1, static_cast<unsigned>(rows[i].first)) + rows[i].second;
    return s;
  }
};

}  // namespace

TEST(OneLine, EveryBlockTypeWithSpeedPauseAndMoreInfoLines) {
  Rows r;
  tzx::Timing normal, slow;
  slow.bit1 = 1500;  // 1710 / 1500 * 100 = 113.99..., shown as 113
  const Bytes d4 = tzx::data_block(0xFF, {1, 2});
  const std::string title60(60, 'T');
  r.row("    --------------------  Length:     4   Speed: 100% ,Pause: 0.000s\n").turbo(normal, 8, 0, d4);
  r.row("    --------------------  Length:     4   Speed: 113% ,Pause: 65.535s\n").turbo(slow, 8, 65535, d4);
  r.row("    Pure Data             Length:     4   Speed: 2147483647% ,Pause: 0.250s\n").pure_data(855, 0, 8, 250, d4);
  r.row("    Pure Data             Length:     4   Speed: 200% ,Pause: 0.001s\n").pure_data(855, 855, 8, 1, d4);
  r.row("    Pure Tone             Length:  8063\n").tone(2168, 8063);
  r.row("    Sequence of Pulses    Length:   200\n").pulses(std::vector<unsigned>(200, 500));
  r.row("    Direct Recording      Length:     3  Original Freq.: 44304 Hz\n").direct(79, 0, 8, {1, 2, 3});
  r.row("    Pause                 Length: 1.500s\n").pause(1500);
  r.row("    Description: 100% of %s and %d\n").text("100% of %s and %d");
  r.row("    Message: Hi there\n").message(5, "Hi there");
  r.row(more("    Title: Title")).archive({{0, "Title"}, {1, "Someone"}});
  r.row("    Title: " + title60.substr(0, 41) + " (-info for more)\n").archive({{0, title60}});
  r.row(more("    Archive Info")).archive({{1, "Publisher"}, {0, "Title"}});
  r.row("    This tape is made for ZX Spectrum 48k, plus !\n").hardware({{0, 1, 1}, {3, 0, 1}});
  r.row(more("    Hardware Type")).hardware({{0, 1, 0}});
  r.row(more("    Hardware Type")).hardware({{3, 0, 1}});
  r.row("    Information for emulators.\n").emulation();
  r.row(more("    Custom Info: POKEs           ")).pokes("", {});
  r.row("    Custom Info: POKES           \n").custom("POKES", {1, 2});
  r.row("    Snapshot               (Not Supported yet)\n").snapshot(0, {1, 2, 3});
  r.row("    Start of the new tape  (Merged Tapes)\n").merged();
  // The last block of the range: empty pause field after the blank.
  r.row("    --------------------  Length:     4  Normal Speed \n").standard(1000, d4);
  EXPECT_EQ(listing::listing_of(r.t, {"-one"}), r.listing(r.rows.size()));

  // With "-e 2" the second block ends the range and loses its pause field.
  std::string to2 = r.listing(1) + fmt("  2-%5X:", unsigned(r.rows[1].first)) +
                    "    --------------------  Length:     4   Speed: 113% \n";
  EXPECT_EQ(listing::listing_of(r.t, {"-one", "-e", "2"}), to2);
}

// A stray group end shows; a group shows only its start line (a group start
// inside it shows nothing, its end shows everything again); "-x" shows all.
TEST(OneLine, GroupsCollapseUnlessExpanded) {
  Rows r;
  r.row("    Group End\n").group_end();
  r.row("    Group: Level 1\n").group("Level 1");
  r.row("    Pure Tone             Length:   100\n").tone(2168, 100);
  r.row("    Group: inner\n").group("inner");
  r.row("    Description: x\n").text("x");
  r.row("    Group End\n").group_end();
  r.row("    Pause                 Length: 0.100s\n").pause(100);
  std::string collapsed = r.listing(2) + fmt("  7-%5X:", unsigned(r.rows[6].first)) + r.rows[6].second;
  EXPECT_EQ(listing::listing_of(r.t, {"-one"}), collapsed);
  EXPECT_EQ(listing::listing_of(r.t, {"-one", "-x"}), r.listing(r.rows.size()));
}
