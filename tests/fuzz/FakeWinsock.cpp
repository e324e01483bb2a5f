#include "tests/fuzz/FakeWinsock.h"

#include <arpa/inet.h>

#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <cstring>
#include <deque>
#include <map>

#include "platform/MessageWait.h"
#include "platform/NotifyWindow.h"
#include "platform/Winsock.h"

namespace fakesock {
namespace {

constexpr int kReset = 10054;
constexpr int kRefused = 10061;

struct Socket {
    QPointer<platform::NotifyWindow> window;
    unsigned message = 0;
    long events = 0;
    bool connected = false;
    bool closeReported = false;
    int stickyError = 0;
    unsigned generation = 0;
};

struct State {
    std::map<platform::SOCKET, Socket> sockets;
    unsigned generations = 0;  // a late message of a closed socket must not reach its successor
    std::deque<Arrival> arrivals;
    std::string available;
    bool refuse = false;
    std::string sent;
    size_t sentBeforeTls = std::string::npos;
    int connects = 0;
    int startups = 0;
    int lastError = 0;
};

State& S() {
    static State state;
    return state;
}

int Fail(int error) {
    S().lastError = error;
    return platform::SOCKET_ERROR;
}

// Delivered later on the GUI thread, and only while the socket is still open.
void Post(platform::SOCKET s, long event, int error) {
    Socket& socket = S().sockets[s];
    if (!socket.window || (socket.events & event) == 0)
        return;
    const auto lParam =
        static_cast<intptr_t>((static_cast<uint32_t>(error) << 16) | static_cast<uint32_t>(event));
    QPointer<platform::NotifyWindow> window = socket.window;
    const unsigned message = socket.message;
    const unsigned generation = socket.generation;
    QMetaObject::invokeMethod(
        window.data(),
        [=] {
            const auto it = S().sockets.find(s);
            if (window && it != S().sockets.end() && it->second.generation == generation)
                platform::SendMessage(window, message, s, lParam);
        },
        Qt::QueuedConnection);
}

void ReportClose(platform::SOCKET s, Socket& socket, int error) {
    if (socket.closeReported)
        return;
    socket.closeReported = true;
    Post(s, platform::ws::FdClose, error);
}

// Moves the next arrival into the receive buffer; false (with the error set) when there is
// nothing to hand out now.
bool Refill(platform::SOCKET s, Socket& socket, int& result) {
    State& state = S();
    while (state.available.empty()) {
        if (state.arrivals.empty()) {
            ReportClose(s, socket, 0);
            result = 0;
            return false;
        }
        Arrival next = std::move(state.arrivals.front());
        state.arrivals.pop_front();
        if (next.kind == Arrival::Reset) {
            socket.stickyError = kReset;
            ReportClose(s, socket, kReset);
            result = Fail(kReset);
            return false;
        }
        if (next.kind == Arrival::WouldBlock) {
            Post(s, platform::ws::FdRead, 0);
            result = Fail(platform::WSAEWOULDBLOCK);
            return false;
        }
        state.available += next.bytes;
    }
    return true;
}

}  // namespace

void SetPeer(std::vector<Arrival> arrivals, bool refuse) {
    State& state = S();
    state.arrivals.assign(std::make_move_iterator(arrivals.begin()),
                          std::make_move_iterator(arrivals.end()));
    state.available.clear();
    state.refuse = refuse;
    state.sent.clear();
    state.sentBeforeTls = std::string::npos;
    state.connects = 0;
}

// Enough for a reply past every bound of the reader, little enough to keep runs fast.
constexpr size_t kMaxRepeated = 256 * 1024;

std::vector<Arrival> ParseArrivals(std::string_view data) {
    std::vector<Arrival> arrivals;
    size_t at = 0;
    size_t repeated = 0;
    while (at < data.size()) {
        const auto b = static_cast<unsigned char>(data[at++]);
        if (b == 0xFF) {
            arrivals.push_back({Arrival::Reset, {}});
        } else if (b == 0xFE) {
            arrivals.push_back({Arrival::WouldBlock, {}});
        } else if (b == 0xFD && at + 2 < data.size()) {
            const size_t times = 1 + static_cast<unsigned char>(data[at]) * 4u;
            const size_t length = static_cast<unsigned char>(data[at + 1]) % 64 + 1;
            const std::string_view piece = data.substr(at + 2, length);
            // One arrival: handing the bytes out in small pieces would only slow the runs.
            Arrival run{Arrival::Data, {}};
            for (size_t i = 0; i < times && repeated < kMaxRepeated; ++i, repeated += piece.size())
                run.bytes += piece;
            arrivals.push_back(std::move(run));
            at += 2 + piece.size();
        } else {
            const size_t length = std::min<size_t>(b % 64 + 1, data.size() - at);
            arrivals.push_back({Arrival::Data, std::string(data.substr(at, length))});
            at += length;
        }
    }
    return arrivals;
}

const std::string& Sent() {
    return S().sent;
}

size_t SentBeforeTls() {
    return std::min(S().sentBeforeTls, S().sent.size());
}

int Connects() {
    return S().connects;
}

int OpenSockets() {
    return static_cast<int>(S().sockets.size());
}

}  // namespace fakesock

