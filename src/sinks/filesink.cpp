#include "sinks/filesink.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "driver/console.hpp"
#include "driver/settings.hpp"
#include "driver/tape.hpp"
#include "sinks/aufile.hpp"
#include "sinks/vocfile.hpp"

namespace {

[[noreturn]] void write_failed(const char *what, int err) {
  // The file cannot be finished any more, so it would stay a broken sound
  // file: a regular file is removed (never a device such as /dev/full).
  bool removed = false;
  if (filesink.ofh >= 0) {
    struct stat st;
    bool regular = fstat(filesink.ofh, &st) == 0 && S_ISREG(st.st_mode);
    close(filesink.ofh);
    removed = regular && unlink(settings.fout.c_str()) == 0;
  }
  filesink.ofh = -1;
  filesink.open = FileKind::none;
  Error(strprintf("Cannot %s %s: %s%s", what, settings.fout.c_str(), std::strerror(err),
                  removed ? " (the unfinished file is removed)" : ""));
}

size_t area_offset() { return static_cast<size_t>(filesink.vocbuf - filesink.staging.data()); }

// Samples an area starting at `offset` takes when it may fill the buffer: as
// many as end on the last 64 KiB file boundary that fits, so that a full
// buffer is written whole, with nothing left to move.
int rest_of_buffer(size_t offset) {
  const unsigned long long start = static_cast<unsigned long long>(filesink.written) + offset;
  const unsigned long long end = static_cast<unsigned long long>(filesink.written) + filesink.staging.size() - kSlack;
  const unsigned long long aligned = end / kWriteAlign * kWriteAlign;
  return static_cast<int>((aligned > start ? aligned : end) - start);
}

}  // namespace

size_t Pending() { return area_offset() + static_cast<size_t>(filesink.vocpos); }

void AppendRun(unsigned char amp, int len, void (*area_full)()) {
  while (len > 0) {
    int n = filesink.vocbuflen - filesink.vocpos;
    if (n > len) n = len;
    std::memset(filesink.vocbuf + filesink.vocpos, amp, static_cast<size_t>(n));
    filesink.vocpos += n;
    len -= n;
    if (filesink.vocpos == filesink.vocbuflen) area_full();
  }
}

void FlushStaged(bool all) {
  const size_t pending = Pending();
  size_t n = pending;
  if (!all) {
    // Up to the last boundary of the file that the staged bytes reach.
    unsigned long long end = static_cast<unsigned long long>(filesink.written) + pending;
    unsigned long long cut = end / kWriteAlign * kWriteAlign;
    n = cut > static_cast<unsigned long long>(filesink.written)
            ? static_cast<size_t>(cut - static_cast<unsigned long long>(filesink.written))
            : 0;
  }
  if (n == 0) return;
  const size_t area = area_offset();
  WriteOut(filesink.staging.data(), n);
  std::memmove(filesink.staging.data(), filesink.staging.data() + n, pending - n);
  // What stays of the area moves to the front with it.
  const size_t new_area = area > n ? area - n : 0;
  filesink.vocbuf = filesink.staging.data() + new_area;
  filesink.vocpos = static_cast<int>(pending - n - new_area);
  if (filesink.open == FileKind::au) filesink.vocbuflen = rest_of_buffer(new_area);
}

void StageBytes(const void *p, size_t n, int area) {
  const size_t room = static_cast<size_t>(area > 0 ? area : 0) + kSlack;
  if (Pending() + n + room > filesink.staging.size()) FlushStaged(false);
  if (Pending() + n + room > filesink.staging.size()) FlushStaged(true);
  const size_t at = Pending();
  if (n != 0) std::memcpy(filesink.staging.data() + at, p, n);
  filesink.vocbuf = filesink.staging.data() + at + n;
  filesink.vocpos = 0;
  filesink.vocbuflen = area > 0 ? area : rest_of_buffer(at + n);
}

void OpenOutputFile() {
  try {
    filesink.staging.assign(kStagingSize + kWriteAlign + kSlack, 0);
  } catch (const std::bad_alloc &) {
    ReleaseTape();
    Error("Not enough memory to set up .VOC file buffer!");
  }
  filesink.vocbuf = filesink.staging.data();
  filesink.vocpos = 0;
  filesink.written = 0;
  filesink.ofh = open(settings.fout.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0660);
  if (filesink.ofh < 0) Error(strprintf("Cannot create %s: %s", settings.fout.c_str(), std::strerror(errno)));
}

void WriteOut(const void *p, size_t n) {
  const char *at = static_cast<const char *>(p);
  while (n > 0) {
    ssize_t r = write(filesink.ofh, at, n);
    if (r < 0) {
      if (errno == EINTR) continue;
      write_failed("write to", errno);
    }
    if (r == 0) write_failed("write to", ENOSPC);
    at += r;
    n -= static_cast<size_t>(r);
    filesink.written += r;
  }
}

void SeekOut(long long offset) {
  if (lseek(filesink.ofh, static_cast<off_t>(offset), SEEK_SET) < 0) write_failed("seek in", errno);
}

void CloseOutputFile() {
  std::vector<unsigned char>().swap(filesink.staging);
  filesink.vocbuf = nullptr;
  filesink.vocpos = 0;
  filesink.open = FileKind::none;
  int fh = filesink.ofh;
  filesink.ofh = -1;
  if (fh >= 0 && close(fh) != 0) {
    int err = errno;
    Error(strprintf("Cannot write to %s: %s", settings.fout.c_str(), std::strerror(err)));
  }
}

void FinishOutputFile() {
  try {
    if (filesink.open == FileKind::voc) StopVOC();
    else if (filesink.open == FileKind::au) StopAU();
  } catch (const RunAborted &) {
    // The failure has been reported; the run already ends with status 1.
  }
}
