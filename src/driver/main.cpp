#include "driver/run.hpp"
#include "os/command_line.hpp"

int main(int argc, char **argv) {
  os::CommandLine args(argc, argv);
  driver::Console console;
  return driver::RunReelwright(args.argc(), args.argv(), console);
}
