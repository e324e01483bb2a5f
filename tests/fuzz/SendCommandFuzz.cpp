// libFuzzer target: tidemark-send's arguments and body from the fuzzer. The host lookup and the
// socket library are fakes that refuse every connection, so a run ends where it would connect.
// The input is NUL-separated: the arguments, then the body on standard input.
#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/SendCommand.h"
#include "platform/HostLookup.h"
#include "platform/HostName.h"
#include "tests/fuzz/FakeWinsock.h"
#include "tests/fuzz/FuzzApplication.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

void StartApplication() {
    StartFuzzApplication();
    // An empty settings store of its own; every name resolves to loopback without a lookup.
    static QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settings.path());
    platform::SetHostResolver([](const std::string&, platform::LookupDone done) {
        done(0, {platform::HostAddressV4(0x0100007F)});
    });
    // Nor is the machine's own name looked up for HELO.
    platform::SetHostNameSource([] { return std::string(); });
}

std::vector<std::string> Split(std::string_view input) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t nul; (nul = input.find('\0', start)) != std::string_view::npos; start = nul + 1)
        parts.emplace_back(input.substr(start, nul - start));
    parts.emplace_back(input.substr(start));
    return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StartApplication();
    std::vector<std::string> args =
        Split(std::string_view(reinterpret_cast<const char*>(data), size));
    std::istringstream body(args.back());
    args.pop_back();
    bool help = false;
    for (const auto& arg : args) {
        // A body file would read whatever the fuzzer names (a device never ends); a sign-in
        // waits minutes for a browser.
        if (arg.starts_with("--body-file") || arg.starts_with("--oauth-sign-in"))
            return 0;
        help = help || arg == "--help";
    }
    fakesock::SetPeer({}, true);
    std::ostringstream out, err;
    const int status = RunSendCommand(args, body, out, err);
    // Nothing can be sent: a refusal is a failed send, anything before it a usage error.
    Require(status == 1 || status == 2 || (status == 0 && help && fakesock::Connects() == 0));
    if (fakesock::Connects() > 0)
        Require(status == 1);
    Require(fakesock::OpenSockets() == 0);
    QCoreApplication::processEvents();
    return 0;
}
