#include "driver/status.hpp"

#include <algorithm>
#include <initializer_list>

#include "driver/console.hpp"
#include "driver/terminal.hpp"
#include "format/failure.hpp"

namespace driver {

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

std::string right_part(const StatusView &v, int bar, bool words) {
  std::string total = v.until == StatusView::Until::unknown ? "?:??" : MinutesSeconds(v.tape_total, v.rate);
  std::string r = strprintf("  %s%s/%s  %s%s/%s", words ? "block " : "", MinutesSeconds(v.block_at, v.rate).c_str(),
                            MinutesSeconds(v.block_length, v.rate).c_str(), words ? "tape " : "",
                            MinutesSeconds(v.tape_at, v.rate).c_str(), total.c_str());
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
  // The text keeps at least this much before the bar and the words go.
  const size_t least = std::min<size_t>(text.size(), 28);
  for (auto [bar, words] : {std::pair{20, true}, {10, true}, {0, true}, {0, false}}) {
    const std::string r = right_part(v, bar, words);
    if (number.size() + least + r.size() <= room) return number + text.substr(0, room - number.size() - r.size()) + r;
  }
  const std::string r = right_part(v, 0, false);
  const size_t left = number.size() + r.size() < room ? room - number.size() - r.size() : 0;
  return (number + text.substr(0, left) + r).substr(0, room);
}

void StatusLine::show(const StatusView &v) { show(StatusText(v, terminal::ErrorWidth())); }

void StatusLine::show(const std::string &line) {
  const int width = terminal::ErrorWidth();
  if (shown_ && line == last_) return;
  console_.flush();
  std::fputs(terminal::StatusLineBytes(line, width).c_str(), out_);
  std::fflush(out_);
  last_ = line;
  shown_ = true;
  terminal::StatusLineShown(true);
}

void StatusLine::clear() {
  if (!shown_) return;
  std::fputs(terminal::StatusLineBytes("", terminal::ErrorWidth()).c_str(), out_);
  std::fflush(out_);
  shown_ = false;
  terminal::StatusLineShown(false);
}

}  // namespace driver
