// The output file and sample buffer that the VOC and AU writers share (only
// one of them is open in a run).
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "sinks/au-file.hpp"

enum class FileKind { none, voc, au };

struct FileSink {
  std::vector<unsigned char> vocbuf;  // samples collected before a write
  int vocbuflen = 65535;              // samples per write
  int vocpos = 0;                     // samples now in vocbuf
  int ofh = -1;                       // the output file
  FileKind open = FileKind::none;     // which writer has the file open
};
inline FileSink filesink;
inline SNDSoundStruct auhead;  // the AU header, completed when the file is closed

// The short-run path of the file writers: a run of at most 32 samples that
// leaves the buffer short of full goes straight into it with one fixed-size
// store (the buffer has room past its end for that). Returns false when the
// run needs the general path.
inline bool AppendShortRun(unsigned char amp, int len) {
  if (len <= 0 || len > 32 || filesink.vocpos + len >= filesink.vocbuflen) return false;
  std::memset(filesink.vocbuf.data() + filesink.vocpos, amp, 32);
  filesink.vocpos += len;
  if (filesink.open == FileKind::au)
    auhead.dataSize = static_cast<int>(static_cast<unsigned>(auhead.dataSize) + static_cast<unsigned>(len));
  return true;
}

// Appends len samples of value amp to the buffer; each time it is full,
// write_full() writes it out (the buffer is then empty again).
void AppendRun(unsigned char amp, int len, void (*write_full)());

// Allocates the buffer and creates fout (0660, truncated).
void OpenOutputFile();
// Writes n bytes to the output file; a failure ends the run with an Error
// that names the file and the reason.
void WriteOut(const void *p, size_t n);
// Two pieces in one write: a block header and its samples.
void WriteOut2(const void *a, size_t na, const void *b, size_t nb);
void SeekOut(long long offset);
// Frees the buffer and closes the file; reports a failed close.
void CloseOutputFile();
// Finishes an output file left open by an Error or an ESC abort, so that what
// is on disk is a valid recording of what was converted.
void FinishOutputFile();
