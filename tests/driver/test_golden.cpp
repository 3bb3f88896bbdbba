// End-to-end runs of the built program against stored expectations, one file
// per case of tests/data/golden/CASES: the exit status, the sound file's size
// and FNV-1a digest, then standard output byte for byte. After an intended
// change, write them anew with REELWRIGHT_GOLDEN=write (and
// REELWRIGHT_GOLDEN_PROGRAM=another program) and read the diff.
#include <gtest/gtest.h>

#include "support/golden.hpp"

namespace {

TEST(Golden, RunsGiveTheStoredTextsAndFiles) {
  const char *program = std::getenv("REELWRIGHT_GOLDEN_PROGRAM");
  golden::check_all(program ? program : REELWRIGHT_BIN);
}

}  // namespace
