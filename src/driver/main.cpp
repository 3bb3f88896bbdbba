#include "driver/run.hpp"

int main(int argc, char **argv) { return RunReelwright(argc, argv); }
