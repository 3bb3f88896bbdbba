// The one way a run ends early: any layer throws a Failure with the text the
// user is shown, and the driver reports it, finishes the output and exits 1.
#pragma once

#include <cstdarg>
#include <stdexcept>
#include <string>

namespace format {

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// printf into a std::string of whatever length the text needs.
std::string strprintf(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vstrprintf(const char *fmt, va_list ap);

}  // namespace format
