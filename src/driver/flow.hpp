// Blocks that steer the replay: stop the tape, jumps, loops, calls, selections.
#pragma once

#include "driver/tape.hpp"

struct FlowState {
  short jump = 0;          // distance last read from a jump, call or select entry
  int loop_start = 0;      // index of the most recent Loop Start block
  int loop_count = 0;      // repetitions still to make
  int call_pos = 0;        // index of the most recent Call Sequence block
  int call_num = 0;        // calls in that sequence
  int call_cur = 0;        // Return blocks met since that sequence
  bool call_seen = false;  // a Call Sequence has been met
  int num_sel = 0;         // selections of the current Select block
  int jumparray[256] = {};
};
inline FlowState flow;

bool IsFlowBlock(int id, Body body);
void FlowBlock(int id, Body body);
// Waits for one key; ESC ends the run.
void KeyWait();
