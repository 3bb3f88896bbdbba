// The framed blocks of a two-tone tape (an Acorn's or an MSX's, carriers
// left out), with whether each is marked good in a decoded recording.
#pragma once

#include <variant>
#include <vector>

#include "decode/recording.hpp"
#include "format/tape.hpp"

namespace twotone {

struct Block {
  std::vector<uint8_t> bytes;
  bool good = false;
};

inline std::vector<Block> Blocks(const format::Tape &t, const std::vector<decode::Where> &where = {}) {
  std::vector<Block> out;
  for (int i = 0; i < t.size(); i++) {
    const format::IndexedBlock b = t.at(i);
    const auto *f = std::get_if<format::FramedData>(&b.block);
    if (!f || f->data.empty() || (f->origin == format::FramedData::Origin::acorn && f->pilot_pulses > 0)) continue;
    out.push_back({std::vector<uint8_t>(f->data.begin(), f->data.end()), !where.empty() && where[size_t(i)].check == decode::Check::good});
  }
  return out;
}

}  // namespace twotone
