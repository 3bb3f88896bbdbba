#include "driver/blockloop.hpp"

#include "driver/console.hpp"
#include "driver/flow.hpp"
#include "driver/live.hpp"
#include "driver/settings.hpp"
#include "driver/tape.hpp"
#include "engine/blocks.hpp"
#include "engine/pulse.hpp"
#include "listing/listing.hpp"
#include "listing/machines.hpp"
#include "listing/text.hpp"
#include "sinks/audio.hpp"
#include "sinks/aufile.hpp"
#include "sinks/vocfile.hpp"

namespace {

bool replaying() { return settings.info == 0; }

// Detects a tape that steers the replay round in circles for ever. What the
// loop does next depends only on the current block and the loop and call
// state, and on the keys typed; so when that state comes back with no key
// read in between, the tape would go round the same circle without end.
// Brent's cycle search finds it within two rounds of the circle, with a
// constant amount of work per block.
struct EndlessLoopGuard {
  struct State {
    int curr, loop_start, loop_count, call_pos, call_num, call_cur;
    bool call_seen;
    bool operator==(const State &) const = default;
  };
  State saved{};
  unsigned long saved_keys = ~0ul;
  uint64_t power = 1, steps = 0;

  void visit() {
    State now{tape.curr, flow.loop_start, flow.loop_count, flow.call_pos, flow.call_num, flow.call_cur,
              flow.call_seen};
    if (console.keys_read == saved_keys && now == saved) Error("The tape loops for ever!");
    if (console.keys_read != saved_keys || ++steps == power) {
      power = console.keys_read != saved_keys ? 1 : power * 2;
      saved = now;
      saved_keys = console.keys_read;
      steps = 0;
    }
  }
};

void announce() {
  if (!replaying()) {
    say("\n");
    return;
  }
  if (settings.voc) say("\nCreating .VOC file using %d Hz frequency.\n\n", settings.freq);
  else if (settings.au) say("\nCreating .au file using %d Hz frequency.\n\n", settings.freq);
  else say("\nStarting playback on CoreAudio using %d Hz frequency.\n\n", settings.freq);
}

void open_sink() {
  if (!replaying()) return;
  if (settings.voc) InitVOC();
  else if (settings.au) InitAU();
  else InitSB();
}

void prefix() {
  if (!settings.draw) return;
  if (settings.info == 0) {
    say("Block %3d:", tape.curr + 1);
  } else if (settings.info == 2) {
    if (settings.pages) PagePrompt(22, false);
    say("%3d-%5zX:", tape.curr + 1, tape.block[static_cast<size_t>(tape.curr)] + 10);
  }
}

void signal_block(int id, Body body) {
  if (id == 0x16 || id == 0x17) ReadC64Block(id, body);
  else ReadSpectrumBlock(id, body);
  if (settings.info == 1) {
    ListSignalBlock(id, body);
    return;
  }
  switch (id) {
    case 0x10: case 0x11: case 0x14: OneLineData(id); break;
    case 0x16: case 0x17: OneLineC64(id); break;
    default: OneLineOther(id, body); break;
  }
  if (!replaying()) return;
  if (id == 0x16 || id == 0x17) PlayC64Block(id);
  else PlaySpectrumBlock(id);
}

void description_block(int id, Body body) {
  if (id == 0x33) DetectMachine(body);
  if (settings.info == 1) ListDescriptionBlock(id, body);
  else OneLineOther(id, body);
  if (id == 0x21 && !settings.expand) settings.draw = 0;
  if (id == 0x22) settings.draw = 1;
}

void unknown_block(int id) {
  if (settings.info == 1) {
    settings.line++;
    writeout(Heading() + strprintf("%02X Unknown Block \n\n", id));
  } else if (settings.draw) {
    say("    Unknown block %02X !\n", id);
  }
}

void dispatch(int id, Body body) {
  if (id == 0x20) ReadSpectrumBlock(id, body);  // sets the level low, in every mode
  if (IsFlowBlock(id, body)) {
    FlowBlock(id, body);
    return;
  }
  switch (id) {
    case 0x10: case 0x11: case 0x12: case 0x13: case 0x14: case 0x15: case 0x16: case 0x17: case 0x20:
      signal_block(id, body);
      break;
    case 0x21: case 0x22: case 0x30: case 0x31: case 0x32: case 0x33: case 0x34: case 0x35: case 0x40: case 0x5A:
      description_block(id, body);
      break;
    default:
      unknown_block(id);
  }
}

}  // namespace

void CloseSink() {
  if (settings.voc) StopVOC();
  else if (settings.au) StopAU();
  else StopSB();
}

void BlockLoop() {
  announce();
  open_sink();
  engine.amp = kLow;
  engine.cycle = settings.freq / 3500000.0;
  if (settings.info == 2) settings.line++;

  EndlessLoopGuard guard;
  while (tape.curr < tape.numblocks) {
    if (replaying()) guard.visit();
    prefix();
    tape.id = tape.mem[tape.block[static_cast<size_t>(tape.curr)]];
    dispatch(tape.id, BlockBody(tape.curr));
    tape.curr++;
  }

  if (replaying()) {
    PauseSB(static_cast<unsigned char>(engine.amp), 1000);
    CloseSink();
  }
  flushSBBuffer();
  close_audio();
}
