#include "platform/Winsock.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <utility>

#include "platform/MessageWait.h"
#include "platform/NotifyWindow.h"

namespace platform {
namespace {

thread_local int lastError = 0;
int startups = 0;

// One socket's registration for events. GUI thread only. A message still queued when its
// socket is closed is dropped at delivery, so a closed socket never reports into the socket
// that reuses its number.
struct AsyncSocket {
    int fd = -1;
    QPointer<NotifyWindow> window;
    unsigned message = 0;
    long events = 0;
    std::unique_ptr<QSocketNotifier> readable;
    std::unique_ptr<QSocketNotifier> writable;
    bool connecting = false;
    bool connected = false;
    bool closeReported = false;
    // A reset seen once keeps failing every later call, as on the desktop platform.
    int stickyError = 0;
    // Once started, every byte goes through the TLS session.
    std::unique_ptr<TlsSession> tls;
    std::string tlsStartError;
    bool readCheckQueued = false;
    // A TLS read waits for the descriptor to take data (the writable notifier is its wake).
    bool readWantsWrite = false;
};

std::map<SOCKET, std::shared_ptr<AsyncSocket>>& Sockets() {
    static std::map<SOCKET, std::shared_ptr<AsyncSocket>> sockets;
    return sockets;
}

int Fail(int error) {
    lastError = error;
    return SOCKET_ERROR;
}

SOCKET FailSocket(int error) {
    lastError = error;
    return INVALID_SOCKET;
}

AsyncSocket* Find(SOCKET s) {
    auto it = Sockets().find(s);
    return it == Sockets().end() ? nullptr : it->second.get();
}

void Post(AsyncSocket& socket, long event, int error) {
    if (!socket.window || (socket.events & event) == 0)
        return;
    const auto wParam = static_cast<uintptr_t>(socket.fd);
    const auto lParam =
        static_cast<intptr_t>((static_cast<uint32_t>(error) << 16) | static_cast<uint32_t>(event));
    std::weak_ptr<AsyncSocket> registration = Sockets()[wParam];
    QPointer<NotifyWindow> window = socket.window;
    const unsigned message = socket.message;
    QMetaObject::invokeMethod(
        window.data(),
        [=] {
            if (!registration.expired() && window)
                SendMessage(window, message, wParam, lParam);
        },
        Qt::QueuedConnection);
}

bool IsReset(int error) {
    return error == ECONNRESET || error == ECONNABORTED || error == ETIMEDOUT || error == EPIPE;
}

void OnReadable(AsyncSocket& socket);
void ArmTlsRead(AsyncSocket& socket);

// Read readiness is watched only on a connected socket that has not reported its close: an
// unconnected or closed socket is readable for ever and would spin the loop.
void ArmRead(AsyncSocket& socket) {
    const bool wanted = socket.connected && !socket.closeReported &&
                        (socket.events & (ws::FdRead | ws::FdOob | ws::FdClose)) != 0;
    if (socket.tls && wanted)
        ArmTlsRead(socket);
    else if (socket.readable)
        socket.readable->setEnabled(wanted);
}

// Looks at the TLS layer again on the next pass of the loop, once.
void QueueReadCheck(AsyncSocket& socket) {
    if (socket.readCheckQueued)
        return;
    socket.readCheckQueued = true;
    std::weak_ptr<AsyncSocket> registration = Sockets()[static_cast<SOCKET>(socket.fd)];
    QMetaObject::invokeMethod(
        socket.readable.get(),
        [registration] {
            if (auto s = registration.lock()) {
                s->readCheckQueued = false;
                OnReadable(*s);
            }
        },
        Qt::QueuedConnection);
}

void ArmTlsReadOnWritable(AsyncSocket& socket) {
    socket.readWantsWrite = true;
    socket.writable->setEnabled(true);
}

// Over TLS, decrypted bytes may wait inside the TLS layer while the descriptor shows nothing,
// and a read may need the descriptor writable first. During the handshake the handshake step
// arms what it waits for.
void ArmTlsRead(AsyncSocket& socket) {
    if (!socket.readable)
        return;
    socket.readable->setEnabled(false);
    if (!socket.tls->Established())
        return;
    if (socket.tls->HasPending())
        QueueReadCheck(socket);
    else if (socket.tls->Wants() == TlsSession::Want::Write)
        ArmTlsReadOnWritable(socket);
    else
        socket.readable->setEnabled(true);
}

// A TLS failure ends the connection for every later call, like a reset.
int TlsError(AsyncSocket& socket) {
    const int error = socket.tls->SystemError();
    socket.stickyError = error != 0 && IsReset(error) ? error : ECONNABORTED;
    return socket.stickyError;
}

void OnTlsReadable(AsyncSocket& socket) {
    if (!socket.tls->Established() || socket.closeReported)
        return;  // the activation has woken the waiting handshake; nothing to report
    char byte;
    TlsSession::Status status;
    if (socket.tls->Read(&byte, 1, true, status) > 0) {
        Post(socket, ws::FdRead, 0);
    } else if (status == TlsSession::Status::Closed) {
        socket.closeReported = true;
        Post(socket, ws::FdClose, 0);
    } else if (status == TlsSession::Status::WouldBlock) {
        ArmRead(socket);
    } else {
        socket.closeReported = true;
        Post(socket, ws::FdClose, WinsockError(TlsError(socket)));
    }
}

// Readable: data (FD_READ), the end of the stream or an error (FD_CLOSE). The notifier stays
// off until the program receives again.
void OnReadable(AsyncSocket& socket) {
    socket.readable->setEnabled(false);
    if (socket.tls) {
        OnTlsReadable(socket);
        return;
    }
    char byte;
    const ssize_t n = ::recv(socket.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n > 0) {
        Post(socket, ws::FdRead, 0);
    } else if (n == 0) {
        socket.closeReported = true;
        Post(socket, ws::FdClose, 0);
    } else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        ArmRead(socket);
    } else {
        socket.stickyError = errno;
        socket.closeReported = true;
        Post(socket, ws::FdClose, WinsockError(errno));
    }
}

// Writable while connecting: the connect has completed, with the error SO_ERROR holds.
// Over TLS: a read that wanted the descriptor writable can go on. Otherwise the activation
// has woken a send or a handshake step waiting for room, and nothing is reported.
void OnWritable(AsyncSocket& socket) {
    socket.writable->setEnabled(false);
    if (socket.tls) {
        if (std::exchange(socket.readWantsWrite, false))
            OnTlsReadable(socket);
        return;
    }
    if (!socket.connecting)
        return;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    socket.connecting = false;
    socket.connected = error == 0;
    ArmRead(socket);
    Post(socket, ws::FdConnect, error == 0 ? 0 : WinsockError(error));
}

void CreateNotifiers(AsyncSocket& socket) {
    if (socket.readable)
        return;
    socket.readable = std::make_unique<QSocketNotifier>(socket.fd, QSocketNotifier::Read);
    socket.writable = std::make_unique<QSocketNotifier>(socket.fd, QSocketNotifier::Write);
    socket.readable->setEnabled(false);
    socket.writable->setEnabled(false);
    AsyncSocket* s = &socket;
    QObject::connect(socket.readable.get(), &QSocketNotifier::activated, [s] { OnReadable(*s); });
    QObject::connect(socket.writable.get(), &QSocketNotifier::activated, [s] { OnWritable(*s); });
}

void ConnectCompleted(AsyncSocket& socket, int error) {
    socket.connected = error == 0;
    ArmRead(socket);
    Post(socket, ws::FdConnect, error == 0 ? 0 : WinsockError(error));
}

int TlsSend(AsyncSocket& socket, const char* buf, int len) {
    if (!socket.tls->Established())
        return Fail(WSAENOTCONN);
    TlsSession::Status status;
    const int n = socket.tls->Write(buf, len, status);
    if (n >= 0)
        return n;
    if (status == TlsSession::Status::WouldBlock)
        return Fail(WSAEWOULDBLOCK);
    if (status == TlsSession::Status::Closed) {
        socket.stickyError = ECONNRESET;
        return Fail(WinsockError(ECONNRESET));
    }
    return Fail(WinsockError(TlsError(socket)));
}

// While the handshake runs there is nothing to read yet.
int TlsRecv(AsyncSocket& socket, char* buf, int len, bool peek) {
    if (!socket.tls->Established())
        return Fail(WSAEWOULDBLOCK);
    TlsSession::Status status;
    const int n = socket.tls->Read(buf, len, peek, status);
    ArmRead(socket);
    if (n >= 0)
        return n;
    if (status == TlsSession::Status::Closed)
        return 0;
    if (status == TlsSession::Status::WouldBlock)
        return Fail(WSAEWOULDBLOCK);
    return Fail(WinsockError(TlsError(socket)));
}

int SystemMaxSockets() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 0xFFFF;
    return static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 0xFFFF));
}

}  // namespace

