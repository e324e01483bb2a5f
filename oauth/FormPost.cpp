#include "oauth/FormPost.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

#include "platform/Secret.h"
#include "sock/Psock.h"

namespace {

using Clock = std::chrono::steady_clock;

// What one write or one read moves at most.
constexpr size_t kPiece = 16384;

// The socket of one exchange. ReadLn peeks past the headers into the body (the tokens), so its
// buffer is wiped when the exchange ends.
class TExchangeSocket : public TPowersock {
  public:
    TExchangeSocket() : TPowersock(nullptr) {}
    ~TExchangeSocket() override { explicit_bzero(ReceiveBuffer, sizeof ReceiveBuffer); }
};

// Room for Extra more bytes in To; the copy growing leaves behind is wiped.
void Reserve(std::string& To, size_t Extra) {
    if (To.capacity() - To.size() >= Extra)
        return;
    std::string grown;
    grown.reserve(std::max(To.size() + Extra, 2 * To.capacity()));
    grown.append(To);
    platform::WipeSecret(To);
    To = std::move(grown);
}

void TrimLineEnd(std::string& Line) {
    while (!Line.empty() && (Line.back() == '\n' || Line.back() == '\r'))
        Line.pop_back();
}

std::string Lowered(std::string Text) {
    for (char& c : Text)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    return Text;
}

std::string Trimmed(const std::string& Text) {
    const size_t first = Text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return Text.substr(first, Text.find_last_not_of(" \t") - first + 1);
}

// Reads the answer under one deadline and one allowance of bytes for all of it.
class TAnswerReader {
  public:
    TAnswerReader(TPowersock& Socket, Clock::time_point Deadline, size_t Longest)
        : socket_(Socket), deadline_(Deadline), left_(Longest) {}

    // The next socket operation may take what is left of the exchange's time.
    void Arm() {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
        if (left.count() <= 0)
            throw EFormPostError("timed out");
        socket_.TimeOut = static_cast<int32_t>(
            std::min<int64_t>(left.count(), std::numeric_limits<int32_t>::max()));
    }

    void Take(size_t Bytes) {
        if (Bytes > left_)
            throw EFormPostError("answer too long");
        left_ -= Bytes;
    }

    // One line with its line end; the peer closing first is a failure.
    std::string Line() {
        std::string line = LineOrClose();
        if (line.empty())
            throw EFormPostError("connection closed before the whole answer");
        return line;
    }

    // One line with its line end, or "" when the peer closed first.
    std::string LineOrClose() {
        Arm();
        std::string line = socket_.ReadLn();
        Take(line.size());
        return line;
    }

    // Exactly Count bytes appended to To.
    void Exactly(std::string& To, size_t Count) {
        Take(Count);
        if (Some(To, Count) != Count)
            throw EFormPostError("connection closed before the whole answer");
    }

    // Everything up to the peer's close appended to To.
    void UntilClose(std::string& To) {
        while (const size_t got = Some(To, left_ + 1))
            Take(got);
    }

