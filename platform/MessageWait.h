#pragma once
// A wait that does not spin: runs pending GUI-thread events, blocking until one arrives or the
// given time has passed.
namespace platform {

void WaitForMessages(unsigned maxMilliseconds);

}  // namespace platform
