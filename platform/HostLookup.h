#pragma once
// The asynchronous host lookup of the socket library. The answer comes later as a message to
// a hidden window (wParam the request's handle, the error in the high 16 bits of lParam),
// after the host entry has been written into the caller's buffer. The resolver behind it can
// be replaced, so tests make a lookup succeed, fail or never finish without asking DNS.
#include <cstdint>
#include <functional>
#include <string>

namespace platform {

class NotifyWindow;

// What the lookup writes into the caller's buffer.
struct HostEntry {
    uint16_t addressCount;
    uint8_t firstAddress[4];  // network order
};

// Completes a lookup on the GUI thread: an error number (0 on success) and, on success, the
// first IPv4 address in network order (as inet_addr gives it). It may be called at once,
// later, or never.
using LookupDone = std::function<void(int error, uint32_t address)>;
using HostResolver = std::function<void(const std::string& name, LookupDone done)>;

// An empty resolver puts the system's back.
void SetHostResolver(HostResolver resolver);

// Returns the request's handle (never 0), or 0 with WSAGetLastError set. The buffer must live
// until the message arrives or the request is cancelled.
uintptr_t WSAAsyncGetHostByName(NotifyWindow* window, unsigned message, const char* name,
                                char* buffer, int bufferLength);
// After this the request writes nothing and sends no message.
int WSACancelAsyncRequest(uintptr_t handle);

}  // namespace platform
