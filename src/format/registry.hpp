// The block types the program knows: one row per ID, with its name, the rule
// for its body length and its decoder. An ID without a row is "unknown": its
// body is taken to start with a u32 length of the rest.
//
// Adding a block type is one row here plus its decoder, its texts (listing)
// and its pulses (engine); the type of the decoded value leads the other
// layers to them.
#pragma once

#include <cstdint>
#include <optional>

#include "format/blocks.hpp"
#include "format/reader.hpp"

namespace format {

// Body length = fixed + scale * (the field of `width` bytes at `at`); a width
// of 0 means no field.
struct LengthRule {
  uint8_t fixed = 0;
  uint8_t at = 0;
  uint8_t width = 0;
  uint8_t scale = 1;
};

struct BlockType {
  uint8_t id = 0;
  const char *name = "";  // the block's title in the extensive listing
  LengthRule length;
  Block (*decode)(uint8_t id, Reader body) = nullptr;
  bool known = false;
};

// The row of an ID (the unknown-block row for IDs without one).
const BlockType &TypeOf(uint8_t id);

// The body length of a block whose body starts at `rest` (which runs to the
// end of the image), or nothing when its length fields lie past the end.
std::optional<uint64_t> BodyLength(const BlockType &type, Reader rest);

// The decoded value of a block.
inline Block Decode(uint8_t id, Reader body) {
  const BlockType &t = TypeOf(id);
  return t.decode(id, body);
}

}  // namespace format