  private:
    // Up to Count bytes appended to To; fewer only when the peer closed.
    size_t Some(std::string& To, size_t Count) {
        size_t got = 0;
        while (got < Count) {
            const size_t want = std::min(Count - got, kPiece);
            Reserve(To, want);
            const size_t start = To.size();
            To.resize(start + want);
            Arm();
            const int n = socket_.Receive(To.data() + start, static_cast<int>(want));
            To.resize(start + static_cast<size_t>(std::max(n, 0)));
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        return got;
    }

    TPowersock& socket_;
    Clock::time_point deadline_;
    size_t left_;
};

// "HTTP/1.x NNN reason": the number.
int StatusOf(const std::string& Line) {
    const bool fits =
        Line.size() >= 12 && Line.starts_with("HTTP/1.") && Line[8] == ' ' &&
        std::all_of(Line.begin() + 9, Line.begin() + 12,
                    [](char c) { return c >= '0' && c <= '9'; }) &&
        (Line.size() == 12 || Line[12] == ' ' || Line[12] == '\r' || Line[12] == '\n');
    if (!fits)
        throw EFormPostError("no HTTP answer");
    return std::stoi(Line.substr(9, 3));
}

// A length past the allowance needs no exact value: it is refused either way.
size_t LengthOf(const std::string& Value) {
    if (Value.empty() ||
        !std::all_of(Value.begin(), Value.end(), [](char c) { return c >= '0' && c <= '9'; }))
        throw EFormPostError("malformed answer length");
    if (Value.size() > 12)
        return std::numeric_limits<size_t>::max();
    return std::stoull(Value);
}

size_t ChunkSizeOf(std::string Line) {
    TrimLineEnd(Line);
    const std::string digits = Trimmed(Line.substr(0, Line.find(';')));
    if (digits.empty() || digits.size() > 12 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        throw EFormPostError("malformed chunk");
    return std::stoull(digits, nullptr, 16);
}

struct THead {
    int Status = 0;
    std::optional<size_t> Length;
    bool Chunked = false;
};

// The status line and headers of the final answer; interim (1xx) answers are passed over.
THead ReadHead(TAnswerReader& Reader) {
    for (;;) {
        THead head;
        head.Status = StatusOf(Reader.Line());
        for (;;) {
            std::string line = Reader.Line();
            TrimLineEnd(line);
            if (line.empty())
                break;
            const size_t colon = line.find(':');
            if (colon == std::string::npos)
                continue;
            const std::string name = Lowered(Trimmed(line.substr(0, colon)));
            const std::string value = Lowered(Trimmed(line.substr(colon + 1)));
            if (name == "content-length") {
                const size_t length = LengthOf(value);
                if (head.Length && *head.Length != length)
                    throw EFormPostError("malformed answer length");
                head.Length = length;
            } else if (name == "transfer-encoding") {
                head.Chunked = value.ends_with("chunked");
            }
        }
        if (head.Status / 100 != 1)
            return head;
    }
}

std::string ReadBody(TAnswerReader& Reader, const THead& Head) {
    std::string body;
    if (Head.Status == 204 || Head.Status == 304)
        return body;
    try {
        if (Head.Chunked) {
            while (const size_t size = ChunkSizeOf(Reader.Line())) {
                Reader.Exactly(body, size);
                std::string end = Reader.Line();
                TrimLineEnd(end);
                if (!end.empty())
                    throw EFormPostError("malformed chunk");
            }
            // Trailer fields up to the empty line; a peer that closes instead sent it all.
            std::string line;
            do {
                line = Reader.LineOrClose();
                TrimLineEnd(line);
            } while (!line.empty());
        } else if (Head.Length) {
            Reader.Exactly(body, *Head.Length);
        } else {
            Reader.UntilClose(body);
        }
    } catch (...) {
        platform::WipeSecret(body);
        throw;
    }
    return body;
}

std::string RequestHead(const QUrl& Url, bool Secure, size_t Length) {
    std::string target = Url.path(QUrl::FullyEncoded).toStdString();
    if (target.empty())
        target = "/";
    if (Url.hasQuery())
        target += "?" + Url.query(QUrl::FullyEncoded).toStdString();
    std::string host = Url.host(QUrl::FullyEncoded).toStdString();
    if (host.find(':') != std::string::npos)
        host = "[" + host + "]";
    if (Url.port() != -1 && Url.port() != (Secure ? 443 : 80))
        host += ":" + std::to_string(Url.port());
    return "POST " + target + " HTTP/1.1\r\nHost: " + host +
           "\r\nContent-Type: application/x-www-form-urlencoded\r\nAccept: application/json\r\n"
           "Content-Length: " +
           std::to_string(Length) + "\r\nConnection: close\r\n\r\n";
}

}  // namespace

THttpAnswer PostForm(const QUrl& Url, const std::string& Body, const TFormPostLimits& Limits) {
    const Clock::time_point deadline = Clock::now() + Limits.TimeOut;
    const bool secure = Url.scheme() == "https";
    TExchangeSocket socket;
    socket.Host = Url.host(QUrl::FullyEncoded).toStdString();
    socket.Port = Url.port(secure ? 443 : 80);
    socket.CAFile = Limits.CAFile;
    TAnswerReader reader(socket, deadline, Limits.LongestAnswer);
    std::string request = RequestHead(Url, secure, Body.size());
    Reserve(request, Body.size());
    request += Body;
    platform::SecretScope wipeRequest(request);
    try {
        reader.Arm();
        socket.Connect();
        if (secure) {
            reader.Arm();
            socket.StartTls();
        }
        for (size_t at = 0; at < request.size(); at += kPiece) {
            reader.Arm();
            socket.SendBuffer(request.data() + at,
                              static_cast<uint16_t>(std::min(kPiece, request.size() - at)));
        }
        const THead head = ReadHead(reader);
        return THttpAnswer{head.Status, ReadBody(reader, head)};
    } catch (const EFormPostError&) {
        throw;
    } catch (const Exception& e) {
        // The socket's own failures (refused, reset, TLS, its time-out) as this exchange's.
        throw EFormPostError(socket.TimedOut ? "timed out" : e.Message());
    }
}
