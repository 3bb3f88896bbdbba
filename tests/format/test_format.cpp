// The tape image: body lengths by ID, the index, and decoded values that hold
// the fields as the tape gives them.
#include <gtest/gtest.h>

#include <variant>

#include "format/registry.hpp"
#include "format/tape.hpp"
#include "support/tzx.hpp"

namespace {

using namespace format;
using tzx::Bytes;

Tape index(const tzx::Tzx &t) { return Tape::FromTzx(t.bytes); }

TEST(Index, BodyLengthOfEveryIdComesFromItsOwnFields) {
  // A block of each ID with the field its length rule reads, then a tone: the
  // tone's offset tells where the index put the block's end.
  struct Row {
    unsigned id;
    Bytes body;
    size_t length;
  };
  // Every kind of length rule: fixed, and fields of 1 to 4 bytes, scaled.
  const Row rows[] = {
      {0x10, {0, 0, 3, 0, 1, 2, 3}, 7},                   // 4 + u16
      {0x11, [] { Bytes b(18, 0); b[15] = 2; b.push_back(1), b.push_back(2); return b; }(), 20},  // 18 + u24
      {0x12, {1, 2, 3, 4}, 4},                            // fixed
      {0x13, {2, 1, 1, 2, 2}, 5},                         // 1 + 2 * u8
      {0x16, {1, 0, 0, 0, 7}, 5},                         // 4 + u32
      {0x22, {}, 0},                                      // nothing
      {0x26, {1, 0, 1, 0}, 4},                            // 2 + 2 * u16
      {0x31, {5, 1, 'm'}, 3},                             // 2 + u8 at 1
      {0x33, {1, 0, 1, 1}, 4},                            // 1 + 3 * u8
      {0x35, [] { Bytes b(16, 'x'); tzx::put(b, 1, 4), tzx::put(b, 5); return b; }(), 21},  // 20 + u32 at 16
      {0x40, {0, 1, 0, 0, 9}, 5},                         // 4 + u24 at 1
      {0x5A, Bytes(9, 'Z'), 9},
      {0xEE, {3, 0, 0, 0, 1, 2, 3}, 7},                   // unknown: 4 + u32
  };
  for (const Row &r : rows) {
    SCOPED_TRACE(r.id);
    tzx::Tzx t;
    t.raw(r.id, r.body).tone(100, 1);
    Tape tape = index(t);
    ASSERT_EQ(tape.size(), 2);
    EXPECT_EQ(tape.at(1).offset, 10 + 1 + r.length);
    EXPECT_TRUE(std::holds_alternative<PureTone>(tape.at(1).block));
    EXPECT_EQ(tape.has_unknown_ids(), r.id == 0xEE);
    EXPECT_FALSE(tape.truncated());
  }
}

TEST(Index, ABlockThatRunsPastTheEndIsLeftOutWithAllAfterIt) {
  tzx::Tzx t;
  t.tone(100, 1).raw(0x10, {0, 0, 5, 0, 1});  // declares 5 data bytes, holds 1
  Tape tape = index(t);
  EXPECT_EQ(tape.size(), 1);
  EXPECT_TRUE(tape.truncated());
  tzx::Tzx u;
  u.tone(100, 1).raw(0x11, Bytes(10, 0));  // its length field itself lies past the end
  EXPECT_EQ(index(u).size(), 1);
  EXPECT_TRUE(index(u).truncated());
  EXPECT_EQ(index(tzx::Tzx()).size(), 0);
}

TEST(Decode, CountsThatRunPastTheBlockAreCutAtItsEnd) {
  // Declared data longer than the body: the view stops at the body's end.
  Block b = Decode(0x10, Reader(Bytes{0, 0, 9, 0, 1, 2}.data(), 6));
  EXPECT_EQ(std::get<StandardData>(b).data.size(), 2u);
  // A select entry's text runs past the end: it is cut, and no entry follows.
  const Bytes sel{0, 0, 3, 1, 0, 9, 'a', 'b'};
  const Block select = Decode(0x28, Reader(sel.data(), sel.size()));
  const auto &s = std::get<Select>(select);
  EXPECT_EQ(s.count, 3);
  ASSERT_EQ(s.entries.size(), 1u);
  EXPECT_EQ(s.entries[0].text.size(), 2u);
  // An archive string cut short ends the strings.
  const Bytes arc{0, 0, 2, 0, 5, 'T', 'i', 't'};
  const Block archive = Decode(0x32, Reader(arc.data(), arc.size()));
  const auto &a = std::get<ArchiveInfo>(archive);
  ASSERT_EQ(a.strings.size(), 1u);
  EXPECT_EQ(a.strings[0].text.size(), 3u);
  // Trainers: a poke of fewer than five bytes is no poke.
  tzx::Tzx t;
  t.pokes("", {{"T", {{0, 1, 2, 3}}}});
  t.bytes.pop_back();
  Bytes body(t.bytes.begin() + 11, t.bytes.end());
  const Block custom = Decode(0x35, Reader(body.data(), body.size()));
  const auto &c = std::get<CustomInfo>(custom);
  ASSERT_TRUE(c.is_pokes && c.pokes.has_trainers);
  ASSERT_EQ(c.pokes.trainers.size(), 1u);
  EXPECT_TRUE(c.pokes.trainers[0].pokes.empty());
}

}  // namespace
