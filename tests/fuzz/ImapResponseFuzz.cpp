// libFuzzer target: bytes from an IMAP server, arriving in arbitrary pieces, through the readers
// of its lines (status lines, literals, capabilities, LIST responses) and through a whole session
// that keeps a copy in the Sent mailbox. The first byte picks the mode; the rest is the server's
// script.
#include <QCoreApplication>
#include <cstdint>
#include <string>
#include <string_view>

#include "imap/ImapClient.h"
#include "jconvert/jconvert.h"
#include "tests/fuzz/FakeWinsock.h"
#include "tests/fuzz/FuzzApplication.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

constexpr const char* kPassword = "fuzz-password";

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Bit 1: STARTTLS instead of TLS from the first byte; bit 2: a named mailbox. The password
// reaches neither a status text nor the wire before TLS, whatever the server says.
void RunSession(uint8_t mode, const std::string& stream) {
    TImapClient imap(nullptr);
    imap.Host = "127.0.0.1";
    imap.Port = 993;
    imap.TimeOut = 2000;
    imap.Security = (mode & 2) != 0 ? imapStartTls : imapTls;
    imap.User = "user";
    imap.Password = kPassword;
    imap.MaxResponseLines = 50;
    imap.MaxResponseBytes = 4096;
    std::string statuses;
    imap.ReportLevel = 8;
    imap.OnStatus = [&statuses](TComponent*, const std::string& text) { statuses += text + "\n"; };
    try {
        imap.Connect();
        imap.SaveSentCopy((mode & 4) != 0 ? "Sent" : "", "Subject: fuzz\r\n\r\nbody\r\n");
        imap.Disconnect();
    } catch (const Exception& e) {
        // Every refusal of the server ends as the program's own exception.
        statuses += e.Message();
    }
    const std::string secrets[] = {kPassword, Base64Encode(std::string("\0user\0", 6) + kPassword),
                                   Base64Encode(kPassword)};
    for (const std::string& secret : secrets) {
        Require(!Contains(statuses, secret) || Contains(stream, secret));
        Require(!Contains(fakesock::Sent().substr(0, fakesock::SentBeforeTls()), secret));
    }
}

// Every reader takes any line; a LIST response it reads names a mailbox within the line.
void ReadLines(const std::string& stream) {
    for (size_t start = 0; start < stream.size();) {
        const size_t end = std::min(stream.find('\n', start), stream.size());
        const std::string line = stream.substr(start, end + 1 - start);
        ParseStatusLine(line);
        ParseCapabilities(line);
        try {
            AnnouncedLiteral(line);
            if (const std::optional<TImapMailbox> mailbox = ParseListResponse(stream.substr(start)))
                Require(mailbox->Name.size() <= stream.size() - start);
        } catch (const EImapProtocolError&) {
            // Unreadable: refused, not a crash.
        }
        start = end + 1;
    }
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
    const uint8_t mode = data[0];
    const auto arrivals = fakesock::ParseArrivals(
        std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    fakesock::SetPeer(arrivals);
    if ((mode & 1) != 0)
        RunSession(mode, Stream(arrivals));
    else
        ReadLines(Stream(arrivals));
    // Nothing stays open once the client is gone.
    Require(fakesock::OpenSockets() == 0);
    QCoreApplication::processEvents();
    return 0;
}
