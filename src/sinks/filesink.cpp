#include "sinks/filesink.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
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

}  // namespace

void AppendRun(unsigned char amp, int len, void (*write_full)()) {
  while (len > 0) {
    int n = filesink.vocbuflen - filesink.vocpos;
    if (n > len) n = len;
    std::memset(filesink.vocbuf.data() + filesink.vocpos, amp, static_cast<size_t>(n));
    filesink.vocpos += n;
    len -= n;
    if (filesink.vocpos == filesink.vocbuflen) {
      write_full();
      filesink.vocpos = 0;
    }
  }
}

void OpenOutputFile() {
  try {
    filesink.vocbuf.assign(static_cast<size_t>(filesink.vocbuflen) + 256, 0);
  } catch (const std::bad_alloc &) {
    ReleaseTape();
    Error("Not enough memory to set up .VOC file buffer!");
  }
  filesink.ofh = open(settings.fout.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0660);
  if (filesink.ofh < 0) Error(strprintf("Cannot create %s: %s", settings.fout.c_str(), std::strerror(errno)));
  filesink.vocpos = 0;
}

void WriteOut2(const void *a, size_t na, const void *b, size_t nb) {
  iovec iov[2] = {{const_cast<void *>(a), na}, {const_cast<void *>(b), nb}};
  int cnt = nb ? 2 : 1;
  iovec *v = iov;
  while (cnt > 0) {
    ssize_t r = writev(filesink.ofh, v, cnt);
    if (r < 0) {
      if (errno == EINTR) continue;
      write_failed("write to", errno);
    }
    if (r == 0) write_failed("write to", ENOSPC);
    size_t done = static_cast<size_t>(r);
    while (cnt > 0 && done >= v->iov_len) {
      done -= v->iov_len;
      v++;
      cnt--;
    }
    if (cnt > 0) {
      v->iov_base = static_cast<char *>(v->iov_base) + done;
      v->iov_len -= done;
    }
  }
}

void WriteOut(const void *p, size_t n) { WriteOut2(p, n, nullptr, 0); }

void SeekOut(long long offset) {
  if (lseek(filesink.ofh, static_cast<off_t>(offset), SEEK_SET) < 0) write_failed("seek in", errno);
}

void CloseOutputFile() {
  std::vector<unsigned char>().swap(filesink.vocbuf);
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
