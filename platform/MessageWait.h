#pragma once
// A wait that neither spins nor steps: blocks the GUI thread until an event arrives (a socket
// becoming ready, a timer tick such as a time-out, a posted message, a user action) and runs the
// pending events. It has no time limit of its own: whatever the waiter waits for must be one of
// those events.
namespace platform {

void WaitForMessages();

}  // namespace platform
