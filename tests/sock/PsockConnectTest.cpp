// Connecting, resolving, closing and status reporting of TPowersock on loopback.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QTimer>
#include <algorithm>
#include <memory>
#include <vector>

#include "platform/NotifyWindow.h"
#include "sock/HiddenWindows.h"
#include "tests/sock/SockTestUtil.h"

using namespace socktest;
using testsupport::FullListener;
using testsupport::RefusingPort;
using testsupport::ScriptedPeer;

namespace {

// A resolver that must not be asked: any name reaching it fails the test.
platform::HostResolver NoLookup(int& calls) {
    return [&calls](const std::string&, platform::LookupDone done) {
        ++calls;
        done(platform::WSAHOST_NOT_FOUND, {});
    };
}

platform::HostResolver Answer(int error, const char* address) {
    return [=](const std::string&, platform::LookupDone done) {
        std::vector<platform::HostAddress> addresses;
        platform::HostAddress parsed;
        if (error == 0 && platform::ParseHostAddress(address, parsed))
            addresses.push_back(parsed);
        done(error, addresses);
    };
}

platform::HostResolver NeverAnswer() {
    return [](const std::string&, platform::LookupDone) {};
}

}  // namespace

TEST(PsockConnect, DottedAddressConnectsWithoutLookup) {
    int lookups = 0;
    ResolverScope resolver(NoLookup(lookups));
    ScriptedPeer peer;
    peer.Start();
    TPowersock sock(nullptr);
    AimAt(sock, peer);
    int connects = 0, resolved = 0;
    sock.OnConnect = [&](TObject* sender) { connects += sender == &sock; };
    sock.OnHostResolved = [&](TComponent*) { ++resolved; };
    sock.Connect();
    EXPECT_TRUE(sock.IsConnected);
    EXPECT_EQ(connects, 1);
    EXPECT_EQ(resolved, 0);
    EXPECT_EQ(lookups, 0);
    // Small command writes leave at once instead of waiting for the peer's acknowledgement.
    int noDelay = 0;
    socklen_t length = sizeof noDelay;
    ASSERT_EQ(::getsockopt(sock.SocketHandle, IPPROTO_TCP, TCP_NODELAY, &noDelay, &length), 0);
    EXPECT_NE(noDelay, 0);
}

TEST(PsockConnect, LocalhostConnectsThroughTheLookup) {
    ScriptedPeer peer;
    peer.Start();
    TPowersock sock(nullptr);
    AimAt(sock, peer);
    sock.Host = "localhost";
    int resolved = 0;
    sock.OnHostResolved = [&](TComponent* sender) { resolved += sender == &sock; };
    sock.Connect();
    EXPECT_TRUE(sock.IsConnected);
    EXPECT_EQ(resolved, 1);
}

TEST(PsockConnect, SecondConnectIsRefusedAndKeepsTheConnection) {
    ScriptedPeer peer;
    peer.Start();
    TPowersock sock(nullptr);
    AimAt(sock, peer);
    sock.Connect();
    int failures = 0;
    sock.OnConnectionFailed = [&](TObject*) { ++failures; };
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Already connected");
    EXPECT_TRUE(sock.IsConnected);
    EXPECT_EQ(failures, 0);
}

// Hosts that give no address, with and without a handler that may grant one retry.
TEST(PsockConnect, NoAddressAsksTheHandlerAtMostOnce) {
    struct Case {
        std::string host;
        bool handler;
        bool handled;
        const char* retryHost;  // what the handler sets Host to, or nullptr
        int expectedCalls;
        const char* expectedError;
    };
    const Case cases[] = {
        {"0.0.0.0", false, false, nullptr, 0, "Null Remote Address"},
        {"0.0.0.0", true, false, nullptr, 1, "Null Remote Address"},
        {"0.0.0.0", true, true, nullptr, 1, "Null Remote Address"},
        {"no-such-host.test", true, true, nullptr, 1, "Null Remote Address"},
        {"0.0.0.0", true, true, "127.0.0.1", 1, ""},
        {"no-such-host.test", true, true, "127.0.0.1", 1, ""},
        // A zero byte must not cut the name down to an address that works.
        {std::string("127.0.0.1\0junk", 14), false, false, nullptr, 0, "Null Remote Address"},
        // A name longer than the buffer is refused without a lookup.
        {std::string(70000, 'a'), false, false, nullptr, 0, "Null Remote Address"},
    };
    int lookups = 0;
    ResolverScope resolver(NoLookup(lookups));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host.substr(0, 20));
        ScriptedPeer peer;
        peer.Start();
        TPowersock sock(nullptr);
        AimAt(sock, peer);
        sock.Host = c.host;
        int calls = 0;
        if (c.handler) {
            sock.OnInvalidHost = [&](bool& handled) {
                ++calls;
                if (c.retryHost != nullptr)
                    sock.Host = c.retryHost;
                handled = c.handled;
            };
        }
        EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), c.expectedError);
        EXPECT_EQ(calls, c.expectedCalls);
        EXPECT_EQ(sock.IsConnected, std::string(c.expectedError).empty());
    }
}

