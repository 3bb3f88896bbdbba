// Sound files read a piece at a time: WAV (PCM of 8 to 32 bits, 32 and
// 64-bit float, WAVE_FORMAT_EXTENSIBLE), AU, VOC and FLAC. Samples come out as
// floats of -1 to 1, one plane per channel (at most two are kept), so memory
// does not grow with the recording.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "decode/flac.hpp"
#include "format/tape.hpp"

namespace decode {

class SoundReader {
 public:
  // Opens a sound file of this kind; a header that makes no sense fails
  // with the text to show.
  SoundReader(const std::string &path, format::Kind kind);
  ~SoundReader();

  int rate() const { return rate_; }
  int channels() const { return channels_ < 2 ? channels_ : 2; }
  // Frames in all, as the header says (0 when it does not).
  uint64_t frames() const { return frames_; }
  // A few words on what the file holds: "WAV, 44100 Hz, 16-bit, stereo".
  const std::string &describe() const { return words_; }

  // Reads up to n frames: the first channel into `a`, the second into `b`
  // (when there is one). Returns the frames read; 0 at the end.
  size_t read(float *a, float *b, size_t n);

 private:
  void wav();
  void au();
  void voc();
  bool voc_block();  // the next VOC sound block; false at the end
  void check();
  bool skip(uint64_t n);  // false when the file ends first
  void convert(const uint8_t *p, size_t frames, float *out) const;

  format::ImageFile file_;
  format::Kind kind_;
  int rate_ = 0, channels_ = 0, bits_ = 0;
  enum class Coding { unsigned8, signed_le, signed_be, float_le, float_be, mulaw } coding_ = Coding::signed_le;
  uint64_t frames_ = 0;
  uint64_t left_ = 0;  // bytes of samples left in the chunk or block
  std::string words_;
  std::unique_ptr<uint8_t[]> buf_;
  std::unique_ptr<FlacReader> flac_;
  static constexpr size_t kBuf = 1 << 16;
};

}  // namespace decode
