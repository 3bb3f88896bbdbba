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

// The samples follow one another: a full buffer is written out and
// collecting goes on from its start.
void buffer_full() { FlushStaged(true); }

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
  // The provisional header, then zeros up to byte 32.
  write_header();
  const unsigned char zeros[8] = {};
  WriteOut(zeros, sizeof zeros);
  StageBytes(nullptr, 0, 0);
}

void PlayAU(unsigned char amp, int len) {
  auhead.dataSize = static_cast<int>(static_cast<unsigned>(auhead.dataSize) + static_cast<unsigned>(len));
  AppendRun(amp, len, buffer_full);
}

void StopAU() {
  FlushStaged(true);
  SeekOut(0);
  write_header();
  CloseOutputFile();
}
