// The output file and sample buffer that the VOC and AU writers share (only
// one of them is open in a run).
#pragma once

#include <cstddef>
#include <vector>

enum class FileKind { none, voc, au };

struct FileSink {
  std::vector<unsigned char> vocbuf;  // samples collected before a write
  int vocbuflen = 65535;              // samples per write
  int vocpos = 0;                     // samples now in vocbuf
  int ofh = -1;                       // the output file
  FileKind open = FileKind::none;     // which writer has the file open
};
inline FileSink filesink;

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
