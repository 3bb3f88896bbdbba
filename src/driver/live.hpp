// The main program's side of live output: opening, the key-wait stop and the
// hand-over of staged samples to the ring.
#pragma once

inline int audiofd = 0;  // result of the last open_audio

// Opens (or reopens after a key wait) the sound output and reports it.
void InitSB();
// Nothing to do: the device keeps running and repeats the last level.
void StopSB();
// Passes the staged samples to the ring.
void flushSBBuffer();
