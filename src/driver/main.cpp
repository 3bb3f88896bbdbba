#include "driver/run.hpp"
#include "driver/terminal.hpp"
#include "os/command_line.hpp"

int main(int argc, char **argv) {
  os::CommandLine args(argc, argv);
  // Keys one at a time at a terminal, else the characters of standard input.
  std::unique_ptr<driver::Keyboard> terminal = driver::terminal::OpenKeys();
  driver::StreamKeys plain(stdin);
  driver::Console console(stdout, terminal ? terminal.get() : &plain);
  if (driver::terminal::ErrorIsTerminal()) console.set_status_out(stderr);
  return driver::RunReelwright(args.argc(), args.argv(), console);
}
