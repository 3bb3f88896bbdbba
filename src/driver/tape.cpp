#include "driver/tape.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "driver/console.hpp"
#include "driver/settings.hpp"

int Get2(const unsigned char *p) { return p[0] | p[1] << 8; }

long long FileLength(int fh) {
  off_t here = lseek(fh, 0, SEEK_CUR);
  off_t end = lseek(fh, 0, SEEK_END);
  lseek(fh, here, SEEK_SET);
  return end;
}

namespace {

// Reads exactly n bytes (the kernel may hand them over in pieces).
bool read_all(int fh, unsigned char *p, size_t n) {
  while (n > 0) {
    ssize_t r = read(fh, p, n);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<size_t>(r);
  }
  return true;
}

void warning(const char *text) {
  say("\n-- Warning: %s\n", text);
  settings.line += 2;
}

}  // namespace

bool BodyLength(int id, Body b, uint64_t &length, bool &unknown) {
  unknown = false;
  auto need = [&](size_t n) { return b.len >= n; };
  switch (id) {
    case 0x10: if (!need(4)) return false; length = 4 + uint64_t(b.u16(2)); break;
    case 0x11: if (!need(18)) return false; length = 18 + uint64_t(b.u24(15)); break;
    case 0x12: length = 4; break;
    case 0x13: if (!need(1)) return false; length = 1 + 2 * uint64_t(b.u8(0)); break;
    case 0x14: if (!need(10)) return false; length = 10 + uint64_t(b.u24(7)); break;
    case 0x15: if (!need(8)) return false; length = 8 + uint64_t(b.u24(5)); break;
    case 0x16:
    case 0x17: if (!need(4)) return false; length = 4 + uint64_t(b.u32(0)); break;
    case 0x20:
    case 0x23:
    case 0x24: length = 2; break;
    case 0x21:
    case 0x30: if (!need(1)) return false; length = 1 + uint64_t(b.u8(0)); break;
    case 0x22:
    case 0x25:
    case 0x27: length = 0; break;
    case 0x26: if (!need(2)) return false; length = 2 + 2 * uint64_t(b.u16(0)); break;
    case 0x28:
    case 0x32: if (!need(2)) return false; length = 2 + uint64_t(b.u16(0)); break;
    case 0x2A: length = 4; break;
    case 0x31: if (!need(2)) return false; length = 2 + uint64_t(b.u8(1)); break;
    case 0x33: if (!need(1)) return false; length = 1 + 3 * uint64_t(b.u8(0)); break;
    case 0x34: length = 8; break;
    case 0x35: if (!need(20)) return false; length = 20 + uint64_t(b.u32(16)); break;
    case 0x40: if (!need(4)) return false; length = 4 + uint64_t(b.u24(1)); break;
    case 0x5A: length = 9; break;
    default:
      unknown = true;
      if (!need(4)) return false;
      length = 4 + uint64_t(b.u32(0));
      break;
  }
  return true;
}

Body BlockBody(int index) {
  size_t start = tape.block[static_cast<size_t>(index)] + 1;
  size_t end = static_cast<size_t>(index) + 1 < tape.block.size() ? tape.block[static_cast<size_t>(index) + 1]
                                                                  : tape.indexed_end;
  return Body{tape.mem.data() + start, end - start};
}

void LoadTape() {
  tape.fh = open(settings.finp.c_str(), O_RDONLY);
  if (tape.fh < 0) Error("File not found");
  struct stat st;
  if (fstat(tape.fh, &st) != 0) Error(strprintf("Cannot read %s: %s", settings.finp.c_str(), std::strerror(errno)));
  if (!S_ISREG(st.st_mode))
    Error(strprintf("Cannot read %s: %s", settings.finp.c_str(),
                    S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file"));
  tape.flen = FileLength(tape.fh);
  if (tape.flen > 0x7FFFFFFF) Error("File is too large: tape images of 2 GiB or more are not supported!");

  unsigned char head[10];
  if (tape.flen < 10 || !read_all(tape.fh, head, 10)) Error("File is not in ZXTape format!");
  head[7] = 0;
  if (std::memcmp(head, "ZXTape!", 8) != 0) Error("File is not in ZXTape format!");

  say("\nZXTape file revision %d.%02d\n", head[8], head[9]);
  if (head[8] == 0) Error("Development versions of ZXTape format are not supported!");
  if (head[8] > 1) warning("Some blocks may not be recognised and used!");
  if (head[8] == 1 && head[9] > 13) warning("Some of the data might not be properly recognised!");

  try {
    tape.mem.resize(static_cast<size_t>(tape.flen - 10));
  } catch (const std::bad_alloc &) {
    Error("Not enough memory to load the file!");
  }
  if (!read_all(tape.fh, tape.mem.data(), tape.mem.size()))
    Error(strprintf("Cannot read %s: %s", settings.finp.c_str(), std::strerror(errno ? errno : EIO)));
}

void IndexTape() {
  tape.numblocks = 0;
  tape.pos = 0;
  tape.not_rec = 0;
  tape.truncated = 0;
  tape.block.clear();
  const size_t size = tape.mem.size();
  while (tape.pos < size) {
    size_t start = tape.pos;
    int id = tape.mem[start];
    Body rest{tape.mem.data() + start + 1, size - start - 1};
    uint64_t length = 0;
    bool unknown = false;
    // A block whose length fields or body reach past the image is left out,
    // and so is everything after it.
    if (!BodyLength(id, rest, length, unknown) || length > rest.len) {
      tape.truncated = 1;
      break;
    }
    if (unknown) tape.not_rec = 1;
    tape.block.push_back(start);
    tape.pos = start + 1 + static_cast<size_t>(length);
    tape.numblocks++;
  }
  tape.indexed_end = tape.pos;

  say("Number of Blocks: %d\n", tape.numblocks);
  if (tape.not_rec) warning("Some blocks were *NOT* recognised!");
  if (tape.truncated)
    warning(strprintf("The tape ends inside block %d, which is ignored!", tape.numblocks + 1).c_str());
}

void ApplyRange() {
  tape.curr = 0;
  if (settings.starting > 1) {
    if (settings.starting > tape.numblocks) Error("Invalid Starting Block");
    tape.curr = settings.starting - 1;
  }
  if (settings.ending > 0) {
    if (settings.ending > tape.numblocks || settings.ending < settings.starting) Error("Invalid Ending Block");
    tape.numblocks = settings.ending;
  }
}

void ReleaseTape() {
  std::vector<unsigned char>().swap(tape.mem);
  if (tape.fh >= 0) close(tape.fh);
  tape.fh = -1;
}
