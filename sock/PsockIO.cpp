// TPowersock: sending and receiving text and streams over the established connection.
#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#include "platform/MessageLoop.h"
#include "platform/ScreenText.h"
#include "sock/Psock.h"

namespace {

// Disarms the time-out however the timed operation ends.
class TimerGuard {
  public:
    explicit TimerGuard(TPowersock& Socket) : socket_(Socket) { socket_.TimerOn(); }
    ~TimerGuard() { socket_.TimerOff(); }
    TimerGuard(const TimerGuard&) = delete;
    TimerGuard& operator=(const TimerGuard&) = delete;

  private:
    TPowersock& socket_;
};

int16_t ReplyNumber(const std::string& Reply) {
    std::string digits;
    for (char c : Reply) {
        if (c < '0' || c > '9' || digits.size() == 10)
            break;
        digits += c;
    }
    if (digits.empty())
        return 0;
    const long long value = std::stoll(digits);
    if (value > std::numeric_limits<int32_t>::max())
        return 0;
    if (value > std::numeric_limits<int16_t>::max())
        throw ERangeError("Range check error");
    return static_cast<int16_t>(value);
}

}  // namespace

void TPowersock::SendBuffer(const char* Buffer, uint16_t Length) {
    ReportStatus(4, "Sending Buffer");
    {
        TimerGuard timer(*this);
        if (!Canceled) {
            size_t length = Length;
            if (length == 0) {
                length = strnlen(Buffer, kBufferSize);
                if (length > 65535)
                    throw ERangeError("Range check error");
            }
            size_t sent = 0;
            while (sent < length && !Canceled) {
                const int n =
                    platform::send(SocketHandle, Buffer + sent, static_cast<int>(length - sent), 0);
                if (n == 0)
                    break;
                if (n > 0) {
                    sent += static_cast<size_t>(n);
                    continue;
                }
                std::string text;
                CheckSocketError(platform::WSAEWOULDBLOCK, text);
                // The socket takes nothing now: wait for room, the time-out or a cancel.
                platform::WaitForSocket(SocketHandle, platform::SocketWait::Writable);
            }
        }
    }
    if (Canceled) {
        Canceled = false;
        throw EAbortError("Socket send aborted");
    }
}

void TPowersock::Write(const std::string& Text) {
    ReportStatus(8, "Write");
    const size_t length = std::min(Text.size(), static_cast<size_t>(kBufferSize));
    std::memcpy(ReceiveBuffer, Text.data(), length);
    ReceiveBuffer[length] = '\0';
    // The copy may hold credentials: it does not outlive the write.
    struct Wipe {
        char* bytes;
        size_t length;
        ~Wipe() { explicit_bzero(bytes, length); }
    } wipe{ReceiveBuffer, length};
    SendBuffer(ReceiveBuffer, 0);
}

void TPowersock::Writeln(const std::string& Text) {
    ReportStatus(8, "Writeln");
    Write(Text + "\r\n");
}

std::string TPowersock::ReadLn() {
    ReportStatus(8, "ReadLn");
    TimerGuard timer(*this);
    return ReadLine();
}

int TPowersock::Receive(char* Buffer, int Length) {
    ReportStatus(8, "Receive");
    TimerGuard timer(*this);
    const bool wasConnected = IsConnected;
    while (!Canceled) {
        const int received = platform::recv(SocketHandle, Buffer, Length, 0);
        if (received >= 0)
            return received;
        LastError = platform::WSAGetLastError();
        if (LastError == platform::WSAENOTCONN) {
            ReadLnNotConnected(wasConnected);
            return 0;
        }
        std::string text;
        CheckSocketError(platform::WSAEWOULDBLOCK, text);
        platform::WaitForSocket(SocketHandle, platform::SocketWait::Readable);
    }
    Canceled = false;
    throw EAbortError("Socket receive aborted");
}

// Every line counts against the bounds of the reply before the next is read, so a server can
// neither grow the client's memory nor hold it past one time-out by adding lines.
std::vector<std::string> TPowersock::ReadReply() {
    ReportStatus(8, "ReadReply");
    TimerGuard timer(*this);
    std::vector<std::string> lines;
    size_t bytes = 0;
    do {
        if (lines.size() == kReplyMaxLines)
            throw ESockError("Reply too long");
        lines.push_back(ReadLine());
        bytes += lines.back().size();
        if (bytes > kReplyMaxBytes)
            throw ESockError("Reply too long");
    } while (IsContinuationLine(lines.back()));
    return lines;
}