int WinsockError(int error) {
    static const std::map<int, int> table = {
        {EINTR, 10004},           {EBADF, 10009},        {EACCES, 10013},
        {EFAULT, 10014},          {EINVAL, 10022},       {EMFILE, 10024},
        {EAGAIN, 10035},          {EINPROGRESS, 10036},  {EALREADY, 10037},
        {ENOTSOCK, 10038},        {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040},
        {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043},
        {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},
        {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},
        {ENETDOWN, 10050},        {ENETUNREACH, 10051},  {ENETRESET, 10052},
        {ECONNABORTED, 10053},    {ECONNRESET, 10054},   {ENOBUFS, 10055},
        {EISCONN, 10056},         {ENOTCONN, 10057},     {ESHUTDOWN, 10058},
        {EPIPE, 10058},           {ETOOMANYREFS, 10059}, {ETIMEDOUT, 10060},
        {ECONNREFUSED, 10061},    {ELOOP, 10062},        {ENAMETOOLONG, 10063},
        {EHOSTDOWN, 10064},       {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},
        {EUSERS, 10068},          {EDQUOT, 10069},       {ESTALE, 10070},
        {EREMOTE, 10071},
    };
    if (error == EWOULDBLOCK)
        return WSAEWOULDBLOCK;
    auto it = table.find(error);
    // Anything else keeps its own number above 10000, so it is still reported as an error.
    return it != table.end() ? it->second : 10000 + error;
}

