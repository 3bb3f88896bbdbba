// The tape image in memory, its block index and bounds-checked field reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct Tape {
  int fh = -1;                     // input file, open for the whole run
  long long flen = 0;              // length of the input file
  std::vector<unsigned char> mem;  // the file from offset 10 on
  std::vector<size_t> block;       // offset in mem of each block's ID byte
  size_t indexed_end = 0;          // offset in mem just past the last complete block
  int numblocks = 0;               // blocks indexed; then one past the last to process
  size_t pos = 0;                  // running offset of the indexing pass
  int not_rec = 0;                 // the pass met an ID it does not know
  int truncated = 0;               // the image ends inside a block
  int curr = 0;                    // index of the block being processed
  int id = 0;                      // ID byte of the current block
};
inline Tape tape;

// The unsigned little-endian 16-bit field at p.
int Get2(const unsigned char *p);
long long FileLength(int fh);

// A block body (or a part of one) with reads that never leave it: a field
// that lies wholly or partly outside reads as 0. The index guarantees that
// every body lies inside the image.
struct Body {
  const unsigned char *p = nullptr;
  size_t len = 0;

  unsigned u8(size_t off) const { return off < len ? p[off] : 0u; }
  unsigned u16(size_t off) const { return fits(off, 2) ? p[off] | p[off + 1] << 8 : 0u; }
  unsigned u24(size_t off) const {
    return fits(off, 3) ? p[off] | p[off + 1] << 8 | p[off + 2] << 16 : 0u;
  }
  uint32_t u32(size_t off) const {
    return fits(off, 4) ? uint32_t(p[off]) | uint32_t(p[off + 1]) << 8 | uint32_t(p[off + 2]) << 16 |
                              uint32_t(p[off + 3]) << 24
                        : 0u;
  }
  int s16(size_t off) const { return static_cast<int16_t>(u16(off)); }
  bool fits(size_t off, size_t n) const { return off <= len && n <= len - off; }
  // Bytes that lie inside the body from `off` on.
  size_t avail(size_t off) const { return off < len ? len - off : 0; }
  // How many of `declared` bytes from `off` on lie inside the body.
  int count_inside(size_t off, unsigned declared) const {
    size_t n = avail(off);
    return static_cast<int>(declared < n ? declared : n);
  }
  // The part of the body from `off` on (empty when off is past its end).
  Body from(size_t off) const { return off < len ? Body{p + off, len - off} : Body{p + len, 0}; }
};

// Body length of a block with the given ID whose body starts at `b`, read from
// at most `avail` bytes; unknown tells whether the ID is one the format lacks.
// Returns false when the length fields themselves lie past the image's end.
bool BodyLength(int id, Body b, uint64_t &length, bool &unknown);

// The current block's body.
Body BlockBody(int index);

// Loading: open, header and revision checks, the one read of the rest.
void LoadTape();
// One pass over the image: the index, the count and the warnings.
void IndexTape();
// The "-b"/"-e" range.
void ApplyRange();
// Releases the image and closes the input file (harmless when not loaded).
void ReleaseTape();
