#include "driver/flow.hpp"

#include "driver/console.hpp"
#include "driver/live.hpp"
#include "driver/settings.hpp"
#include "engine/pulse.hpp"
#include "listing/listing.hpp"
#include "listing/text.hpp"

namespace {

bool live() { return !settings.voc && !settings.au; }

// Five seconds at the current level, then low: a conversion does not wait.
void conversion_stop() {
  PauseSB(static_cast<unsigned char>(engine.amp), 5000);
  engine.amp = kLow;
}

// Level run, then the wait for a key with the sound output kept open.
void live_stop() {
  PlaySB(static_cast<unsigned char>(engine.amp), 2 * settings.sbbuflen);
  StopSB();
  KeyWait();
  InitSB();
}

void ignored(const char *what) {
  say("\n-- Warning: Block %d %s - ignored!\n", tape.curr + 1, what);
  // A replay can meet the same ignored block any number of times.
  if (settings.line < 1000000) settings.line += 2;
}

// Moves the loop so that its next step lands on block `target` (an index).
// A target before the first block of the tape cannot be reached.
bool go_to(long target, const char *what) {
  if (target < 0) {
    ignored(what);
    return false;
  }
  tape.curr = static_cast<int>(target - 1);
  return true;
}

void oneline(const std::string &s) {
  if (settings.draw) say_text(s);
}

void extensive(const char *title, int extra) { writeout_lines(Heading() + title, extra); }

void stop_tape() {
  if (settings.info == 1) return extensive("20 - Stop the Tape Command\n\n", 1);
  if (settings.info == 2) return oneline("    Stop the tape command!\n");
  if (live()) {
    oneline("    Stop the tape command - Press any key to continue!\n");
    live_stop();
  } else {
    oneline("    Stop the tape command!\n");
    conversion_stop();
  }
}

void jump_block(Body body) {
  flow.jump = static_cast<short>(body.s16(0));
  const long target = static_cast<long>(tape.curr) + flow.jump;
  if (settings.info == 1)
    return extensive(strprintf("23 - Jump Relative: %d (To Block %ld)\n\n", flow.jump, target + 1).c_str(), 1);
  oneline(strprintf("    Jump Relative: %d (To Block %ld)\n", flow.jump, target + 1));
  if (settings.info != 0) return;
  if (flow.jump == 0) return ignored("jumps to itself");
  go_to(target, "jumps to a block before the start of the tape");
}

void loop_start(Body body) {
  flow.loop_start = tape.curr;
  flow.loop_count = static_cast<int>(body.u16(0));
  if (settings.info == 1)
    return extensive(strprintf("24 - Loop Start, Counter: %d\n\n", flow.loop_count - 1).c_str(), 1);
  oneline(strprintf("    Loop Start, Counter: %d\n", flow.loop_count));
}

void loop_end() {
  if (settings.info == 1) return extensive("25 - Loop End\n\n", 1);
  if (settings.info == 2) return oneline("    Loop End\n");
  // A Loop End without a pending loop finishes at once.
  flow.loop_count = flow.loop_count > 0 ? flow.loop_count - 1 : 0;
  if (flow.loop_count > 0) {
    oneline(strprintf("    Loop End, Still To Go %d Time(s)!\n", flow.loop_count));
    tape.curr = flow.loop_start;
  } else {
    oneline("    Loop End, Finished\n");
  }
}

void call_sequence(Body body) {
  const int calls = static_cast<int>(body.u16(0));
  if (settings.info == 0 && calls == 0) {
    // Nothing to call: the block is passed over and the pending call stays.
    oneline("    Call Sequence, Number of Calls : 0\n");
    return ignored("has no calls");
  }
  flow.call_pos = tape.curr;
  flow.call_num = calls;
  flow.call_cur = 0;
  flow.call_seen = true;
  if (settings.info == 1)
    return extensive(strprintf("26 - Call Sequence, Number of Calls : %d\n\n", flow.call_num).c_str(), 1);
  if (settings.info == 2) return oneline(strprintf("    Call Sequence, Number of Calls : %d\n", flow.call_num));
  flow.jump = static_cast<short>(body.s16(2));
  const long target = static_cast<long>(tape.curr) + flow.jump;
  oneline(strprintf("    Call Sequence, Number of Calls : %d, First: %d (To Block %ld)\n", flow.call_num, flow.jump,
                    target + 1));
  if (!go_to(target, "calls a block before the start of the tape")) flow.call_seen = false;
}

void return_from_call() {
  // Only a Return that belongs to a pending call sequence counts.
  if (flow.call_seen && flow.call_cur < flow.call_num) flow.call_cur++;
  if (settings.info == 1) return extensive("27 - Return from Call\n\n", 1);
  if (settings.info == 2) return oneline("    Return from Call\n");
  if (!flow.call_seen) return ignored("returns without a Call Sequence before it");
  if (flow.call_cur == flow.call_num) {
    oneline("    Return from Call, Last Call Finished\n");
    tape.curr = flow.call_pos;
    flow.call_seen = false;
    return;
  }
  Body call = BlockBody(flow.call_pos);
  flow.jump = static_cast<short>(call.s16(2 + 2 * static_cast<size_t>(flow.call_cur)));
  const long target = static_cast<long>(flow.call_pos) + flow.jump;
  oneline(strprintf("    Return from Call, Calls Left: %d, Next: %d (To Block %ld)\n", flow.call_num - flow.call_cur,
                    flow.jump, target + 1));
  if (!go_to(target, "calls a block before the start of the tape")) flow.call_seen = false;
}

struct SelectEntry {
  int distance;
  std::string text;
};

void select_block(Body body) {
  flow.num_sel = static_cast<int>(body.u8(2));
  // Entries are read only as far as they lie inside the block.
  SelectEntry entries[256];
  int found = 0;
  size_t at = 3;
  for (int i = 0; i < flow.num_sel; i++) {
    if (!body.fits(at, 3)) break;
    entries[found].distance = body.s16(at);
    unsigned len = body.u8(at + 2);
    size_t inside = body.avail(at + 3);
    CopyString(entries[found].text, body.p + at + 3, static_cast<int>(len < inside ? len : inside));
    found++;
    at += 3 + len;
  }

  if (settings.info == 1) {
    writeout(Heading() + "28 - Select Block\n");
    for (int i = 0; i < found; i++)
      writeout(strprintf("%5d - Jump: %3d (To Block %4ld) : %s\n", i + 1, entries[i].distance,
                         static_cast<long>(tape.curr) + entries[i].distance + 1, entries[i].text.c_str()));
    writeout("\n");
    return;
  }
  if (settings.info == 2) return oneline(MoreInfo("    Select block"));

  say("    Select :\n");
  for (int i = 0; i < found; i++) {
    flow.jumparray[i] = entries[i].distance;
    say("%5d : %s\n", i + 1, entries[i].text.c_str());
  }
  flow.num_sel = found;
  say(">> Press the number!\n");
  if (live()) {
    PlaySB(static_cast<unsigned char>(engine.amp), 2 * settings.sbbuflen);
    StopSB();
  } else {
    conversion_stop();
  }
  KeyWait();
  if (live()) InitSB();
  int choice = settings.k - '0';
  if (choice < 1 || choice > flow.num_sel) {
    say("Illegal Selection... Continuing...\n");
    return;
  }
  go_to(static_cast<long>(tape.curr) + flow.jumparray[choice - 1], "selects a block before the start of the tape");
}

void stop_if_48k() {
  if (settings.info == 1) return extensive("2A - Stop the tape if in 48k mode\n\n", 1);
  if (settings.info == 2) return oneline("    Stop the tape if in 48k mode!\n");
  if (settings.mode128) return oneline("    Stop the tape only in 48k mode!\n");
  if (live()) {
    oneline("    Stop the tape in 48k mode - Press any key to continue!\n");
    live_stop();
  } else {
    oneline("    Stop the tape in 48k mode!\n");
    conversion_stop();
  }
}

}  // namespace

void KeyWait() {
  settings.k = read_key();
  if (settings.k == ESC) Error("ESCAPE key pressed!");
}

bool IsFlowBlock(int id, Body body) {
  switch (id) {
    case 0x20: return body.u16(0) == 0;
    case 0x23: case 0x24: case 0x25: case 0x26: case 0x27: case 0x28: case 0x2A: return true;
    default: return false;
  }
}

void FlowBlock(int id, Body body) {
  switch (id) {
    case 0x20: stop_tape(); break;
    case 0x23: jump_block(body); break;
    case 0x24: loop_start(body); break;
    case 0x25: loop_end(); break;
    case 0x26: call_sequence(body); break;
    case 0x27: return_from_call(); break;
    case 0x28: select_block(body); break;
    case 0x2A: stop_if_48k(); break;
  }
}
