// TPowersock: host resolution, connecting, closing and the reaction to notifications.
#include <algorithm>
#include <cstring>
#include <exception>

#include "platform/HostLookup.h"
#include "sock/HiddenWindows.h"
#include "sock/Psock.h"

namespace {

uint16_t LowWord(intptr_t value) {
    return static_cast<uint16_t>(value & 0xFFFF);
}
uint16_t HighWord(intptr_t value) {
    return static_cast<uint16_t>((value >> 16) & 0xFFFF);
}

}  // namespace

void TPowersock::ResolveHost() {
    ReportStatus(8, "Resolve Host");
    // A name must fit the buffer whole: a zero byte would cut it short and resolve another name.
    if (Host.size() > static_cast<size_t>(kBufferSize) || Host.find('\0') != std::string::npos) {
        throw ESockError("Host Lookup Failed");
    }
    std::memcpy(ReceiveBuffer, Host.data(), Host.size());
    ReceiveBuffer[Host.size()] = '\0';
    RemoteAddresses.clear();
    platform::HostAddress literal;
    if (platform::ParseHostAddress(ReceiveBuffer, literal)) {
        KeepRemoteAddresses({literal});
        return;
    }
    TimerOn();
    LookupDone = false;
    LookupHandle = platform::WSAAsyncGetHostByName(WindowHandle, WM_LOOKUPDONE, ReceiveBuffer,
                                                   HostEntryBuffer, kHostEntrySize);
    if (LookupHandle == 0) {
        LookupDone = true;
        LastEventOk = false;
    }
    WaitUntil([this] { return LookupDone || TimedOut || Canceled; });
    TimerOff();
    CancelLookup();
    if (TimedOut)
        throw ESockError("Host Lookup Timed Out");
    if (Canceled)
        throw ESockError("Host Lookup Canceled");
    if (!LastEventOk)
        throw ESockError("Host Lookup Failed");
    platform::HostEntry entry;
    std::memcpy(&entry, HostEntryBuffer, sizeof entry);
    KeepRemoteAddresses(std::vector<platform::HostAddress>(
        entry.addresses,
        entry.addresses + std::min<int>(entry.addressCount, platform::kMaxHostAddresses)));
    Fire(OnHostResolved, this);
}

// A lookup whose wait ended without it must not report into a later one.
void TPowersock::CancelLookup() {
    if (LookupHandle != 0)
        platform::WSACancelAsyncRequest(LookupHandle);
    LookupHandle = 0;
}

void TPowersock::ResolveRemoteAddress() {
    int retries = 0;
    for (;;) {
        try {
            ResolveHost();
        } catch (const ESockError& e) {
            if (e.Message() == "Host Lookup Timed Out" || e.Message() == "Host Lookup Canceled") {
                throw;
            }
            RemoteAddresses.clear();
        }
        if (!RemoteAddresses.empty())
            return;
        if (retries > 0 || !OnInvalidHost)
            throw ESockError("Null Remote Address");
        bool handled = false;
        OnInvalidHost(handled);
        if (!handled)
            throw ESockError("Null Remote Address");
        ++retries;
    }
}

// Every address of the server in turn, under one time-out for them all, until one takes the
// connection.
void TPowersock::Connect() {
    ReportStatus(8, "Connecting");
    Canceled = false;
    if (IsConnected)
        throw ESockError("Already connected");
    ResolveRemoteAddress();
    TimerOn();
    try {
        for (size_t i = 0; i < RemoteAddresses.size(); ++i) {
            if (ConnectTo(RemoteAddresses[i], i == 0, i + 1 == RemoteAddresses.size()) ||
                TimedOut || Canceled) {
                break;
            }
        }
    } catch (...) {
        TimerOff();
        throw;
    }
    TimerOff();
    if (IsConnected && !TimedOut && !Canceled)
        return;
    Fire(OnConnectionFailed, this);
    if (TimedOut)
        throw ESockError("Connection Timed out");
    if (Canceled)
        throw ESockError("Connection Canceled");
    throw ESockError("Connection Failed");
}