TEST(PsockConnect, RefusedPortFailsAfterTellingTheOwner) {
    for (int timeOut : {0, 2000}) {
        SCOPED_TRACE(timeOut);
        RefusingPort refusing;
        TPowersock sock(nullptr);
        sock.Host = "127.0.0.1";
        sock.Port = refusing.Port();
        sock.TimeOut = timeOut;
        std::vector<std::string> order;
        sock.OnConnectionFailed = [&](TObject*) { order.push_back("failed event"); };
        try {
            sock.Connect();
        } catch (const ESockError& e) {
            order.push_back(e.Message());
        }
        EXPECT_EQ(order, (std::vector<std::string>{"failed event", "Connection Failed"}));
        EXPECT_FALSE(sock.IsConnected);
        EXPECT_FALSE(sock.LastEventOk);
    }
}

TEST(PsockConnect, ConnectTimesOutOnAFullAcceptQueue) {
    FullListener listener;
    if (!listener.Full())
        GTEST_SKIP() << "the accept queue could not be filled";
    TPowersock sock(nullptr);
    sock.Host = "127.0.0.1";
    sock.Port = listener.Port();
    sock.TimeOut = 300;
    int failures = 0;
    sock.OnConnectionFailed = [&](TObject*) { ++failures; };
    const auto start = Clock::now();
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Connection Timed out");
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, 280ms);
    EXPECT_LT(elapsed, 2s);
    EXPECT_EQ(failures, 1);
    EXPECT_TRUE(sock.TimedOut);
    EXPECT_TRUE(sock.Canceled);
}

TEST(PsockConnect, ZeroTimeOutWaitsUntilCancelled) {
    FullListener listener;
    if (!listener.Full())
        GTEST_SKIP() << "the accept queue could not be filled";
    TPowersock sock(nullptr);
    sock.Host = "127.0.0.1";
    sock.Port = listener.Port();
    sock.TimeOut = 0;
    QTimer::singleShot(700, [&] { sock.Cancel(); });
    const auto start = Clock::now();
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Connection Canceled");
    EXPECT_GE(Clock::now() - start, 650ms);
    EXPECT_FALSE(sock.TimedOut);
}

