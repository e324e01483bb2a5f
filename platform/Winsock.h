#pragma once
// The socket library as the socket component sees it: IPv4 and IPv6 TCP sockets made
// non-blocking by WSAAsyncSelect, whose events arrive as a numbered message to a hidden window
// on the GUI thread (wParam the socket, lParam the event in the low 16 bits and the error in the
// high 16 bits). Failures leave a 10000-range error number for WSAGetLastError.
//
// Events keep the desktop platform's edge semantics: FD_READ is not repeated until the
// program calls recv again; FD_CONNECT comes once; FD_CLOSE comes once, when the peer has
// closed (a peek finds the end of the stream) or reset the connection. After closesocket no
// message of that socket arrives, even one already queued.
#include <arpa/inet.h>

#include <bit>
#include <cstdint>
#include <string>

#include "platform/Tls.h"

// Optimised builds of the C library make htons a macro, which would rewrite the one below;
// the library's function stays available without it.
#undef htons

namespace platform {

class NotifyWindow;

using SOCKET = uintptr_t;
constexpr SOCKET INVALID_SOCKET = ~SOCKET{0};
constexpr int SOCKET_ERROR = -1;

// The desktop platform's constant values (several differ from Linux).
namespace ws {
constexpr int AfInet = 2;
constexpr int AfInet6 = 23;
constexpr int SockStream = 1;
constexpr int IpprotoTcp = 6;
constexpr int SolSocket = 0xFFFF;
constexpr int SoLinger = 0x80;
constexpr int MsgPeek = 2;
constexpr uint32_t InaddrNone = 0xFFFFFFFF;
constexpr long FdRead = 1;
constexpr long FdOob = 4;
constexpr long FdAccept = 8;
constexpr long FdConnect = 16;
constexpr long FdClose = 32;
}  // namespace ws

constexpr int WSAEINVAL = 10022;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAENOTCONN = 10057;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSATRY_AGAIN = 11002;
constexpr int WSANO_DATA = 11004;

struct WSADATA {
    uint16_t wVersion;
    uint16_t wHighVersion;
    char szDescription[257];
    char szSystemStatus[129];
    uint16_t iMaxSockets;
    uint16_t iMaxUdpDg;
};

// The 16-byte address record: family, port in network order, address, 8 zero bytes.
struct sockaddr_in_w {
    uint16_t sin_family;
    uint16_t sin_port;
    uint8_t sin_addr[4];
    uint8_t sin_zero[8];
};
static_assert(sizeof(sockaddr_in_w) == 16);

// The 28-byte IPv6 address record: family, port in network order, flow, address, scope.
struct sockaddr_in6_w {
    uint16_t sin6_family;
    uint16_t sin6_port;
    uint32_t sin6_flowinfo;
    uint8_t sin6_addr[16];
    uint32_t sin6_scope_id;
};
static_assert(sizeof(sockaddr_in6_w) == 28);

// One address of a host: ws::AfInet (the first 4 bytes, in network order) or ws::AfInet6.
struct HostAddress {
    int family = ws::AfInet;
    uint8_t bytes[16] = {};
    bool operator==(const HostAddress&) const = default;
};

struct linger_w {
    uint16_t l_onoff;
    uint16_t l_linger;
};

int WSAStartup(uint16_t versionRequested, WSADATA* data);
int WSACleanup();
int WSAGetLastError();
void WSASetLastError(int error);

SOCKET socket(int af, int type, int protocol);
int setsockopt(SOCKET s, int level, int optname, const void* optval, int optlen);
int WSAAsyncSelect(SOCKET s, NotifyWindow* window, unsigned message, long events);
int connect(SOCKET s, const sockaddr_in_w* name, int namelen);
int connect(SOCKET s, const sockaddr_in6_w* name, int namelen);
int send(SOCKET s, const char* buf, int len, int flags);
int recv(SOCKET s, char* buf, int len, int flags);
int closesocket(SOCKET s);

// TLS on a connected socket (after STARTTLS, or before the first byte). Once started, recv, send
// and the events go through it: decrypted bytes waiting inside the TLS layer are data waiting.
// StartTls prepares the session (0, or SOCKET_ERROR); TlsHandshake takes the handshake as far
// as it can go now: 0 when done, SOCKET_ERROR with WSAEWOULDBLOCK while it waits for the peer
// (a socket event wakes the waiter), any other error when it failed (see TlsFailure).
int StartTls(SOCKET s, const TlsPeer& peer);
int TlsHandshake(SOCKET s);
struct TlsFailureInfo {
    std::string text;
    TlsVerifyFailure verify = TlsVerifyFailure::None;
};
TlsFailureInfo TlsFailure(SOCKET s);

// What a waiting operation needs of its socket.
enum class SocketWait { Readable, Writable };

// Waits as WaitForMessages does, with the socket becoming ready for `what` (over TLS: for what
// the TLS layer needs next) among the events that end the wait. Only runs the pending events,
// without blocking, when there is nothing to wait for: decrypted bytes already waiting, or a
// connection that failed, closed or never was (the caller's next call tells which).
void WaitForSocket(SOCKET s, SocketWait what);

// A dotted address in network order (as its four bytes in memory), or InaddrNone.
uint32_t inet_addr(const char* cp);

constexpr uint16_t htons(uint16_t hostshort) {
    if constexpr (std::endian::native == std::endian::little) {
        return static_cast<uint16_t>((hostshort << 8) | (hostshort >> 8));
    } else {
        return hostshort;
    }
}

// A Linux errno as the 10000-range number the socket component reports.
int WinsockError(int error);

}  // namespace platform
