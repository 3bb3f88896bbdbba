// A whole run of the program, from the command line to the exit status.
#pragma once

// Puts every subsystem's state back to its start values.
void ResetState();
// Runs the program on argv and returns its exit status: 0 when the run is
// complete (or only the usage was shown), 1 when it ended through Error.
int RunReelwright(int argc, char **argv);
