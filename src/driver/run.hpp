// A whole run of the program, from the command line to the exit status.
#pragma once

#include "driver/console.hpp"
#include "driver/session.hpp"

namespace driver {

// Runs the program on argv and returns its exit status: 0 when the run is
// complete (or only the usage was shown), 1 when it ended through an error,
// which is reported on the console after the output is finished.
int RunReelwright(int argc, char **argv, Console &console, const Limits &limits = {});

}  // namespace driver
