#include "driver/live.hpp"

#include "driver/console.hpp"
#include "driver/settings.hpp"
#include "engine/pulse.hpp"
#include "sinks/audio.hpp"

void InitSB() {
  audiofd = open_audio(&settings.freq);
  if (audiofd != 0)
    Error("No sound output could be opened! Use -voc or -au to write a sound file instead.");
  say("CoreAudio initialized\n");
}

void StopSB() {}

void flushSBBuffer() {
  play_buffer(engine.audio_buffer, engine.buf_index);
  engine.buf_index = 0;
}
