// Sound files: 8-bit unsigned mono samples, the same bytes in every format,
// each format with its own header and framing.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/output.hpp"
#include "sinks/output_file.hpp"

namespace sinks {

// What every sound file does alike: the file is created when the run begins
// and finished when it ends, also when it ends early (what was converted
// stays a valid sound file). After a failed write the output takes nothing.
class SoundFile : public engine::SampleOutput {
 public:
  // Most samples a file holds: what a 32-bit size field counts.
  static constexpr uint64_t kMaxSamples = 0xFFFFFFFFull;

  SoundFile(std::string path, uint64_t capacity) : file_(std::move(path)), capacity_(capacity) {}

  int begin(int rate) final;
  void run(uint8_t value, uint64_t count) final;
  void samples(std::span<const uint8_t> s) final;
  void finish() final;
  void abandon() final { finish(); }
  uint64_t capacity() const final { return capacity_; }

 protected:
  // The format's header, its samples (from p, or n copies of `value` when p
  // is null) and its end.
  virtual void start(int rate) = 0;
  virtual void append(const uint8_t *p, uint8_t value, size_t n) = 0;
  virtual void end() = 0;
  // Samples that follow one another with no framing.
  void put_plain(const uint8_t *p, uint8_t value, size_t n);

  OutputFile file_;

 private:
  uint64_t capacity_;
};

// The Creative Voice File, version 1.10: a rate block, then sample blocks of
// at most 65535 samples, then a terminator.
class VocFile final : public SoundFile {
 public:
  using SoundFile::SoundFile;
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
  using SoundFile::SoundFile;
  size_t lead() const override { return 32; }  // the header

 private:
  void start(int rate) override;
  void append(const uint8_t *p, uint8_t value, size_t n) override;
  void end() override;
  void header(uint8_t *out) const;

  int rate_ = 0;
  uint32_t data_size_ = 0;
};

// The RIFF/WAVE file: PCM, 8-bit unsigned, mono; its sizes are filled in at
// the end.
class WavFile final : public SoundFile {
 public:
  // The RIFF size field counts the samples, a pad byte and 36 more.
  static constexpr uint64_t kMaxSamples = 0xFFFFFFFFull - 37;
  using SoundFile::SoundFile;
  size_t lead() const override { return 44; }  // the header

 private:
  void start(int rate) override;
  void append(const uint8_t *p, uint8_t value, size_t n) override;
  void end() override;

  uint32_t data_size_ = 0;
};

}  // namespace sinks
