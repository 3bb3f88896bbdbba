#include "front/status_text.hpp"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <tuple>

#include "format/failure.hpp"

namespace front {

using format::strprintf;

std::string MinutesSeconds(uint64_t samples, int rate) {
  const uint64_t s = samples / static_cast<uint64_t>(rate > 0 ? rate : 1);
  return strprintf("%llu:%02u", static_cast<unsigned long long>(s / 60), static_cast<unsigned>(s % 60));
}

namespace {

// The one-line text without its line end and the blanks that align it.
std::string squeezed(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '\n' || c == '\r') c = ' ';
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// The text cut to at most `room` characters between two words, with a mark
// where it was cut; a label or a mark left at the end without what follows
// it goes too. A first word longer than the room leaves nothing.
std::string fitted(const std::string &text, size_t room) {
  static const std::string kCut = " ...";
  if (text.size() <= room) return text;
  for (size_t end = room >= kCut.size() ? room - kCut.size() + 1 : 0; end > 0;) {
    end = text.rfind(' ', end - 1);
    if (end == std::string::npos || end == 0) break;
    const size_t word = text.rfind(' ', end - 1) + 1;  // (npos + 1 is 0)
    const char last = text[end - 1];
    if (last == ':' || last == ',' || (end - word == 1 && !std::isalnum(static_cast<unsigned char>(last))))
      continue;  // a label, or a lone mark
    return text.substr(0, end) + kCut;
  }
  return "";
}

// The times, the bar and what the player is doing; `tape` false leaves the
// tape's times out.
std::string right_part(const StatusView &v, int bar, bool words, bool tape = true) {
  std::string total = v.until == StatusView::Until::unknown ? "?:??" : MinutesSeconds(v.tape_total, v.rate);
  std::string r = strprintf("  %s%s/%s", words ? "block " : "", MinutesSeconds(v.block_at, v.rate).c_str(),
                            MinutesSeconds(v.block_length, v.rate).c_str());
  if (tape)
    r += strprintf("  %s%s/%s", words ? "tape " : "", MinutesSeconds(v.tape_at, v.rate).c_str(), total.c_str());
  if (words && v.until == StatusView::Until::stop) r += " to the stop";
  if (words && v.until == StatusView::Until::choice) r += " to the choice";
  if (bar > 0) {
    int filled = 0;
    if (v.tape_total > 0 && v.until != StatusView::Until::unknown)
      filled = static_cast<int>(std::min<uint64_t>(v.tape_at, v.tape_total) * static_cast<uint64_t>(bar) / v.tape_total);
    r += "  [" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(bar - filled), '-') + "]";
  }
  if (v.paused) r += "  paused";
  else if (v.waiting) r += "  waiting";
  return r;
}

}  // namespace

std::string StatusText(const StatusView &v, int width) {
  const size_t room = width > 1 ? static_cast<size_t>(width - 1) : 0;
  const std::string number = strprintf("%3d ", v.block), text = squeezed(v.text);
  // What gives way, the least useful first: the text's last words (down to
  // 28 characters), the bar, the words, the rest of the text, the tape's
  // times, the block's.
  const size_t least = std::min<size_t>(text.size(), 28);
  for (auto [bar, words, tape] : {std::tuple{20, true, true}, {10, true, true}, {0, true, true}, {0, false, true},
                                  {0, false, false}}) {
    const std::string r = right_part(v, bar, words, tape);
    const size_t keep = bar == 0 && !words ? 0 : least;
    if (number.size() + keep + r.size() <= room) return number + fitted(text, room - number.size() - r.size()) + r;
  }
  return number.size() <= room ? number : "";
}

}  // namespace front
