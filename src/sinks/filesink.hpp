// The output file and sample buffer that the VOC and AU writers share (only
// one of them is open in a run).
//
// Samples are written straight into a staging buffer that holds the file's
// bytes in order (block headers and samples) until they are written out. The
// samples being collected form the "area" `vocbuf`: for a VOC file one sample
// block of `vocbuflen` (65535) samples after its header, for an AU file as
// much as the buffer holds. The buffer goes to the file in large pieces that
// end on 64 KiB boundaries of the file, the way the disk takes them fastest.
#pragma once

#include <cstddef>
#include <cstring>
#include <vector>

#include "sinks/au-file.hpp"

enum class FileKind { none, voc, au };

constexpr size_t kStagingSize = 192u << 10;  // bytes staged before a write (kept in cache)
constexpr size_t kWriteAlign = 64u << 10;  // writes end on such file offsets
constexpr size_t kSlack = 256;             // room past an area for fixed-size stores

struct FileSink {
  std::vector<unsigned char> staging;  // file bytes not yet written
  unsigned char *vocbuf = nullptr;     // the area the samples go to, inside staging
  int vocbuflen = 65535;               // samples the area takes
  int vocpos = 0;                      // samples now in the area
  long long written = 0;               // file bytes already written
  int ofh = -1;                        // the output file
  FileKind open = FileKind::none;      // which writer has the file open
};
inline FileSink filesink;
inline SNDSoundStruct auhead;  // the AU header, completed when the file is closed

// Appends len samples of value amp to the area; each time it is full,
// area_full() makes a new one (vocpos is then what the new area holds).
void AppendRun(unsigned char amp, int len, void (*area_full)());

// Allocates the buffer and creates fout (0660, truncated).
void OpenOutputFile();
// Bytes in the buffer not yet written (up to the end of the area's samples).
size_t Pending();
// Puts bytes (a block header, a terminator) after the area's samples, which
// are then final, and starts a new, empty area after them that takes `area`
// samples, or as many as the buffer holds when `area` is 0.
void StageBytes(const void *p, size_t n, int area);
// Writes out what is staged up to the last 64 KiB file boundary it reaches
// (all of it when `all`) and moves the rest to the front of the buffer.
void FlushStaged(bool all);
// Writes n bytes to the output file at its current position; a failure ends
// the run with an Error that names the file and the reason.
void WriteOut(const void *p, size_t n);
void SeekOut(long long offset);
// Frees the buffer and closes the file; reports a failed close.
void CloseOutputFile();
// Finishes an output file left open by an Error or an ESC abort, so that what
// is on disk is a valid recording of what was converted.
void FinishOutputFile();
