#include "platform/HostLookup.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <QPointer>
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

// The system's resolver on a thread of its own, as it may block for a long time. The answer
// goes through done, which hands it to the GUI thread. (Plain getaddrinfo rather than a
// network library keeps the command-line sender's start-up small.)
void SystemResolver(const std::string& name, LookupDone done) {
    std::thread([name, done = std::move(done)] {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        const int error = LookupError(::getaddrinfo(name.c_str(), nullptr, &hints, &found));
        uint32_t address = 0;
        if (error == 0)
            address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
        if (found)
            ::freeaddrinfo(found);
        done(error, address);
    }).detach();
}

// Runs on the GUI thread when the answer is delivered, so a cancel made before then wins.
void Deliver(QPointer<NotifyWindow> window, unsigned message, uintptr_t handle, char* buffer,
             int bufferLength, int error, uint32_t address) {
    if (Pending().erase(handle) == 0 || !window)
        return;
    if (error == 0 && bufferLength < static_cast<int>(sizeof(HostEntry)))
        error = WSAENOBUFS;
    if (error == 0) {
        HostEntry entry{1, {}};
        std::memcpy(entry.firstAddress, &address, sizeof entry.firstAddress);
        std::memcpy(buffer, &entry, sizeof entry);
    }
    const auto lParam = static_cast<intptr_t>(static_cast<uint32_t>(error) << 16);
    SendMessage(window, message, handle, lParam);
}

}  // namespace

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
    LookupDone done = [=](int error, uint32_t address) {
        QMetaObject::invokeMethod(
            qApp, [=] { Deliver(target, message, handle, buffer, bufferLength, error, address); },
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
