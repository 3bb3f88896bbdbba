#include "driver/run.hpp"

int main(int argc, char **argv) {
  driver::Console console;
  return driver::RunReelwright(argc, argv, console);
}
