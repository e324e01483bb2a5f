#pragma once
// The asynchronous host lookup of the socket library. The answer comes later as a message to
// a hidden window (wParam the request's handle, the error in the high 16 bits of lParam),
// after the host entry has been written into the caller's buffer. The resolver behind it can
// be replaced, so tests make a lookup succeed, fail or never finish without asking DNS.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Winsock.h"

namespace platform {

class NotifyWindow;

constexpr int kMaxHostAddresses = 16;

// What the lookup writes into the caller's buffer: the host's addresses, IPv6 and IPv4, in the
// order they are to be tried.
struct HostEntry {
    uint16_t addressCount;
    HostAddress addresses[kMaxHostAddresses];
};

// Completes a lookup on the GUI thread: an error number (0 on success) and, on success, the
// addresses (the first kMaxHostAddresses are kept). It may be called at once, later, or never.
using LookupDone = std::function<void(int error, std::vector<HostAddress> addresses)>;
using HostResolver = std::function<void(const std::string& name, LookupDone done)>;

// The IPv4 address in network order (as inet_addr gives it) as a host address.
HostAddress HostAddressV4(uint32_t networkOrder);
// A numeric address, IPv4 as inet_addr reads it or IPv6; false for anything else (a name).
bool ParseHostAddress(const char* text, HostAddress& address);

// An empty resolver puts the system's back.
void SetHostResolver(HostResolver resolver);

// Returns the request's handle (never 0), or 0 with WSAGetLastError set. The buffer must live
// until the message arrives or the request is cancelled.
uintptr_t WSAAsyncGetHostByName(NotifyWindow* window, unsigned message, const char* name,
                                char* buffer, int bufferLength);
// After this the request writes nothing and sends no message.
int WSACancelAsyncRequest(uintptr_t handle);

}  // namespace platform
