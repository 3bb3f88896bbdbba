// What a sound device was given during live play, against the samples of a
// conversion (one byte each): where the stream goes on with another part of
// the tape, and whether it is the conversion up to there.
#pragma once

#include <string>

namespace device_stream {

// Where `got` goes on with all of `then`, its last level held after it; npos
// when it does not.
inline size_t splice(const std::string &got, const std::string &then) {
  for (size_t cut = got.size() >= then.size() ? got.size() - then.size() + 1 : 0; cut-- > 0;)
    if (got.compare(cut, then.size(), then) == 0 && got.find_first_not_of(then.back(), cut + then.size()) == got.npos)
      return cut;
  return std::string::npos;
}

// The samples before `cut` are those of the conversion.
inline bool same_before(const std::string &got, const std::string &all, size_t cut) {
  return cut <= got.size() && cut <= all.size() && got.compare(0, cut, all, 0, cut) == 0;
}

}  // namespace device_stream