namespace platform {

using fakesock::Fail;
using fakesock::S;

int WSAStartup(uint16_t, WSADATA* data) {
    ++S().startups;
    *data = WSADATA{};
    data->wVersion = 0x0101;
    data->wHighVersion = 0x0101;
    data->iMaxSockets = 1024;
    return 0;
}

int WSACleanup() {
    if (S().startups == 0)
        return Fail(WSANOTINITIALISED);
    --S().startups;
    return 0;
}

int WSAGetLastError() {
    return S().lastError;
}

void WSASetLastError(int error) {
    S().lastError = error;
}

// The lowest free number, as descriptors are handed out.
SOCKET socket(int, int, int) {
    SOCKET s = 3;
    while (S().sockets.contains(s))
        ++s;
    S().sockets[s].generation = ++S().generations;
    return s;
}

int setsockopt(SOCKET s, int, int, const void*, int) {
    return S().sockets.contains(s) ? 0 : Fail(WSAENOTSOCK);
}

int WSAAsyncSelect(SOCKET s, NotifyWindow* window, unsigned message, long events) {
    auto it = S().sockets.find(s);
    if (it == S().sockets.end())
        return Fail(WSAENOTSOCK);
    it->second.window = window;
    it->second.message = message;
    it->second.events = events;
    return 0;
}

int connect(SOCKET s, const sockaddr_in6_w*, int) {
    return connect(s, static_cast<const sockaddr_in_w*>(nullptr), 0);
}

int connect(SOCKET s, const sockaddr_in_w*, int) {
    auto it = S().sockets.find(s);
    if (it == S().sockets.end())
        return Fail(WSAENOTSOCK);
    ++S().connects;
    it->second.connected = !S().refuse;
    fakesock::Post(s, ws::FdConnect, S().refuse ? fakesock::kRefused : 0);
    return Fail(WSAEWOULDBLOCK);
}

int send(SOCKET s, const char* buf, int len, int) {
    auto it = S().sockets.find(s);
    if (it == S().sockets.end())
        return Fail(WSAENOTSOCK);
    if (it->second.stickyError != 0)
        return Fail(it->second.stickyError);
    if (!it->second.connected)
        return Fail(WSAENOTCONN);
    S().sent.append(buf, static_cast<size_t>(len));
    return len;
}

int recv(SOCKET s, char* buf, int len, int flags) {
    auto it = S().sockets.find(s);
    if (it == S().sockets.end())
        return Fail(WSAENOTSOCK);
    fakesock::Socket& socket = it->second;
    if (socket.stickyError != 0)
        return Fail(socket.stickyError);
    if (!socket.connected)
        return Fail(WSAENOTCONN);
    int result = 0;
    if (!fakesock::Refill(s, socket, result))
        return result;
    std::string& available = S().available;
    const size_t n = std::min(available.size(), static_cast<size_t>(std::max(len, 0)));
    std::memcpy(buf, available.data(), n);
    if ((flags & ws::MsgPeek) == 0) {
        available.erase(0, n);
        fakesock::Post(s, ws::FdRead, 0);
    }
    return static_cast<int>(n);
}

int closesocket(SOCKET s) {
    return S().sockets.erase(s) == 1 ? 0 : Fail(WSAENOTSOCK);
}

uint32_t inet_addr(const char* cp) {
    in_addr address{};
    if (cp == nullptr || ::inet_aton(cp, &address) == 0)
        return ws::InaddrNone;
    return address.s_addr;
}

int StartTls(SOCKET s, const TlsPeer&) {
    if (!S().sockets.contains(s))
        return Fail(WSAENOTSOCK);
    S().sentBeforeTls = std::min(S().sentBeforeTls, S().sent.size());
    return 0;
}

int TlsHandshake(SOCKET s) {
    return S().sockets.contains(s) ? 0 : Fail(WSAENOTSOCK);
}

// The fake peer's next arrival is already there: waiting is only running what was posted.
void WaitForSocket(SOCKET, SocketWait) {
    WaitForMessages();
}

TlsFailureInfo TlsFailure(SOCKET) {
    return {};
}

int WinsockError(int error) {
    return 10000 + error;
}

}  // namespace platform
