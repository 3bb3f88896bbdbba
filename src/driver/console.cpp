#include "driver/console.hpp"

#include <cstdarg>

#include "format/failure.hpp"

namespace driver {

void Console::say(const char *fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = format::vstrprintf(fmt, ap);
  va_end(ap);
  text(s);
}

void Console::text(std::string_view s) {
  if (s.empty() || !out_) return;
  if (before_text_) before_text_();
  std::fwrite(s.data(), 1, s.size(), out_);
}

void Console::warning(const std::string &s) {
  say("\n-- Warning: %s\n", s.c_str());
  count_lines(2);
}

char Console::read_key() {
  flush();
  keys_read_++;
  if (!keys_) return '\n';
  const Key k = keys_->wait();
  return k.kind == Key::text ? k.ch : kOtherKey;
}

std::optional<Key> Console::poll_key(int ms) {
  if (!keys_) return std::nullopt;
  std::optional<Key> k = keys_->poll(ms);
  if (k) keys_read_++;
  return k;
}

char Console::key_wait() {
  char k = read_key();
  if (k == ESC) throw format::Failure("ESCAPE key pressed!");
  return k;
}

void Console::page_prompt(int limit, bool line_end_after) {
  line_++;
  if (line_ <= limit) return;
  say("scroll?\n");
  char k = key_wait();
  if (k == 0) read_key();  // second half of a two-character key code
  if (line_end_after) say("\n");
  line_ = 0;
}

void Console::writeout(const std::string &s, int extra) {
  line_ += extra;
  if (pages_) page_prompt(21, true);
  text(s);
}

void Console::one_line_page() {
  if (pages_) page_prompt(22, false);
}

}  // namespace driver
