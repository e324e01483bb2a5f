#include "sock/Psock.h"

#include <array>
#include <cstring>
#include <utility>

#include "platform/HostLookup.h"
#include "platform/MessageWait.h"
#include "sock/HiddenWindows.h"

int TPowersock::WinsockUsers = 0;

namespace {

struct ErrorText {
    uint16_t number;
    const char* text;
};

constexpr std::array<ErrorText, 50> kErrorTexts = {{
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Wrong protocol type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection or reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references, can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to Host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unavailable"},
    {10092, "Incompatible version of WINSOCK.DLL"},
    {10093, "Successful WSAStartup not yet performed"},
    {11001, "Host not found"},
    {11002, "Non-Authoritative Host not found"},
    {11003, "Non-Recoverable error: FORMERR, REFUSED, NOTIMP"},
    {11004, "Valid name, no data record of requested type"},
}};

std::string VersionText(uint16_t version) {
    return std::to_string(version & 0xFF) + "." + std::to_string(version >> 8);
}

}  // namespace

// ---- TThreadTimer ----

TThreadTimer::TThreadTimer(QObject* AOwner) : QObject(AOwner) {
    WindowHandle = CreateTimerWindow(this);
}

TThreadTimer::~TThreadTimer() {
    FEnabled = false;
    platform::KillTimer(WindowHandle, 1);
    platform::DestroyWindow(WindowHandle);
}

void TThreadTimer::SetEnabled(bool value) {
    if (value == FEnabled)
        return;
    FEnabled = value;
    UpdateTimer();
}

void TThreadTimer::SetInterval(uint32_t value) {
    if (value == FInterval)
        return;
    FInterval = value;
    UpdateTimer();
}

void TThreadTimer::SetOnTimer(TNotifyEvent value) {
    FOnTimer = std::move(value);
    UpdateTimer();
}

void TThreadTimer::UpdateTimer() {
    platform::KillTimer(WindowHandle, 1);
    if (FInterval == 0 || !FEnabled || !FOnTimer)
        return;
    if (!platform::SetTimer(WindowHandle, 1, FInterval))
        throw Exception("No Timer");
}

void TThreadTimer::DoTimer() {
    Fire(FOnTimer, this);
}

// ---- TPowersock: life cycle ----

TPowersock::TPowersock(QObject* AOwner) : QObject(AOwner) {
    ReportStatus(8, "Create");
    WindowHandle = CreateSocketWindow(this);
    HostEntryBuffer = new char[kHostEntrySize]();
    TimeOutTimer = new TThreadTimer(this);
    TimeOutTimer->SetEnabled(false);
    TimeOutTimer->SetOnTimer([this](TObject* Sender) { TimerTriggered(Sender); });
    try {
        InitializeWinsock();
    } catch (...) {
        ReleaseResources();
        throw;
    }
}

TPowersock::~TPowersock() {
    Destroying = true;
    ReportStatus(8, "Destroy");
    Abort();
    Cancel();
    ReleaseResources();
    ShuttingDown = true;
    try {
        RequestCloseSocket();
    } catch (const Exception&) {
        // Nothing is left to tell about a socket that will not close.
    }
    ReleaseWinsock();
}

void TPowersock::ReleaseResources() {
    CancelLookup();
    delete TimeOutTimer;
    TimeOutTimer = nullptr;
    delete[] HostEntryBuffer;
    HostEntryBuffer = nullptr;
    platform::DestroyWindow(WindowHandle);
    WindowHandle = nullptr;
}

void TPowersock::InitializeWinsock() {
    ReportStatus(8, "Initializing Winsock");
    if (++WinsockUsers == 1) {
        platform::WSAStartup(0x0101, &WinsockData);
        FillWinsockInfo();
    }
    // Linger on with time 0: closing discards unsent data and resets the connection at once.
    const platform::linger_w abortive{1, 0};
    if (CreateSocket(platform::ws::IpprotoTcp) &&
        platform::setsockopt(SocketHandle, platform::ws::SolSocket, platform::ws::SoLinger,
                             &abortive, sizeof abortive) == 0 &&
        RegisterSocket()) {
        return;
    }
    LastError = platform::WSAGetLastError();
    if (SocketHandle != 0xFFFF)
        platform::closesocket(SocketHandle);
    SocketHandle = 0xFFFF;
    ReleaseWinsock();
    throw ESockError("Initializaton of windows sockets failed");
}

