// Ctrl+C, kill and a closed terminal stop a transfer the way the window's
// Stop does: at the next block, with nothing partial left behind.
#pragma once

#include <atomic>

// Catches SIGINT, SIGTERM and SIGHUP from now on (nothing on Windows).
void CatchStopSignals();

// Set once one of those signals arrived; the engine looks at it before
// every block.
const std::atomic<bool>& StopRequested();

// The signal that arrived, 0 while none has.
int CaughtSignal();
