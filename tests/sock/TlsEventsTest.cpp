// The socket library's event edges over TLS, against a server that speaks TLS from the first
// byte: bytes decrypted but not yet received count as data waiting.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/NotifyWindow.h"
#include "sock/HiddenWindows.h"
#include "tests/sock/SockTestUtil.h"
#include "tests/support/SinkProcess.h"
#include "tests/support/TestCertificates.h"

using namespace socktest;

namespace {

std::vector<uint16_t> events;

TEST(TlsEvents, DataInsideTheTlsLayerIsReportedLikeDataOnTheSocket) {
    SinkProcess sink(TestCertificates::SinkOptions("good", "implicit", ""));
    ASSERT_NE(sink.Port, 0);
    events.clear();
    platform::RegisterClass(
        {"TlsEventLogWindow",
         [](platform::NotifyWindow*, unsigned, uintptr_t, intptr_t lParam) -> intptr_t {
             events.push_back(static_cast<uint16_t>(lParam & 0xFFFF));
             return 0;
         }});
    platform::WSADATA data;
    platform::WSAStartup(0x0101, &data);
    platform::NotifyWindow* window = platform::CreateWindow("TlsEventLogWindow");
    const platform::SOCKET s = platform::socket(platform::ws::AfInet, platform::ws::SockStream, 0);
    ASSERT_EQ(platform::WSAAsyncSelect(s, window, WM_SOCKETEVENT, 61), 0);
    platform::sockaddr_in_w address{platform::ws::AfInet, platform::htons(sink.Port), {}, {}};
    const uint32_t loopback = platform::inet_addr("127.0.0.1");
    std::memcpy(address.sin_addr, &loopback, 4);
    platform::connect(s, &address, sizeof address);
    ASSERT_TRUE(PumpUntil([] { return !events.empty(); }));
    ASSERT_EQ(events, std::vector<uint16_t>{16});

    ASSERT_EQ(platform::StartTls(s, {"127.0.0.1", TestCertificates::Path("ca.pem")}), 0);
    ASSERT_TRUE(PumpUntil([s] { return platform::TlsHandshake(s) == 0; }, 5s))
        << platform::TlsFailure(s).text;
    // The greeting: one read event, and no second one until the program receives.
    PumpUntil([] { return false; }, 300ms);
    EXPECT_EQ(events, (std::vector<uint16_t>{16, 1}));
    // A part of it: the rest is already decrypted, so the socket itself has nothing new.
    char part[4];
    EXPECT_EQ(platform::recv(s, part, sizeof part, 0), 4);
    EXPECT_EQ(std::string(part, 4), "220 ");
    PumpUntil([] { return false; }, 200ms);
    EXPECT_EQ(events, (std::vector<uint16_t>{16, 1, 1}));
    char rest[512];
    const int taken = platform::recv(s, rest, sizeof rest, 0);
    ASSERT_GT(taken, 0);
    EXPECT_EQ(std::string(rest, static_cast<size_t>(taken)).back(), '\n');

    // The reply to QUIT, then the server's close.
    events.clear();
    ASSERT_EQ(platform::send(s, "QUIT\r\n", 6, 0), 6);
    ASSERT_TRUE(PumpUntil([] { return events.size() == 1; }));
    EXPECT_EQ(platform::recv(s, rest, sizeof rest, 0), 9);  // "221 Bye\r\n" and nothing more
    ASSERT_TRUE(PumpUntil([] { return events.size() == 2; }));
    EXPECT_EQ(events, (std::vector<uint16_t>{1, 32}));
    EXPECT_EQ(platform::recv(s, rest, sizeof rest, platform::ws::MsgPeek), 0);
    platform::closesocket(s);
    platform::DestroyWindow(window);
    platform::WSACleanup();
}

}  // namespace
