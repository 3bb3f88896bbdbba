#include "sinks/vocfile.hpp"

#include <unistd.h>

#include <cstring>

#include "driver/settings.hpp"
#include "sinks/filesink.hpp"

namespace {

const unsigned char vochead[32] = {'C', 'r', 'e', 'a', 't', 'i', 'v', 'e', ' ', 'V', 'o', 'i', 'c',
                                   'e', ' ', 'F', 'i', 'l', 'e', 0x1A, 0x1A, 0x00, 0x0A, 0x01, 0x29, 0x11};
unsigned char vocstart[4] = {0x02, 0xFF, 0xFF, 0x00};

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
  WriteOut(vochead, 26);
  const int freq = settings.freq;
  if (freq <= 35000) {
    // Sound data with a time constant: one sample of value 0.
    unsigned char b[7] = {0x01, 0x03, 0x00, 0x00, static_cast<unsigned char>((256 - 1000000 / freq) & 0xFF), 0x00,
                          0x00};
    WriteOut(b, sizeof b);
  } else {
    // Sound data, new format: the rate in full, 8 bits, mono, unsigned PCM.
    unsigned char b[17] = {0x09, 0x0D, 0x00, 0x00,
                           static_cast<unsigned char>(freq), static_cast<unsigned char>(freq >> 8),
                           static_cast<unsigned char>(freq >> 16), static_cast<unsigned char>(freq >> 24),
                           8, 1, 0x00, 0x00, 0, 0, 0, 0, 0x00};
    WriteOut(b, sizeof b);
  }
  filesink.vocpos = 0;
}

// A full buffer is written as a continuation block the moment its last
// sample arrives.
static void write_full_block() {
  vocstart[1] = vocstart[2] = 0xFF;
  vocstart[3] = 0x00;
  WriteOut2(vocstart, 4, filesink.vocbuf.data(), static_cast<size_t>(filesink.vocbuflen));
}

void PlayVOC(unsigned char amp, int len) { AppendRun(amp, len, write_full_block); }

void StopVOC() {
  if (filesink.vocpos != 0) {
    vocstart[1] = static_cast<unsigned char>(filesink.vocpos);
    vocstart[2] = static_cast<unsigned char>(filesink.vocpos >> 8);
    vocstart[3] = static_cast<unsigned char>(filesink.vocpos >> 16);
    int n = filesink.vocpos;
    filesink.vocpos = 0;
    WriteOut2(vocstart, 4, filesink.vocbuf.data(), static_cast<size_t>(n));
  }
  const unsigned char terminator[4] = {0, 0, 0, 0};
  WriteOut(terminator, 4);
  CloseOutputFile();
}
