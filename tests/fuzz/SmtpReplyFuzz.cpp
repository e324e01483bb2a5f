// libFuzzer target: bytes from the peer, arriving in arbitrary pieces (with would-block answers
// and resets), through ReadLn, Transaction, the skipping of continuation lines and a whole
// session. The first byte picks the mode; the rest is the peer's script.
#include <QCoreApplication>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/Exception.h"
#include "smtp/Zelsmtp.h"
#include "tests/fuzz/FakeWinsock.h"

namespace {

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void StartApplication() {
    static int argc = 1;
    static char name[] = "smtp_reply_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

void Prepare(TPowersock& socket) {
    socket.Host = "127.0.0.1";
    socket.Port = 25;
    socket.TimeOut = 2000;
}

// Every line ReadLn gives is one line of the stream, in order, with its line feed.
void ReadLines(const std::string& stream) {
    TPowersock socket(nullptr);
    Prepare(socket);
    std::string read;
    try {
        socket.Connect();
        for (int i = 0; i < 100000; ++i) {
            const std::string line = socket.ReadLn();
            if (line.empty())
                break;
            Require(line.find('\n') == line.size() - 1);
            read += line;
        }
    } catch (const Exception&) {
        // A reset or a line too long: reported, not a crash.
    }
    Require(stream.compare(0, read.size(), read) == 0);
}

void RunSession() {
    TZelSMTP smtp(nullptr);
    Prepare(smtp);
    smtp.UserID = "client.localhost";
    smtp.PostMessage.FromAddress = "from@localhost";
    smtp.PostMessage.ToAddress.Add("to@localhost");
    smtp.PostMessage.ToCarbonCopy.Add("Cc <cc@localhost>");
    smtp.PostMessage.Body.Add("body");
    try {
        smtp.Connect();
        smtp.Send();
        smtp.Disconnect();
    } catch (const Exception&) {
        // Every refusal of the peer ends as the program's own exception.
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
    StartApplication();
    const uint8_t mode = data[0];
    const auto arrivals = fakesock::ParseArrivals(
        std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    fakesock::SetPeer(arrivals, (mode & 2) != 0);
    if ((mode & 1) == 0)
        ReadLines(Stream(arrivals));
    else
        RunSession();
    // Nothing stays open once the component is gone.
    Require(fakesock::OpenSockets() == 0);
    QCoreApplication::processEvents();
    return 0;
}