// One attempt; false when this address did not take the connection. The socket made at the
// start serves the first attempt when its family fits; every other attempt gets a fresh one.
// A connect the socket library refuses at once raises its error on the last attempt.
bool TPowersock::ConnectTo(const platform::HostAddress& Address, bool FirstTry, bool LastTry) {
    if (!FirstTry || Address.family != SocketFamily) {
        platform::closesocket(SocketHandle);
        SocketHandle = 0xFFFF;
        if (!CreateSocket(0, Address.family) || !RegisterSocket())
            return false;
    }
    LookupDone = false;
    LastEventOk = true;
    CloseError = 0;
    const uint16_t port = platform::htons(static_cast<uint16_t>(Port & 0xFFFF));
    int result;
    if (Address.family == platform::ws::AfInet6) {
        platform::sockaddr_in6_w address{platform::ws::AfInet6, port, 0, {}, 0};
        std::memcpy(address.sin6_addr, Address.bytes, sizeof address.sin6_addr);
        result = platform::connect(SocketHandle, &address, sizeof address);
    } else {
        platform::sockaddr_in_w address{platform::ws::AfInet, port, {}, {}};
        std::memcpy(address.sin_addr, Address.bytes, sizeof address.sin_addr);
        result = platform::connect(SocketHandle, &address, sizeof address);
    }
    if (result == platform::SOCKET_ERROR) {
        LastError = platform::WSAGetLastError();
        if (LastError != platform::WSAEWOULDBLOCK && !LastTry)
            return false;
        std::string text;
        CheckSocketError(platform::WSAEWOULDBLOCK, text);
    }
    WaitUntil([this] { return IsConnected || TimedOut || Canceled || !LastEventOk; });
    return IsConnected;
}

// An all-zero address is no address to connect to.
void TPowersock::KeepRemoteAddresses(const std::vector<platform::HostAddress>& Addresses) {
    for (const platform::HostAddress& address : Addresses) {
        if (address != platform::HostAddress{address.family, {}})
            RemoteAddresses.push_back(address);
    }
}

void TPowersock::Disconnect() {
    ReportStatus(8, "Disconnecting");
    RequestCloseSocket();
}

void TPowersock::RequestCloseSocket() {
    ReportStatus(4, "Request Close Socket");
    IsConnected = false;
    if (SocketHandle == 0xFFFF)
        return;
    if (platform::closesocket(SocketHandle) == platform::SOCKET_ERROR) {
        std::string text;
        CheckSocketError(platform::WSAEWOULDBLOCK, text);
        return;
    }
    // The number may be handed to the next socket anyone opens: never keep it.
    SocketHandle = 0xFFFF;
    std::exception_ptr handlerError;
    if (!Destroying) {
        try {
            Fire(OnDisconnect, this);
        } catch (...) {
            handlerError = std::current_exception();
        }
    }
    if (!ShuttingDown)
        ReplaceSocket();
    if (handlerError)
        std::rethrow_exception(handlerError);
}

// The fresh socket closes gracefully: only the first one gets the zero linger.
void TPowersock::ReplaceSocket() {
    if (CreateSocket(0) && RegisterSocket())
        return;
    std::string text;
    CheckSocketError(platform::WSAEWOULDBLOCK, text);
}

void TPowersock::CheckConnection() {
    ReportStatus(8, "Checking Connection");
    bool asked = false;
    while (!IsConnected) {
        if (asked || !OnConnectionRequired)
            throw Exception("Not Connected");
        asked = true;
        bool handled = false;
        OnConnectionRequired(handled);
        if (!handled)
            throw Exception("Not Connected");
    }
}

bool TPowersock::DataAvailable() {
    ReportStatus(8, "Data Available");
    char scratch;
    return platform::recv(SocketHandle, &scratch, 1, platform::ws::MsgPeek) >= 1;
}

void TPowersock::HandleSocketMessage(unsigned Msg, uintptr_t, intptr_t LParam, intptr_t& Result) {
    Result = 0;
    try {
        const uint16_t error = HighWord(LParam);
        LastEventOk = error == 0;
        if (Msg == WM_LOOKUPDONE) {
            LookupDone = true;
            return;
        }
        if (Msg != WM_SOCKETEVENT)
            return;
        switch (LowWord(LParam)) {
            case platform::ws::FdConnect:
                if (LastEventOk) {
                    IsConnected = true;
                    Fire(OnConnect, this);
                }
                break;
            case platform::ws::FdClose:
                // Data still waiting keeps the socket open until it is read or Disconnect.
                CloseError = error;
                if (!DataAvailable())
                    RequestCloseSocket();
                break;
            default:
                break;
        }
    } catch (...) {
        // A notification has no caller to tell; the waiting operation sees the flags.
    }
}
