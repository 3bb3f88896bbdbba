// FLAC recordings, through libFLAC where the build has it (else opening one
// fails with a clear error). Samples come out a block at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace decode {

class FlacReader {
 public:
  explicit FlacReader(const std::string &path);
  ~FlacReader();
  int rate() const;
  int channels() const;
  int bits() const;
  uint64_t frames() const;
  // Up to n frames of the first two channels (b may be null for one).
  size_t read(float *a, float *b, size_t n);

 private:
  struct State;
  std::unique_ptr<State> s_;
};

}  // namespace decode
