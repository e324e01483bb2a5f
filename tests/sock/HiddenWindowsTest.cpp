// Hidden windows, window timers, TThreadTimer and the socket library's event semantics.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "platform/ExceptionHook.h"
#include "platform/NotifyWindow.h"
#include "sock/HiddenWindows.h"
#include "tests/sock/SockTestUtil.h"

using namespace socktest;
using testsupport::ScriptedPeer;

namespace {

// Records which messages reach default processing for one test.
class DefaultProcessingLog {
  public:
    DefaultProcessingLog() {
        platform::SetDefaultProcessingHook(
            [this](platform::NotifyWindow*, unsigned message) { messages.push_back(message); });
    }
    ~DefaultProcessingLog() { platform::SetDefaultProcessingHook({}); }
    std::vector<unsigned> messages;
};

}  // namespace

TEST(HiddenWindows, SocketWindowPassesOnlyItsOwnMessagesToTheOwner) {
    DefaultProcessingLog log;
    TPowersock sock(nullptr);
    for (unsigned message : {100u, 1124u}) {
        platform::SendMessage(sock.WindowHandle, message, 0, 0);
    }
    // A lookup-done message with an error reaches the owner, not default processing.
    sock.LastEventOk = true;
    platform::SendMessage(sock.WindowHandle, WM_LOOKUPDONE, 0, intptr_t{11001} << 16);
    EXPECT_FALSE(sock.LastEventOk);
    EXPECT_TRUE(sock.LookupDone);
    EXPECT_EQ(log.messages, (std::vector<unsigned>{100u, 1124u}));

    platform::NotifyWindow* ownerless = CreateSocketWindow(nullptr);
    platform::SendMessage(ownerless, WM_SOCKETEVENT, 0, 0);
    platform::DestroyWindow(ownerless);
    EXPECT_EQ(log.messages.back(), WM_SOCKETEVENT);
}

TEST(HiddenWindows, ClassesAreRegisteredOnceAndEveryOwnerHasAWindow) {
    TPowersock first(nullptr);
    TPowersock second(nullptr);
    EXPECT_TRUE(platform::GetClassInfo("PsockWindowClass"));
    EXPECT_TRUE(platform::GetClassInfo("TmrWindowClass"));
    EXPECT_FALSE(platform::RegisterClass({"PsockWindowClass", nullptr}));
    EXPECT_NE(first.WindowHandle, second.WindowHandle);
    EXPECT_NE(first.TimeOutTimer->WindowHandle, second.TimeOutTimer->WindowHandle);
}

TEST(HiddenWindows, TimerWindowRunsTicksAndKeepsTheirExceptions) {
    DefaultProcessingLog log;
    std::vector<std::string> reported;
    platform::SetExceptionHook([&](const std::exception& e) { reported.push_back(e.what()); });
    TThreadTimer timer(nullptr);
    int ticks = 0;
    timer.SetEnabled(false);
    timer.SetOnTimer([&](TObject* sender) {
        ticks += sender == &timer;
        throw Exception("handler failed");
    });
    EXPECT_EQ(platform::SendMessage(timer.WindowHandle, platform::WM_ACTIVATEAPP, 1, 0), 0);
    platform::SendMessage(timer.WindowHandle, platform::WM_TIMER, 1, 0);
    platform::SendMessage(timer.WindowHandle, 500, 0, 0);
    platform::SetExceptionHook({});
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(reported, (std::vector<std::string>{"handler failed"}));
    EXPECT_EQ(log.messages, (std::vector<unsigned>{500u}));
}

TEST(HiddenWindows, ThreadTimerTicksOnlyWithAllThreeSettings) {
    TThreadTimer timer(nullptr);
    int ticks = 0;
    timer.SetEnabled(false);
    timer.SetInterval(20);
    timer.SetOnTimer([&](TObject*) { ++ticks; });
    PumpUntil([] { return false; }, 120ms);
    EXPECT_EQ(ticks, 0);
    timer.SetEnabled(true);
    EXPECT_TRUE(PumpUntil([&] { return ticks >= 2; }, 2s));
    timer.SetInterval(0);
    const int stopped = ticks;
    PumpUntil([] { return false; }, 120ms);
    EXPECT_EQ(ticks, stopped);
}

