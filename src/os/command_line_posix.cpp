// POSIX systems: the arguments are taken as they come (file names are bytes,
// UTF-8 by convention), and the standard streams never translate anything.
#include "os/command_line.hpp"

namespace os {

CommandLine::CommandLine(int argc, char **argv) : args_(argv, argv + argc) { point(); }

}  // namespace os
