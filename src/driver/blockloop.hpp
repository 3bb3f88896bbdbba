// The block loop: announcement, sink opening, every block of the range in
// turn, the closing second and the sink's closing.
#pragma once

void BlockLoop();
// Closes the open sink after the last block (or when the run is abandoned).
void CloseSink();
