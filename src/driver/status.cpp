#include "driver/status.hpp"

#include "driver/console.hpp"
#include "driver/terminal.hpp"
#include "format/failure.hpp"

namespace driver {

void StatusLine::show(const StatusView &v) { show(StatusText(v, width())); }

int StatusLine::width() const { return terminal::ErrorWidth(); }

void StatusLine::show(const std::string &line) {
  if (shown_ && line == last_) return;
  console_.flush();
  std::fputs(terminal::StatusLineBytes(line, width()).c_str(), out_);
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
