// The pulses of a CSW stream (the body of a 0x18 block or of a CSW file):
// RLE, each byte a pulse's length in samples and a 0 byte followed by a u32
// length for a longer one; or Z-RLE, the same compressed with zlib. Pulses
// are read as they are needed, so memory does not grow with the recording.
//
// A damaged stream ends at the damage. A Z-RLE stream is inflated to at most
// kMaxInflated bytes (zlib can inflate a byte to about a thousand): what lies
// past that is left out, so a small block can neither allocate gigabytes nor
// keep the program busy for hours.
#pragma once

#include <cstdint>
#include <memory>

#include "format/reader.hpp"

namespace format {

enum class CswCompression : uint8_t { rle = 1, zrle = 2 };

class CswPulses {
 public:
  static constexpr uint64_t kMaxInflated = 256ull << 20;

  CswPulses(Bytes stream, uint8_t compression);
  ~CswPulses();
  CswPulses(const CswPulses &) = delete;
  CswPulses &operator=(const CswPulses &) = delete;

  // The next pulse's length in samples; false when the stream ends.
  bool next(uint32_t &samples);
  // Why the stream ended early, or nothing when it ended where it should.
  const char *problem() const { return problem_; }

 private:
  bool byte(uint8_t &b);
  bool refill();

  Bytes in_;
  size_t at_ = 0;
  struct Inflater;
  std::unique_ptr<Inflater> z_;  // for Z-RLE
  const char *problem_ = nullptr;
};

// The number of pulses and their samples in all, as far as the stream is sound.
struct CswSummary {
  uint64_t pulses = 0, samples = 0;
  const char *problem = nullptr;
};
CswSummary SummarizeCsw(Bytes stream, uint8_t compression);

}  // namespace format
