// The file a sound file writer writes: bytes are staged in memory and go to
// the disk in large pieces that end on 64 KiB boundaries of the file, the way
// the disk takes them fastest. A writer may pin a place in the staged bytes
// (a block header it fills in later): nothing from there on is written until
// it is unpinned.
//
// A failed write ends the run with an error that names the file and the
// reason; the unfinished file is removed then (a regular file only, never a
// device such as /dev/full), since it could never become a valid sound file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "os/files.hpp"

namespace sinks {

class OutputFile {
 public:
  explicit OutputFile(std::string path) : path_(std::move(path)) {}
  OutputFile(const OutputFile &) = delete;
  OutputFile &operator=(const OutputFile &) = delete;

  // Creates (or truncates) the file, permission bits 0660.
  void create();
  bool is_open() const { return file_.is_open(); }

  // Appends bytes.
  void put(const void *p, size_t n);
  // Appends n bytes of one value.
  void fill(uint8_t value, size_t n);
  // Appends pieces, writing them straight from where they are (after the
  // staged bytes) unless a pin holds them back, or, when `aligned` is asked
  // for, the write would not begin and end on 64 KiB boundaries of the file.
  void put_direct(std::span<const os::Piece> pieces, bool aligned);
  // Staged bytes plus those written: the file offset of the next byte.
  uint64_t size() const { return written_ + len_; }

  // Keeps the bytes from file offset `at` on in memory; `at` must be staged.
  void pin(uint64_t at) { pin_ = at; }
  void unpin() { pin_ = kNone; }
  // Overwrites staged bytes at file offset `at`.
  void patch(uint64_t at, const void *p, size_t n);

  // Writes out everything staged, then n bytes at file offset `at` (the
  // file's position stays after them).
  void write_at(uint64_t at, const void *p, size_t n);
  // Writes out everything staged and closes the file.
  void close();

 private:
  static constexpr uint64_t kNone = UINT64_MAX;
  void make_room(size_t n);
  void write_staged(size_t n);
  void write_all(const uint8_t *p, size_t n);
  // After a failure (err: an errno value): removes the file, if regular, and
  // ends the run with the message.
  [[noreturn]] void failed(const char *what, int err);

  std::string path_;
  os::File file_;
  std::unique_ptr<uint8_t[]> buf_;
  size_t len_ = 0;         // bytes staged
  uint64_t written_ = 0;   // bytes written before them
  uint64_t pin_ = kNone;
};

}  // namespace sinks
