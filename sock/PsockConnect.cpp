// TPowersock: host resolution, connecting, closing and the reaction to notifications.
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

uint32_t TPowersock::RemoteAddressValue() const {
    platform::sockaddr_in_w address;
    std::memcpy(&address, RemoteAddress, sizeof address);
    uint32_t value;
    std::memcpy(&value, address.sin_addr, sizeof value);
    return value;
}

void TPowersock::SetRemoteAddress(uint32_t Address, uint16_t PortNumber) {
    platform::sockaddr_in_w address{};
    address.sin_family = platform::ws::AfInet;
    address.sin_port = PortNumber;
    std::memcpy(address.sin_addr, &Address, sizeof address.sin_addr);
    std::memcpy(RemoteAddress, &address, sizeof address);
}

void TPowersock::ResolveHost() {
    ReportStatus(8, "Resolve Host");
    // A name must fit the buffer whole: a zero byte would cut it short and resolve another name.
    if (Host.size() > static_cast<size_t>(kBufferSize) || Host.find('\0') != std::string::npos) {
        throw ESockError("Host Lookup Failed");
    }
    std::memcpy(ReceiveBuffer, Host.data(), Host.size());
    ReceiveBuffer[Host.size()] = '\0';
    const uint32_t address = platform::inet_addr(ReceiveBuffer);
    if (address != platform::ws::InaddrNone) {
        SetRemoteAddress(address, 0);
        return;
    }
    SetRemoteAddress(0, 0);
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
    uint32_t first;
    std::memcpy(&first, entry.firstAddress, sizeof first);
    SetRemoteAddress(first, 0);
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
            SetRemoteAddress(0, 0);
        }
        if (RemoteAddressValue() != 0)
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

void TPowersock::Connect() {
    ReportStatus(8, "Connecting");
    Canceled = false;
    if (IsConnected)
        throw ESockError("Already connected");
    ResolveRemoteAddress();
    SetRemoteAddress(RemoteAddressValue(), platform::htons(static_cast<uint16_t>(Port & 0xFFFF)));
    LookupDone = false;
    LastEventOk = true;
    CloseError = 0;
    platform::sockaddr_in_w address;
    std::memcpy(&address, RemoteAddress, sizeof address);
    if (platform::connect(SocketHandle, &address, sizeof address) == platform::SOCKET_ERROR) {
        std::string text;
        CheckSocketError(platform::WSAEWOULDBLOCK, text);
    }
    TimerOn();
    WaitUntil([this] { return IsConnected || TimedOut || Canceled || !LastEventOk; });
    TimerOff();
    if (!TimedOut && !Canceled && LastEventOk)
        return;
    Fire(OnConnectionFailed, this);
    if (TimedOut)
        throw ESockError("Connection Timed out");
    if (Canceled)
        throw ESockError("Connection Canceled");
    throw ESockError("Connection Failed");
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
