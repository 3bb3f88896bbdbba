#include "sinks/aufile.hpp"

#include <cstring>

#include "driver/settings.hpp"
#include "sinks/filesink.hpp"
#include "sinks/vocfile.hpp"

namespace {

void write_header() {
  lsb_write(filesink.ofh, auhead.magic);
  lsb_write(filesink.ofh, auhead.dataLocation);
  lsb_write(filesink.ofh, auhead.dataSize);
  lsb_write(filesink.ofh, auhead.dataFormat);
  lsb_write(filesink.ofh, auhead.samplingRate);
  lsb_write(filesink.ofh, auhead.channelCount);
}

}  // namespace

void InitAU() {
  auhead = SNDSoundStruct{};
  auhead.magic = 0x2E736E64;
  auhead.dataLocation = 32;
  auhead.dataSize = 0;
  auhead.dataFormat = 2;
  auhead.samplingRate = settings.freq;
  auhead.channelCount = 1;
  OpenOutputFile();
  filesink.open = FileKind::au;
  write_header();
  const unsigned char zeros[8] = {};
  WriteOut(zeros, sizeof zeros);
  filesink.vocpos = 0;
}

static void write_full_buffer() { WriteOut(filesink.vocbuf.data(), static_cast<size_t>(filesink.vocbuflen)); }

void PlayAU(unsigned char amp, int len) {
  auhead.dataSize = static_cast<int>(static_cast<unsigned>(auhead.dataSize) + static_cast<unsigned>(len));
  AppendRun(amp, len, write_full_buffer);
}

void StopAU() {
  if (filesink.vocpos != 0) {
    int n = filesink.vocpos;
    filesink.vocpos = 0;
    WriteOut(filesink.vocbuf.data(), static_cast<size_t>(n));
  }
  SeekOut(0);
  write_header();
  CloseOutputFile();
}