TEST(PsockConnect, LookupOutcomes) {
    struct Case {
        const char* name;
        platform::HostResolver resolver;
        int timeOut;
        int cancelAfterMs;  // 0: no cancel
        const char* resolveError;
    };
    const Case cases[] = {
        {"failure", Answer(platform::WSAHOST_NOT_FOUND, nullptr), 1000, 0, "Host Lookup Failed"},
        {"no answer", NeverAnswer(), 200, 0, "Host Lookup Timed Out"},
        {"cancel", NeverAnswer(), 0, 100, "Host Lookup Canceled"},
        {"answer", Answer(0, "127.0.0.1"), 1000, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResolverScope resolver(c.resolver);
        TPowersock sock(nullptr);
        sock.Host = "mail.example.test";
        sock.TimeOut = c.timeOut;
        if (c.cancelAfterMs != 0)
            QTimer::singleShot(c.cancelAfterMs, [&] { sock.Cancel(); });
        EXPECT_EQ(SockErrorOf([&] { sock.ResolveHost(); }), c.resolveError);
    }
}

TEST(PsockConnect, LookupFailureBecomesNullRemoteAddressButTimeOutPassesThrough) {
    {
        ResolverScope resolver(Answer(platform::WSAHOST_NOT_FOUND, nullptr));
        TPowersock sock(nullptr);
        sock.Host = "mail.example.test";
        sock.TimeOut = 1000;
        EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Null Remote Address");
    }
    ResolverScope resolver(NeverAnswer());
    TPowersock sock(nullptr);
    sock.Host = "mail.example.test";
    sock.TimeOut = 150;
    int invalidHost = 0;
    sock.OnInvalidHost = [&](bool&) { ++invalidHost; };
    EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Host Lookup Timed Out");
    EXPECT_EQ(invalidHost, 0);
}

// A lookup that answers after its wait ended must not satisfy a later lookup.
TEST(PsockConnect, LateLookupAnswerIsDropped) {
    std::vector<platform::LookupDone> pending;
    ResolverScope resolver(
        [&](const std::string&, platform::LookupDone done) { pending.push_back(done); });
    auto sock = std::make_unique<TPowersock>(nullptr);
    sock->Host = "mail.example.test";
    sock->TimeOut = 100;
    EXPECT_EQ(SockErrorOf([&] { sock->ResolveHost(); }), "Host Lookup Timed Out");
    ASSERT_EQ(pending.size(), 1u);
    pending[0](0, {platform::HostAddressV4(platform::inet_addr("127.0.0.1"))});
    sock->Canceled = false;  // as Connect does
    sock->TimeOut = 300;
    EXPECT_EQ(SockErrorOf([&] { sock->ResolveHost(); }), "Host Lookup Timed Out");
    // And one answering after its socket is gone writes into nothing.
    ASSERT_EQ(pending.size(), 2u);
    sock.reset();
    pending[1](0, {platform::HostAddressV4(platform::inet_addr("127.0.0.1"))});
    PumpUntil([] { return false; }, 50ms);
}

TEST(PsockConnect, DisconnectWithoutConnectionGivesAFreshSocket) {
    TPowersock sock(nullptr);
    int disconnects = 0;
    sock.OnDisconnect = [&](TObject* sender) { disconnects += sender == &sock; };
    sock.Disconnect();
    EXPECT_EQ(disconnects, 1);
    EXPECT_NE(sock.SocketHandle, 0xFFFF);
    ScriptedPeer peer;
    peer.Start();
    AimAt(sock, peer);
    sock.Connect();
    EXPECT_TRUE(sock.IsConnected);
}

TEST(PsockConnect, PeerCloseClosesTheSocketOnlyWhenNoDataWaits) {
    ScriptedPeer peer;
    peer.Send("pending\r\n").Pause(200ms);
    peer.Start();
    TPowersock sock(nullptr);
    AimAt(sock, peer);
    int disconnects = 0;
    sock.OnDisconnect = [&](TObject*) { ++disconnects; };
    sock.Connect();
    ASSERT_TRUE(PumpUntil([&] { return sock.DataAvailable(); }));
    intptr_t result = 0;
    sock.HandleSocketMessage(WM_SOCKETEVENT, sock.SocketHandle, platform::ws::FdClose, result);
    EXPECT_TRUE(sock.IsConnected);
    EXPECT_EQ(disconnects, 0);
    EXPECT_EQ(sock.ReadLn(), "pending\r\n");

    ScriptedPeer closing;
    closing.Send("bye\r\n").Close();
    closing.Start();
    TPowersock other(nullptr);
    AimAt(other, closing);
    other.OnDisconnect = [&](TObject*) { ++disconnects; };
    other.Connect();
    EXPECT_EQ(other.ReadLn(), "bye\r\n");
    EXPECT_TRUE(PumpUntil([&] { return !other.IsConnected; }));
    EXPECT_EQ(disconnects, 1);
}

TEST(PsockConnect, ReportLevelFiltersStatusTexts) {
    struct Case {
        int level;
        std::vector<std::string> seen;
        std::vector<std::string> unseen;
    };
    const Case cases[] = {
        {0, {}, {"250 ok\r\n", "Sending Buffer", "Connecting"}},
        {1, {"250 ok\r\n"}, {"Sending Buffer", "Request Close Socket", "Connecting"}},
        {4, {"250 ok\r\n", "Sending Buffer", "Request Close Socket"}, {"Connecting", "Timer On"}},
        {8,
         {"250 ok\r\n", "Sending Buffer", "Request Close Socket", "Connecting", "Resolve Host",
          "Timer On", "Timer Off", "Transaction", "Writeln", "Write", "ReadReply", "Disconnecting"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.level);
        ScriptedPeer peer;
        peer.Replies({{"NOOP", "250 ok\r\n"}});
        peer.Start();
        TPowersock sock(nullptr);
        AimAt(sock, peer);
        sock.ReportLevel = c.level;
        std::vector<std::string> statuses;
        sock.OnStatus = [&](TComponent*, const std::string& status) { statuses.push_back(status); };
        sock.Connect();
        sock.Transaction("NOOP");
        sock.Disconnect();
        auto has = [&](const std::string& s) {
            return std::find(statuses.begin(), statuses.end(), s) != statuses.end();
        };
        for (const auto& s : c.seen)
            EXPECT_TRUE(has(s)) << s;
        for (const auto& s : c.unseen)
            EXPECT_FALSE(has(s)) << s;
        if (c.level == 0) {
            EXPECT_TRUE(statuses.empty());
        }
    }
}

TEST(PsockConnect, OnlyTheFirstSocketDescribesTheLibraryAndTheLastShutsItDown) {
    ASSERT_EQ(TPowersock::WinsockUsers, 0);
    {
        TPowersock first(nullptr);
        TPowersock second(nullptr);
        EXPECT_EQ(TPowersock::WinsockUsers, 2);
        ASSERT_EQ(first.WinsockInfo.Count(), 6);
        EXPECT_EQ(first.WinsockInfo[0], "Version= 1.1");
        EXPECT_EQ(first.WinsockInfo[1], "High Version= 1.1");
        EXPECT_EQ(first.WinsockInfo[5].rfind("Max Udp pack size= ", 0), 0u);
        EXPECT_EQ(second.WinsockInfo.Count(), 0);
    }
    EXPECT_EQ(TPowersock::WinsockUsers, 0);
    EXPECT_EQ(platform::socket(platform::ws::AfInet, platform::ws::SockStream, 0),
              platform::INVALID_SOCKET);
    EXPECT_EQ(platform::WSAGetLastError(), platform::WSANOTINITIALISED);
}

TEST(PsockConnect, CheckConnectionAsksTheOwnerOnce) {
    ScriptedPeer peer;
    peer.Start();
    TPowersock sock(nullptr);
    AimAt(sock, peer);
    auto notConnected = [&] {
        try {
            sock.CheckConnection();
        } catch (const ESockError&) {
            return std::string("ESockError");
        } catch (const Exception& e) {
            return e.Message();
        }
        return std::string();
    };
    EXPECT_EQ(notConnected(), "Not Connected");
    int asked = 0;
    sock.OnConnectionRequired = [&](bool& handled) {
        ++asked;
        handled = true;
    };
    EXPECT_EQ(notConnected(), "Not Connected");
    EXPECT_EQ(asked, 1);
    sock.OnConnectionRequired = [&](bool& handled) {
        ++asked;
        sock.Connect();
        handled = true;
    };
    EXPECT_EQ(notConnected(), "");
    EXPECT_EQ(asked, 2);
}

TEST(PsockConnect, ErrorNumbersBecomeTheirTexts) {
    struct Case {
        uint16_t error;
        const char* text;
    };
    const Case cases[] = {
        {10061, "10061:Connection refused"},
        {10035, "10035:Operation would block"},
        {11004, "11004:Valid name, no data record of requested type"},
        {10090, "Unknown Error No. 10090"},
        {0, "Unknown Error No. 0"},
    };
    TPowersock sock(nullptr);
    for (const Case& c : cases) {
        std::string text;
        sock.LookupErrorMessage(c.error, text);
        EXPECT_EQ(text, c.text);
    }
    // The Linux numbers the transport meets map onto the same table.
    EXPECT_EQ(platform::WinsockError(ECONNREFUSED), 10061);
    EXPECT_EQ(platform::WinsockError(ECONNRESET), 10054);
    EXPECT_EQ(platform::WinsockError(EAGAIN), 10035);
    EXPECT_EQ(platform::WinsockError(ENOTCONN), 10057);
    EXPECT_EQ(platform::WinsockError(ETIMEDOUT), 10060);
}

TEST(PsockConnect, AcceptIsRefused) {
    TPowersock sock(nullptr);
    EXPECT_EQ(SockErrorOf([&] { sock.Accept(); }), "Accept not supported");
}

// A name with several addresses: each is tried in turn, IPv6 and IPv4 alike, all under the one
// connect time-out.
TEST(PsockConnect, EveryAddressInTurnWithinOneTimeOut) {
    ScriptedPeer peer;  // listens on 127.0.0.1 only
    peer.Start();
    RefusingPort refusing;
    FullListener full;
    struct Case {
        const char* name;
        std::vector<const char*> addresses;
        uint16_t port;
        const char* error;
        int failedEvents;
    };
    const Case cases[] = {
        {"IPv6 refused, then IPv4", {"::1", "127.0.0.1"}, peer.Port(), "", 0},
        {"all refused", {"::1", "127.0.0.1"}, refusing.Port(), "Connection Failed", 1},
        {"two silent addresses share the time-out",
         {"127.0.0.1", "127.0.0.1"},
         full.Port(),
         "Connection Timed out",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.port == full.Port() && !full.Full())
            continue;
        ResolverScope resolver([&](const std::string&, platform::LookupDone done) {
            std::vector<platform::HostAddress> addresses;
            for (const char* text : c.addresses) {
                addresses.emplace_back();
                ASSERT_TRUE(platform::ParseHostAddress(text, addresses.back()));
            }
            done(0, addresses);
        });
        TPowersock sock(nullptr);
        sock.Host = "mail.example.test";
        sock.Port = c.port;
        sock.TimeOut = 400;
        int failed = 0;
        sock.OnConnectionFailed = [&](TObject*) { ++failed; };
        const auto start = Clock::now();
        EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), c.error);
        EXPECT_LT(Clock::now() - start, 700ms);
        EXPECT_EQ(sock.IsConnected, *c.error == '\0');
        EXPECT_EQ(failed, c.failedEvents);
    }
}
