// libFuzzer target: bytes from the peer, arriving in arbitrary pieces (with would-block answers
// and resets), through ReadReply, Transaction, the reading of EHLO keywords and a whole session,
// plain or with STARTTLS, TLS and AUTH. The first byte picks the mode; the rest is the peer's
// script.
#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "jconvert/jconvert.h"
#include "platform/Exception.h"
#include "smtp/ZelEsmtp.h"
#include "smtp/Zelsmtp.h"
#include "tests/fuzz/FakeWinsock.h"
#include "tests/fuzz/FuzzApplication.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

void Prepare(TPowersock& socket) {
    socket.Host = "127.0.0.1";
    socket.Port = 25;
    socket.TimeOut = 2000;
}

// Every line ReadReply gives is one line of the stream, in order, with its line feed; only the
// last line of a reply is no continuation line, and no reply passes the bounds.
void ReadLines(const std::string& stream) {
    TPowersock socket(nullptr);
    Prepare(socket);
    std::string read;
    try {
        socket.Connect();
        for (int i = 0; i < 100000; ++i) {
            const std::vector<std::string> lines = socket.ReadReply();
            Require(lines.size() <= TPowersock::kReplyMaxLines);
            size_t bytes = 0;
            for (size_t n = 0; n < lines.size(); ++n) {
                const std::string& line = lines[n];
                Require(line.empty() || line.find('\n') == line.size() - 1);
                Require(IsContinuationLine(line) == (n + 1 < lines.size()));
                bytes += line.size();
                read += line;
            }
            Require(bytes <= TPowersock::kReplyMaxBytes);
            if (lines.back().empty())
                break;
        }
    } catch (const Exception&) {
        // A reset, a line or a reply too long: reported, not a crash.
    }
    Require(stream.compare(0, read.size(), read) == 0);
}

constexpr const char* kPassword = "fuzz-password";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Mode bits 2-3: the connection's protection; bit 4: AUTH. The password reaches neither a
// status text nor the wire before TLS, whatever the server says.
void RunSession(uint8_t mode, const std::string& stream) {
    TZelSMTP smtp(nullptr);
    Prepare(smtp);
    smtp.Security = static_cast<TSecurity>((mode >> 2) % 3);
    if ((mode & 16) != 0 && smtp.Security != secNone) {
        smtp.AuthUser = "user";
        smtp.AuthPassword = kPassword;
    }
    std::string statuses;
    smtp.ReportLevel = 8;
    smtp.OnStatus = [&statuses](TComponent*, const std::string& text) { statuses += text + "\n"; };
    smtp.UserID = "client.localhost";
    smtp.PostMessage.FromAddress = "from@localhost";
    smtp.PostMessage.ToAddress.Add("to@localhost");
    smtp.PostMessage.ToCarbonCopy.Add("Cc <cc@localhost>");
    smtp.PostMessage.Body.Add("body");
    try {
        smtp.Connect();
        smtp.Send();
        smtp.Disconnect();
    } catch (const Exception& e) {
        // Every refusal of the peer ends as the program's own exception.
        statuses += e.Message();
    }
    const std::string secrets[] = {kPassword, AuthPlainResponse("user", kPassword),
                                   AuthLoginResponse(kPassword)};
    for (const std::string& secret : secrets) {
        // What the server says itself may come back in a status.
        Require(!Contains(statuses, secret) || Contains(stream, secret));
        Require(!Contains(fakesock::Sent().substr(0, fakesock::SentBeforeTls()), secret));
    }
}

// The keywords of any reply lines; the mechanism chosen is one offered.
void ReadKeywords(const std::string& stream) {
    std::vector<std::string> lines;
    for (size_t start = 0; start < stream.size();) {
        const size_t end = std::min(stream.find('\n', start), stream.size());
        lines.push_back(stream.substr(start, end + 1 - start));
        start = end + 1;
    }
    const TEhloKeywords offered = ParseEhloReply(lines);
    const std::string chosen = ChooseAuthMechanism(offered);
    Require(chosen.empty() || offered.AuthMechanisms.contains(chosen));
}

std::string Stream(const std::vector<fakesock::Arrival>& arrivals) {
    std::string stream;
    for (const auto& arrival : arrivals)
        stream += arrival.bytes;
    return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    StartFuzzApplication();
    // Bit 0: a session (else ReadLn alone, or with bit 1 the EHLO keywords); bits 0, 1 and 5
    // together: the connection is refused.
    const uint8_t mode = data[0];
    const auto arrivals = fakesock::ParseArrivals(
        std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    fakesock::SetPeer(arrivals, (mode & 0x23) == 0x23);
    if ((mode & 1) != 0) {
        RunSession(mode, Stream(arrivals));
    } else if ((mode & 2) == 0) {
        ReadLines(Stream(arrivals));
    } else {
        ReadKeywords(Stream(arrivals));
    }
    // Nothing stays open once the component is gone.
    Require(fakesock::OpenSockets() == 0);
    QCoreApplication::processEvents();
    return 0;
}
