#pragma once
// The GUI thread's message loop as the waiting operations use it.

namespace platform {

// Runs every pending event of the GUI thread (posted messages, timers, socket notifications).
void ProcessMessages();

// Suspends the GUI thread.
void Sleep(unsigned milliseconds);

}  // namespace platform
