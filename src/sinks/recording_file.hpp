// The raw sound of a recording, as it comes in: WAV or AU (8 or 16-bit PCM)
// or VOC (8-bit), of one or two channels. The header's sizes are filled in
// at the end; after every second or so the samples are on the disk, so that
// a recording cut short by a crash keeps what came before.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sinks/output_file.hpp"

namespace sinks {

class RecordingFile {
 public:
  enum class Kind { wav, au, voc };
  RecordingFile(std::string path, Kind kind, int rate, int channels, bool sixteen);
  ~RecordingFile();
  RecordingFile(const RecordingFile &) = delete;
  RecordingFile &operator=(const RecordingFile &) = delete;

  // n frames: the first channel from `a`, the second from `b`.
  void write(const float *a, const float *b, size_t n);
  // The header's sizes, and the file closed.
  void finish();

 private:
  void flush();
  void header(bool final);

  OutputFile file_;
  Kind kind_;
  int rate_, channels_, width_;
  uint64_t bytes_ = 0;  // sample bytes written
  std::vector<uint8_t> staged_;
  bool done_ = false;
};

}  // namespace sinks
