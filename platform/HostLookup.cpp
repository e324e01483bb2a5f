#include "platform/HostLookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <QPointer>
#include <algorithm>
#include <cstring>
#include <set>
#include <thread>

#include "platform/NotifyWindow.h"
#include "platform/Winsock.h"

namespace platform {
namespace {

std::set<uintptr_t>& Pending() {
    static std::set<uintptr_t> pending;
    return pending;
}

HostResolver& Resolver() {
    static HostResolver resolver;
    return resolver;
}

int LookupError(int error) {
    switch (error) {
        case 0:
            return 0;
        case EAI_NONAME:
        case EAI_FAIL:
            return WSAHOST_NOT_FOUND;
        case EAI_NODATA:
        case EAI_ADDRFAMILY:
            return WSANO_DATA;
        default:
            return WSATRY_AGAIN;
    }
}

HostAddress AddressOf(const addrinfo& found) {
    HostAddress address;
    if (found.ai_family == AF_INET6) {
        address.family = ws::AfInet6;
        std::memcpy(address.bytes, &reinterpret_cast<const sockaddr_in6*>(found.ai_addr)->sin6_addr,
                    16);
    } else {
        std::memcpy(address.bytes, &reinterpret_cast<const sockaddr_in*>(found.ai_addr)->sin_addr,
                    4);
    }
    return address;
}

// The system's resolver on a thread of its own, as it may block for a long time. The answer
// goes through done, which hands it to the GUI thread. (Plain getaddrinfo rather than a
// network library keeps the command-line sender's start-up small.) IPv6 and IPv4 alike, in the
// system's order of preference.
void SystemResolver(const std::string& name, LookupDone done) {
    std::thread([name, done = std::move(done)] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int error = LookupError(::getaddrinfo(name.c_str(), nullptr, &hints, &found));
        std::vector<HostAddress> addresses;
        for (const addrinfo* at = error == 0 ? found : nullptr; at != nullptr; at = at->ai_next) {
            const HostAddress address = AddressOf(*at);
            if ((at->ai_family == AF_INET || at->ai_family == AF_INET6) &&
                std::find(addresses.begin(), addresses.end(), address) == addresses.end()) {
                addresses.push_back(address);
            }
        }
        if (found)
            ::freeaddrinfo(found);
        done(error, std::move(addresses));
    }).detach();
}

// Runs on the GUI thread when the answer is delivered, so a cancel made before then wins.
void Deliver(QPointer<NotifyWindow> window, unsigned message, uintptr_t handle, char* buffer,
             int bufferLength, int error, const std::vector<HostAddress>& addresses) {
    if (Pending().erase(handle) == 0 || !window)
        return;
    if (error == 0 && bufferLength < static_cast<int>(sizeof(HostEntry)))
        error = WSAENOBUFS;
    if (error == 0 && addresses.empty())
        error = WSANO_DATA;
    if (error == 0) {
        HostEntry entry{};
        for (const HostAddress& address : addresses) {
            if (entry.addressCount < kMaxHostAddresses)
                entry.addresses[entry.addressCount++] = address;
        }
        std::memcpy(buffer, &entry, sizeof entry);
    }
    const auto lParam = static_cast<intptr_t>(static_cast<uint32_t>(error) << 16);
    SendMessage(window, message, handle, lParam);
}

}  // namespace

HostAddress HostAddressV4(uint32_t networkOrder) {
    HostAddress address;
    std::memcpy(address.bytes, &networkOrder, 4);
    return address;
}

bool ParseHostAddress(const char* text, HostAddress& address) {
    const uint32_t v4 = inet_addr(text);
    if (v4 != ws::InaddrNone) {
        address = HostAddressV4(v4);
        return true;
    }
    in6_addr v6{};
    if (text == nullptr || ::inet_pton(AF_INET6, text, &v6) != 1)
        return false;
    address = HostAddress{ws::AfInet6, {}};
    std::memcpy(address.bytes, &v6, 16);
    return true;
}

void SetHostResolver(HostResolver resolver) {
    Resolver() = std::move(resolver);
}

uintptr_t WSAAsyncGetHostByName(NotifyWindow* window, unsigned message, const char* name,
                                char* buffer, int bufferLength) {
    static uintptr_t lastHandle = 0;
    if (window == nullptr || name == nullptr || buffer == nullptr) {
        WSASetLastError(WSAEINVAL);
        return 0;
    }
    const uintptr_t handle = ++lastHandle;
    Pending().insert(handle);
    QPointer<NotifyWindow> target(window);
    LookupDone done = [=](int error, std::vector<HostAddress> addresses) {
        QMetaObject::invokeMethod(
            qApp, [=] { Deliver(target, message, handle, buffer, bufferLength, error, addresses); },
            Qt::QueuedConnection);
    };
    const HostResolver& resolver = Resolver();
    if (resolver) {
        resolver(name, std::move(done));
    } else {
        SystemResolver(name, std::move(done));
    }
    return handle;
}

int WSACancelAsyncRequest(uintptr_t handle) {
    if (Pending().erase(handle) == 0) {
        WSASetLastError(WSAEINVAL);
        return SOCKET_ERROR;
    }
    return 0;
}

}  // namespace platform
