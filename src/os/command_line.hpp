// The program's start as each system needs it: the command line as UTF-8
// strings (a file name in any script opens), and standard input, output and
// error passing bytes unchanged. One file per system: command_line_posix.cpp,
// command_line_windows.cpp.
#pragma once

#include <string>
#include <vector>

namespace os {

class CommandLine {
 public:
  // Made once, first thing in main(), from main's own arguments.
  CommandLine(int argc, char **argv);
  CommandLine(const CommandLine &) = delete;
  CommandLine &operator=(const CommandLine &) = delete;

  int argc() const { return static_cast<int>(args_.size()); }
  // argc() strings, then a null pointer, as main() has them.
  char **argv() { return pointers_.data(); }

 private:
  void point() {
    for (std::string &a : args_) pointers_.push_back(a.data());
    pointers_.push_back(nullptr);
  }

  std::vector<std::string> args_;
  std::vector<char *> pointers_;
};

}  // namespace os