// One line under the time-out its caller runs.
std::string TPowersock::ReadLine() {
    const bool wasConnected = IsConnected;
    std::string line;
    size_t taken = 0;
    const char* lineFeed = nullptr;
    bool notConnected = false;
    do {
        // The buffer holds one line at most; a longer one cannot be returned whole.
        if (taken == static_cast<size_t>(kBufferSize))
            throw ESockError("Line too long");
        char* room = ReceiveBuffer + taken;
        const int peeked = platform::recv(SocketHandle, room, static_cast<int>(kBufferSize - taken),
                                          platform::ws::MsgPeek);
        if (peeked == 0)
            return std::string();
        if (peeked > 0) {
            lineFeed =
                static_cast<const char*>(std::memchr(room, '\n', static_cast<size_t>(peeked)));
            if (lineFeed != nullptr)
                break;
            const int received = platform::recv(SocketHandle, room, peeked, 0);
            if (received > 0) {
                line.append(room, static_cast<size_t>(received));
                taken += static_cast<size_t>(received);
            }
        } else {
            LastError = platform::WSAGetLastError();
            if (LastError == platform::WSAENOTCONN) {
                notConnected = true;
                break;
            }
            std::string text;
            CheckSocketError(platform::WSAEWOULDBLOCK, text);
        }
        // Nothing complete yet: sleep until more data, the time-out or a user action.
        platform::WaitForSocket(SocketHandle, platform::SocketWait::Readable);
    } while (!Canceled);
    if (Canceled) {
        Canceled = false;
        throw EAbortError("Socket readln aborted");
    }
    if (notConnected)
        return ReadLnNotConnected(wasConnected);
    char* room = ReceiveBuffer + taken;
    const int rest = static_cast<int>(lineFeed - room) + 1;
    const int received = platform::recv(SocketHandle, room, rest, 0);
    if (received < 0) {
        std::string text;
        CheckSocketError(platform::WSAEWOULDBLOCK, text);
    }
    line.append(room, static_cast<size_t>(std::max(received, 0)));
    return line;
}

// The socket is not connected: either the connection ended while reading (the close
// notification replaced the socket), or there was none to read from.
std::string TPowersock::ReadLnNotConnected(bool WasConnected) {
    std::string text;
    if (!WasConnected) {
        LookupErrorMessage(platform::WSAENOTCONN, text);
        throw ESockError(text);
    }
    if (CloseError != 0) {
        LastError = CloseError;
        LookupErrorMessage(static_cast<uint16_t>(CloseError), text);
        throw ESockError(text);
    }
    return std::string();
}

std::string TPowersock::Transaction(const std::string& Command) {
    ReportStatus(8, "Transaction");
    Writeln(Command);
    return TakeReply();
}

std::string TPowersock::TakeReply(const std::function<void(std::string&)>& Scrub) {
    ReplyCode = 0;
    LastReplyLines.clear();
    std::vector<std::string> lines = ReadReply();
    const std::string first = lines.front();
    // The reply's text reaches status texts and messages: secrets out, then the server's
    // bytes as the program's text.
    for (std::string& line : lines) {
        if (Scrub)
            Scrub(line);
        line = platform::ServerText(line);
    }
    LastReplyLines = std::move(lines);
    // A reply cut short by a close keeps the lines that came.
    LastReply = LastReplyLines.back().empty() ? LastReplyLines.front() : LastReplyLines.back();
    if (!LastReply.empty()) {
        ReportStatus(1, LastReply);
        ReplyCode = ReplyNumber(first);
    }
    return LastReply;
}

bool IsContinuationLine(std::string_view Reply) {
    return !Reply.empty() && (Reply[0] == ' ' || (Reply.size() >= 4 && Reply[3] == '-'));
}

void TPowersock::SendStream(TStream& Stream) {
    ReportStatus(8, "SendStream");
    Stream.SetPosition(0);
    if (!Canceled) {
        const int64_t size = Stream.Size();
        if (size > std::numeric_limits<int32_t>::max())
            throw ERangeError("Range check error");
        SentBytes = 0;
        TotalBytes = static_cast<int32_t>(size);
        bool peerStopped = false;
        do {
            const int64_t chunk = Stream.Read(
                ReceiveBuffer, std::min<int64_t>(kBufferSize, size - Stream.Position()));
            if (chunk <= 0)
                break;
            SendChunk(ReceiveBuffer, chunk, peerStopped);
            if (peerStopped)
                return;
        } while (Stream.Position() != size && !Canceled);
    }
    if (Canceled) {
        Canceled = false;
        throw EAbortError("Socket send aborted");
    }
}

// One chunk of a stream. The time-out runs while the peer takes nothing and restarts with each
// part it takes, so a peer that stops reading ends the send instead of hanging it.
void TPowersock::SendChunk(const char* Data, int64_t Length, bool& PeerStopped) {
    TimerGuard timer(*this);
    int64_t sent = 0;
    while (sent < Length && !Canceled) {
        const int n = platform::send(SocketHandle, Data + sent, static_cast<int>(Length - sent), 0);
        if (n == 0) {
            PeerStopped = true;
            return;
        }
        if (n > 0) {
            sent += n;
            SentBytes += n;
            Fire(OnPacketSent, this);
            TimerOff();
            TimerOn();
            platform::ProcessMessages();
            continue;
        }
        std::string text;
        CheckSocketError(platform::WSAEWOULDBLOCK, text);
        platform::WaitForSocket(SocketHandle, platform::SocketWait::Writable);
    }
}

void TPowersock::ClearInput() {
    ReportStatus(8, "Clearing Input");
    auto scratch = std::make_unique<char[]>(kBufferSize);
    platform::recv(SocketHandle, scratch.get(), kBufferSize, 0);
}

std::string ExtractField(const std::string& S, char D, int N) {
    std::string field;
    int delimiters = 0;
    for (char c : S) {
        if (c == D) {
            if (++delimiters == N)
                break;
        } else if (delimiters == N - 1) {
            field += c;
        }
    }
    return field;
}