void TPowersock::FillWinsockInfo() {
    WinsockInfo.Add("Version= " + VersionText(WinsockData.wVersion));
    WinsockInfo.Add("High Version= " + VersionText(WinsockData.wHighVersion));
    WinsockInfo.Add(std::string("Description= ") + WinsockData.szDescription);
    WinsockInfo.Add(std::string("System= ") + WinsockData.szSystemStatus);
    WinsockInfo.Add("Max Sockets= " + std::to_string(WinsockData.iMaxSockets));
    WinsockInfo.Add("Max Udp pack size= " + std::to_string(WinsockData.iMaxUdpDg));
}

void TPowersock::ReleaseWinsock() {
    if (--WinsockUsers == 0)
        platform::WSACleanup();
}

// A handle that does not fit the 16-bit field is no socket to this component.
bool TPowersock::CreateSocket(int Protocol, int Family) {
    const platform::SOCKET s = platform::socket(Family, platform::ws::SockStream, Protocol);
    if (s == platform::INVALID_SOCKET)
        return false;
    if (s >= 0xFFFF) {
        platform::closesocket(s);
        return false;
    }
    SocketHandle = static_cast<uint16_t>(s);
    SocketFamily = Family;
    return true;
}

bool TPowersock::RegisterSocket() {
    constexpr long kEvents = platform::ws::FdRead | platform::ws::FdOob | platform::ws::FdAccept |
                             platform::ws::FdConnect | platform::ws::FdClose;
    return platform::WSAAsyncSelect(SocketHandle, WindowHandle, WM_SOCKETEVENT, kEvents) == 0;
}

// ---- status and errors ----

void TPowersock::ReportStatus(uint8_t Level, const std::string& Text) {
    if (Level > ReportLevel)
        return;
    try {
        LastStatus = Text;
        if (!Destroying)
            Fire(OnStatus, this, LastStatus);
    } catch (...) {
        // A status handler must not break the operation it reports on.
    }
}

void TPowersock::CheckSocketError(uint16_t Ignore, std::string& Text) {
    LastError = platform::WSAGetLastError();
    if (LastError != Ignore && LastError > 10000) {
        LookupErrorMessage(static_cast<uint16_t>(LastError), Text);
        throw ESockError(Text);
    }
    Text.clear();
}

void TPowersock::LookupErrorMessage(uint16_t Error, std::string& Text) {
    ReportStatus(8, "Looking Up Error Message" + Text);
    Text.clear();
    if (Error != 0) {
        for (const ErrorText& entry : kErrorTexts) {
            if (entry.number == Error) {
                Text = std::to_string(Error) + ":" + entry.text;
                return;
            }
        }
    }
    Text = "Unknown Error No. " + std::to_string(Error);
}

// ---- time-outs ----

void TPowersock::TimerOn() {
    ReportStatus(8, "Timer On");
    TimedOut = false;
    if (TimeOut < 0)
        throw ERangeError("Range check error");
    TimeOutTimer->SetInterval(static_cast<uint32_t>(TimeOut));
    TimeOutTimer->SetEnabled(true);
}

void TPowersock::TimerOff() {
    ReportStatus(8, "Timer Off");
    TimeOutTimer->SetEnabled(false);
}

void TPowersock::TimerTriggered(TObject*) {
    ReportStatus(8, "Timer Triggered");
    TimerOff();
    TimedOut = true;
    LookupDone = true;
    Abort();
}

// ---- cancellation ----

void TPowersock::Abort() {
    ReportStatus(8, "Abort");
    Cancel();
}

void TPowersock::Cancel() {
    ReportStatus(8, "Canceling");
    Canceled = true;
}

// Nothing in the program listens for connections; a call is refused rather than ignored.
void TPowersock::Accept() {
    throw ESockError("Accept not supported");
}

// Sleeps until events arrive (the connect's outcome, the lookup's answer, the time-out, a user
// action) and tests again. The wait has no step of its own, so an outcome known before it (a
// lookup that failed at once) must end it before it starts.
void TPowersock::WaitUntil(const std::function<bool()>& Done) {
    while (!Done())
        platform::WaitForMessages();
}
