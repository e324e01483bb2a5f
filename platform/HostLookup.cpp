#include "platform/HostLookup.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <cstring>
#include <set>

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

int LookupError(const QHostInfo& info) {
    switch (info.error()) {
        case QHostInfo::NoError:
            return 0;
        case QHostInfo::HostNotFound:
            return WSAHOST_NOT_FOUND;
        default:
            return WSATRY_AGAIN;
    }
}

// A host-order address as its four bytes in network order.
uint32_t NetworkOrder(quint32 address) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(address >> 24),
                              static_cast<uint8_t>(address >> 16),
                              static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    uint32_t result;
    std::memcpy(&result, bytes, sizeof result);
    return result;
}

void SystemResolver(const std::string& name, LookupDone done) {
    QHostInfo::lookupHost(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())),
                          qApp, [done](const QHostInfo& info) {
                              if (const int error = LookupError(info))
                                  return done(error, 0);
                              for (const QHostAddress& address : info.addresses()) {
                                  if (address.protocol() == QAbstractSocket::IPv4Protocol) {
                                      return done(0, NetworkOrder(address.toIPv4Address()));
                                  }
                              }
                              done(WSANO_DATA, 0);
                          });
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
