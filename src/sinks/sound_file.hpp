// Sound files: mono samples, each format with its own header, framing and
// sample values. Usually 8-bit: the engine's bytes as they are; the switches
// of the signal give other levels and 16-bit samples (see levels.hpp).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/output.hpp"
#include "sinks/levels.hpp"
#include "sinks/output_file.hpp"

namespace sinks {

// What every sound file does alike: the file is created when the run begins
// and finished when it ends, also when it ends early (what was converted
// stays a valid sound file). After a failed write the output takes nothing.
class SoundFile : public engine::SampleOutput {
 public:
  // Most samples an 8-bit file holds: what a 32-bit size field counts.
  static constexpr uint64_t kMaxSamples = 0xFFFFFFFFull;

  int begin(int rate) final;
  void run(uint8_t value, uint64_t count) final;
  void samples(std::span<const uint8_t> s) final;
  void finish() final;
  void abandon() final { finish(); }
  uint64_t capacity() const final { return capacity_; }

 protected:
  // How a format stores samples.
  struct Layout {
    Levels usual;        // its usual levels, 8-bit
    bool signed8;        // 8-bit samples are signed (else unsigned, 128 the middle)
    bool big_endian;     // 16-bit samples' most significant byte first
    uint64_t max_bytes;  // most sample bytes it can count
  };
  // At most `limit` samples.
  SoundFile(std::string path, uint64_t limit, const Signal &signal, const Layout &layout);

  // The format's header, its sample bytes (from p, or n copies of `value`
  // when p is null) and its end.
  virtual void start(int rate) = 0;
  virtual void append(const uint8_t *p, uint8_t value, size_t n) = 0;
  virtual void end() = 0;
  // Samples that follow one another with no framing.
  void put_plain(const uint8_t *p, uint8_t value, size_t n);

  OutputFile file_;
  const size_t width_;  // bytes a sample

 private:
  uint64_t capacity_;
  bool same_ = true;                    // the engine's bytes are the samples
  uint8_t bytes_[2][2] = {};            // the bytes of low and high, in file order
  std::unique_ptr<uint8_t[]> scratch_;  // samples made from the engine's
};

// The Creative Voice File, version 1.10: a rate block, then sample blocks of
// at most 65535 samples, then a terminator.
class VocFile final : public SoundFile {
 public:
  // 8-bit samples only: -16 is refused before.
  VocFile(std::string path, uint64_t limit, const Signal &signal = {});
  size_t chunk() const override { return 4 * 65535; }  // whole sample blocks

 private:
  void start(int rate) override;
  void append(const uint8_t *p, uint8_t value, size_t n) override;
  void end() override;

  uint64_t header_at_ = 0;  // file offset of the open sample block's header
  uint32_t in_block_ = 0;   // samples in the open block
};

// The AU file: a 32-byte big-endian header, whose sample count is filled in
// at the end, then the raw samples.
class AuFile final : public SoundFile {
 public:
  AuFile(std::string path, uint64_t limit, const Signal &signal = {});
  size_t lead() const override { return 32 / width_; }  // the header

 private:
  void start(int rate) override;
  void append(const uint8_t *p, uint8_t value, size_t n) override;
  void end() override;
  void header(uint8_t *out) const;

  int rate_ = 0;
  uint32_t data_size_ = 0;
};

// The RIFF/WAVE file: PCM, mono, 8-bit unsigned or 16-bit signed; its sizes
// are filled in at the end.
class WavFile final : public SoundFile {
 public:
  // The RIFF size field counts the sample bytes, a pad byte and 36 more.
  static constexpr uint64_t kMaxSamples = 0xFFFFFFFFull - 37;
  WavFile(std::string path, uint64_t limit, const Signal &signal = {});
  size_t lead() const override { return 44 / width_; }  // the header

 private:
  void start(int rate) override;
  void append(const uint8_t *p, uint8_t value, size_t n) override;
  void end() override;

  uint32_t data_size_ = 0;
};

}  // namespace sinks