int WSAStartup(uint16_t versionRequested, WSADATA* data) {
    if (data == nullptr)
        return WinsockError(EFAULT);
    ++startups;
    *data = WSADATA{};
    data->wVersion = versionRequested == 0 ? 0x0101 : std::min<uint16_t>(versionRequested, 0x0101);
    data->wHighVersion = 0x0101;
    std::strncpy(data->szDescription, "POSIX sockets with Qt notifiers", 256);
    std::strncpy(data->szSystemStatus, "Running", 128);
    data->iMaxSockets = static_cast<uint16_t>(SystemMaxSockets());
    data->iMaxUdpDg = 65467;
    return 0;
}

int WSACleanup() {
    if (startups == 0)
        return Fail(WSANOTINITIALISED);
    --startups;
    return 0;
}

int WSAGetLastError() {
    return lastError;
}

void WSASetLastError(int error) {
    lastError = error;
}

SOCKET socket(int af, int type, int protocol) {
    if (startups == 0)
        return FailSocket(WSANOTINITIALISED);
    if (af != ws::AfInet && af != ws::AfInet6)
        return FailSocket(WSAEAFNOSUPPORT);
    if (type != ws::SockStream || (protocol != 0 && protocol != ws::IpprotoTcp)) {
        return FailSocket(WinsockError(EPROTONOSUPPORT));
    }
    const int fd =
        ::socket(af == ws::AfInet ? AF_INET : AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return FailSocket(WinsockError(errno));
    // Commands go out as several small writes; without this the last one of a message waits
    // for the peer's delayed acknowledgement.
    const int noDelay = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    auto entry = std::make_shared<AsyncSocket>();
    entry->fd = fd;
    Sockets()[static_cast<SOCKET>(fd)] = std::move(entry);
    return static_cast<SOCKET>(fd);
}

int setsockopt(SOCKET s, int level, int optname, const void* optval, int optlen) {
    AsyncSocket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    if (level != ws::SolSocket || optname != ws::SoLinger)
        return Fail(WSAENOPROTOOPT);
    if (optval == nullptr || optlen < static_cast<int>(sizeof(linger_w)))
        return Fail(WSAEINVAL);
    linger_w requested;
    std::memcpy(&requested, optval, sizeof requested);
    const ::linger value{requested.l_onoff != 0 ? 1 : 0, requested.l_linger};
    if (::setsockopt(socket->fd, SOL_SOCKET, SO_LINGER, &value, sizeof value) != 0) {
        return Fail(WinsockError(errno));
    }
    return 0;
}

int WSAAsyncSelect(SOCKET s, NotifyWindow* window, unsigned message, long events) {
    AsyncSocket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    const int flags = ::fcntl(socket->fd, F_GETFL);
    if (flags < 0 || ::fcntl(socket->fd, F_SETFL, flags | O_NONBLOCK) != 0) {
        return Fail(WinsockError(errno));
    }
    socket->window = window;
    socket->message = message;
    socket->events = events;
    CreateNotifiers(*socket);
    ArmRead(*socket);
    socket->writable->setEnabled(socket->connecting && (events & ws::FdConnect) != 0);
    return 0;
}

namespace {

// The common part of both address families' connect.
int ConnectNative(AsyncSocket& socket, const sockaddr* address, socklen_t length) {
    if (::connect(socket.fd, address, length) == 0) {
        ConnectCompleted(socket, 0);
        return 0;
    }
    const int error = errno;
    if (error == EINPROGRESS || error == EINTR) {
        socket.connecting = true;
        if (socket.writable)
            socket.writable->setEnabled((socket.events & ws::FdConnect) != 0);
        return Fail(WSAEWOULDBLOCK);
    }
    // A refusal is the connect's outcome, which a non-blocking connect reports as an event.
    if (error == ECONNREFUSED) {
        ConnectCompleted(socket, error);
        return Fail(WSAEWOULDBLOCK);
    }
    return Fail(WinsockError(error));
}

}  // namespace

int connect(SOCKET s, const sockaddr_in_w* name, int namelen) {
    AsyncSocket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    if (name == nullptr || namelen < static_cast<int>(sizeof(sockaddr_in_w))) {
        return Fail(WinsockError(EFAULT));
    }
    if (name->sin_family != ws::AfInet)
        return Fail(WSAEAFNOSUPPORT);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = name->sin_port;
    std::memcpy(&address.sin_addr, name->sin_addr, 4);
    return ConnectNative(*socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

int connect(SOCKET s, const sockaddr_in6_w* name, int namelen) {
    AsyncSocket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    if (name == nullptr || namelen < static_cast<int>(sizeof(sockaddr_in6_w))) {
        return Fail(WinsockError(EFAULT));
    }
    if (name->sin6_family != ws::AfInet6)
        return Fail(WSAEAFNOSUPPORT);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_port = name->sin6_port;
    address.sin6_flowinfo = name->sin6_flowinfo;
    address.sin6_scope_id = name->sin6_scope_id;
    std::memcpy(&address.sin6_addr, name->sin6_addr, 16);
    return ConnectNative(*socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
}

int send(SOCKET s, const char* buf, int len, int flags) {
    AsyncSocket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    if (socket->stickyError != 0)
        return Fail(WinsockError(socket->stickyError));
    if (len < 0 || flags != 0)
        return Fail(WSAEINVAL);
    if (socket->tls)
        return TlsSend(*socket, buf, len);
    const ssize_t n = ::send(socket->fd, buf, static_cast<size_t>(len), MSG_NOSIGNAL);
    if (n >= 0)
        return static_cast<int>(n);
    int error = errno;
    // Linux says EPIPE both for a socket never connected and for a connection gone.
    if (error == EPIPE)
        error = socket->connected ? ECONNRESET : ENOTCONN;
    if (IsReset(error))
        socket->stickyError = error;
    return Fail(WinsockError(error));
}

int recv(SOCKET s, char* buf, int len, int flags) {
    AsyncSocket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    if (socket->stickyError != 0)
        return Fail(WinsockError(socket->stickyError));
    if (len < 0 || (flags & ~ws::MsgPeek) != 0)
        return Fail(WSAEINVAL);
    if (socket->tls)
        return TlsRecv(*socket, buf, len, (flags & ws::MsgPeek) != 0);
    const int native = (flags & ws::MsgPeek) != 0 ? MSG_PEEK : 0;
    const ssize_t n = ::recv(socket->fd, buf, static_cast<size_t>(len), native);
    const int error = errno;
    ArmRead(*socket);
    if (n >= 0)
        return static_cast<int>(n);
    if (IsReset(error))
        socket->stickyError = error;
    return Fail(WinsockError(error));
}

int closesocket(SOCKET s) {
    auto it = Sockets().find(s);
    if (it == Sockets().end())
        return Fail(WSAENOTSOCK);
    const int fd = it->second->fd;
    if (it->second->tls)
        it->second->tls->Shutdown();
    Sockets().erase(it);  // the notifiers go before their descriptor
    if (::close(fd) != 0 && errno != EINTR)
        return Fail(WinsockError(errno));
    return 0;
}

int StartTls(SOCKET s, const TlsPeer& peer) {
    AsyncSocket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    if (!socket->connected || socket->closeReported)
        return Fail(WSAENOTCONN);
    if (socket->tls)
        return Fail(WSAEINVAL);
    socket->tls = TlsSession::Create(socket->fd, peer, socket->tlsStartError);
    return socket->tls ? 0 : Fail(WSAEINVAL);
}

int TlsHandshake(SOCKET s) {
    AsyncSocket* socket = Find(s);
    if (socket == nullptr)
        return Fail(WSAENOTSOCK);
    if (!socket->tls)
        return Fail(WSAENOTCONN);
    if (socket->stickyError != 0)
        return Fail(WinsockError(socket->stickyError));
    switch (socket->tls->Handshake()) {
        case TlsSession::Status::Done:
            ArmRead(*socket);
            return 0;
        case TlsSession::Status::WouldBlock:
            // The activation of what the handshake waits for wakes the waiter.
            if (socket->readable) {
                socket->readable->setEnabled(socket->tls->Wants() == TlsSession::Want::Read);
                socket->writable->setEnabled(socket->tls->Wants() == TlsSession::Want::Write);
            }
            return Fail(WSAEWOULDBLOCK);
        default:
            return Fail(WinsockError(TlsError(*socket)));
    }
}

namespace {

// Makes the socket's readiness for `what` wake the loop; false when there is nothing to wait
// for. A readable notifier that activates reports through OnReadable as always; a writable one
// only wakes the waiter.
bool ArmWait(AsyncSocket& socket, SocketWait what) {
    if (!socket.readable || !socket.connected || socket.stickyError != 0)
        return false;
    if (socket.tls) {
        if (socket.tls->Established() && socket.tls->HasPending())
            return false;
        if (socket.tls->Wants() == TlsSession::Want::Read)
            what = SocketWait::Readable;
        else if (socket.tls->Wants() == TlsSession::Want::Write)
            what = SocketWait::Writable;
    }
    if (what == SocketWait::Writable) {
        socket.writable->setEnabled(true);
        return true;
    }
    if (socket.closeReported)
        return false;
    socket.readable->setEnabled(true);
    return true;
}

}  // namespace

void WaitForSocket(SOCKET s, SocketWait what) {
    AsyncSocket* socket = Find(s);
    if (socket != nullptr && ArmWait(*socket, what)) {
        WaitForMessages();
        return;
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

TlsFailureInfo TlsFailure(SOCKET s) {
    const AsyncSocket* socket = Find(s);
    if (socket == nullptr)
        return {};
    if (!socket->tls)
        return {socket->tlsStartError, TlsVerifyFailure::None};
    return {socket->tls->FailureText(), socket->tls->VerifyFailure()};
}

uint32_t inet_addr(const char* cp) {
    in_addr address{};
    if (cp == nullptr || ::inet_aton(cp, &address) == 0)
        return ws::InaddrNone;
    return address.s_addr;
}

}  // namespace platform