// Re-setting a running timer's values must not push its next tick back.
TEST(HiddenWindows, SettingTheSameValueDoesNotRestartTheTimer) {
    TThreadTimer timer(nullptr);
    int ticks = 0;
    timer.SetInterval(300);
    timer.SetOnTimer([&](TObject*) { ++ticks; });
    const auto start = Clock::now();
    for (int i = 0; i < 5; ++i) {
        PumpUntil([] { return false; }, 50ms);
        timer.SetInterval(300);
        timer.SetEnabled(true);
    }
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 1; }, 2s));
    EXPECT_LT(Clock::now() - start, 500ms);
}

TEST(HiddenWindows, EachTimerOnGivesAtMostOneTrigger) {
    TPowersock sock(nullptr);
    sock.ReportLevel = 8;
    int triggers = 0;
    sock.OnStatus = [&](TComponent*, const std::string& s) { triggers += s == "Timer Triggered"; };
    sock.TimeOut = 30;
    sock.TimerOn();
    PumpUntil([] { return false; }, 300ms);
    EXPECT_EQ(triggers, 1);
    EXPECT_TRUE(sock.TimedOut);
    EXPECT_TRUE(sock.LookupDone);
    EXPECT_TRUE(sock.Canceled);
    sock.TimeOut = -1;
    EXPECT_THROW(sock.TimerOn(), ERangeError);
}

// The events of one connection, as the window sees them, keep the desktop platform's edges.
TEST(HiddenWindows, SocketEventsComeOnceUntilTheProgramReceivesAgain) {
    static std::vector<uint16_t> events;
    events.clear();
    platform::RegisterClass(
        {"EventLogWindow",
         [](platform::NotifyWindow*, unsigned, uintptr_t, intptr_t lParam) -> intptr_t {
             events.push_back(static_cast<uint16_t>(lParam & 0xFFFF));
             return 0;
         }});
    ScriptedPeer peer;
    peer.SendPieces({"a", "b"}, 100ms).Pause(200ms).Close();
    peer.Start();
    platform::WSADATA data;
    platform::WSAStartup(0x0101, &data);
    platform::NotifyWindow* window = platform::CreateWindow("EventLogWindow");
    const platform::SOCKET s = platform::socket(platform::ws::AfInet, platform::ws::SockStream, 0);
    ASSERT_EQ(platform::WSAAsyncSelect(s, window, WM_SOCKETEVENT, 61), 0);
    platform::sockaddr_in_w address{platform::ws::AfInet, platform::htons(peer.Port()), {}, {}};
    const uint32_t loopback = platform::inet_addr("127.0.0.1");
    std::memcpy(address.sin_addr, &loopback, 4);
    EXPECT_EQ(platform::connect(s, &address, sizeof address), platform::SOCKET_ERROR);
    EXPECT_EQ(platform::WSAGetLastError(), platform::WSAEWOULDBLOCK);
    // Both pieces arrive, but only one read event until the program receives.
    PumpUntil([] { return false; }, 250ms);
    EXPECT_EQ(events, (std::vector<uint16_t>{16, 1}));
    char buffer[16];
    EXPECT_EQ(platform::recv(s, buffer, sizeof buffer, 0), 2);
    PumpUntil([] { return false; }, 500ms);
    EXPECT_EQ(events, (std::vector<uint16_t>{16, 1, 32}));
    EXPECT_EQ(platform::recv(s, buffer, sizeof buffer, platform::ws::MsgPeek), 0);
    PumpUntil([] { return false; }, 50ms);
    EXPECT_EQ(events.size(), 3u);
    platform::closesocket(s);
    platform::DestroyWindow(window);
    platform::WSACleanup();
}
