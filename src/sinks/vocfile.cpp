#include "sinks/vocfile.hpp"

#include <unistd.h>

#include <cstring>

#include "driver/settings.hpp"
#include "sinks/filesink.hpp"

namespace {

const unsigned char vochead[32] = {'C', 'r', 'e', 'a', 't', 'i', 'v', 'e', ' ', 'V', 'o', 'i', 'c',
                                   'e', ' ', 'F', 'i', 'l', 'e', 0x1A, 0x1A, 0x00, 0x0A, 0x01, 0x29, 0x11};
// Header of a full sample block: type 2, 65535 samples.
const unsigned char vocstart[4] = {0x02, 0xFF, 0xFF, 0x00};

constexpr int kBlockSamples = 65535;

// A full block is final the moment its last sample arrives; the header of
// the next one follows it.
void block_full() { StageBytes(vocstart, 4, kBlockSamples); }

}  // namespace

int lsb_write(int fh, int value) {
  uint32_t v = static_cast<uint32_t>(value);
  unsigned char b[4] = {static_cast<unsigned char>(v >> 24), static_cast<unsigned char>(v >> 16),
                        static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
  if (fh == filesink.ofh) {
    WriteOut(b, 4);
    return 4;
  }
  return static_cast<int>(write(fh, b, 4));
}

void InitVOC() {
  OpenOutputFile();
  filesink.open = FileKind::voc;
  const int freq = settings.freq;
  if (freq <= 35000) {
    // Sound data with a time constant: one sample of value 0.
    unsigned char b[7] = {0x01, 0x03, 0x00, 0x00, static_cast<unsigned char>((256 - 1000000 / freq) & 0xFF), 0x00,
                          0x00};
    StageBytes(vochead, 26, 0);
    StageBytes(b, sizeof b, 0);
  } else {
    // Sound data, new format: the rate in full, 8 bits, mono, unsigned PCM.
    unsigned char b[17] = {0x09, 0x0D, 0x00, 0x00,
                           static_cast<unsigned char>(freq), static_cast<unsigned char>(freq >> 8),
                           static_cast<unsigned char>(freq >> 16), static_cast<unsigned char>(freq >> 24),
                           8, 1, 0x00, 0x00, 0, 0, 0, 0, 0x00};
    StageBytes(vochead, 26, 0);
    StageBytes(b, sizeof b, 0);
  }
  block_full();  // the first sample block begins
}

void PlayVOC(unsigned char amp, int len) { AppendRun(amp, len, block_full); }

void StopVOC() {
  // The open block holds the last samples: its header gets their number, or,
  // with none, the block is dropped.
  unsigned char *header = filesink.vocbuf - 4;
  const int n = filesink.vocpos;
  if (n != 0) {
    header[1] = static_cast<unsigned char>(n);
    header[2] = static_cast<unsigned char>(n >> 8);
    header[3] = static_cast<unsigned char>(n >> 16);
  } else {
    filesink.vocbuf = header;
  }
  const unsigned char terminator[4] = {0, 0, 0, 0};
  StageBytes(terminator, 4, 0);
  FlushStaged(true);
  CloseOutputFile();
}
