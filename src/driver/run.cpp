#include "driver/run.hpp"

#include <cstdio>

#include "driver/blockloop.hpp"
#include "driver/console.hpp"
#include "driver/flow.hpp"
#include "driver/live.hpp"
#include "driver/settings.hpp"
#include "driver/tape.hpp"
#include "engine/blocks.hpp"
#include "engine/pulse.hpp"
#include "listing/text.hpp"
#include "sinks/audio.hpp"
#include "sinks/aufile.hpp"
#include "sinks/filesink.hpp"

void ResetState() {
  settings = RunSettings{};
  tape = Tape{};
  engine = Engine{};
  params = BlockParams{};
  flow = FlowState{};
  texts = Texts{};
  filesink = FileSink{};
  auhead = SNDSoundStruct{};
  audiofd = 0;
  audio.ringbuffer_read.store(0);
  audio.ringbuffer_write.store(0);
  audio.finishing.store(0);
  audio.opened = false;
  audio.held = 0.0f;
  for (float &f : audio.ringbuf) f = 0.0f;
}

int RunReelwright(int argc, char **argv) {
  int status = 0;
  try {
    if (StartUp(argc, argv)) {
      LoadTape();
      IndexTape();
      ApplyRange();
      BlockLoop();
    }
  } catch (const RunAborted &e) {
    status = e.status;
    // What was converted stays a valid sound file; the sound output is let go.
    FinishOutputFile();
    engine.buf_index = 0;
    abandon_audio();
  }
  ReleaseTape();
  std::fflush(console.out);
  return status;
}
