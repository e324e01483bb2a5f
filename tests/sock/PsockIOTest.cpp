// Line, command-reply and stream I/O of TPowersock against a scripted loopback peer.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QAbstractEventDispatcher>
#include <QTimer>
#include <cstdio>

#include "tests/sock/SockTestUtil.h"

using namespace socktest;
using testsupport::ScriptedPeer;

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

std::string Bytes(size_t count) {
    std::string bytes(count, '\0');
    for (size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

// How many times the GUI thread went to sleep while f ran.
template <class F>
int SleepsDuring(F&& f) {
    int sleeps = 0;
    const QMetaObject::Connection counting =
        QObject::connect(QAbstractEventDispatcher::instance(),
                         &QAbstractEventDispatcher::aboutToBlock, [&] { ++sleeps; });
    f();
    QObject::disconnect(counting);
    return sleeps;
}

// A connected socket and the peer it talks to.
struct Session {
    explicit Session(ScriptedPeer& peer, int timeOut = 2000) : sock(nullptr) {
        peer.Start();
        AimAt(sock, peer, timeOut);
        sock.Connect();
    }
    TPowersock sock;
};

}  // namespace

TEST(PsockIO, ReadLnReturnsOneLineAtATime) {
    using namespace std::string_literals;
    struct Case {
        const char* name;
        std::vector<std::string> pieces;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"pieces", {"22", "0 re", "ady\r\n"}, {"220 ready\r\n"}},
        {"bare LF", {"abc\n"}, {"abc\n"}},
        {"two lines at once", {"one\r\ntwo\r\n"}, {"one\r\n", "two\r\n"}},
        {"LF in a later piece", {"250-a\r", "\n250 b\r\n"}, {"250-a\r\n", "250 b\r\n"}},
        {"zero bytes", {"a\0b\0\r\n"s, "\0\n"s}, {"a\0b\0\r\n"s, "\0\n"s}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        peer.SendPieces(c.pieces, 30ms);
        Session session(peer);
        for (const std::string& line : c.lines)
            EXPECT_EQ(session.sock.ReadLn(), line);
    }
}

TEST(PsockIO, ReadLnGivesTheEmptyStringWhenThePeerCloses) {
    ScriptedPeer peer;
    peer.Send("half a li").Close();
    Session session(peer);
    EXPECT_EQ(session.sock.ReadLn(), "");
    EXPECT_EQ(session.sock.ReplyCode, 0);
}

TEST(PsockIO, BrokenPeersEndInAClearError) {
    struct Case {
        const char* name;
        std::function<void(ScriptedPeer&)> script;
        bool connect;
        const char* error;
    };
    const Case cases[] = {
        {"line longer than the buffer", [](ScriptedPeer& p) { p.Send(Bytes(70000)); }, true,
         "Line too long"},
        {"reset mid-line", [](ScriptedPeer& p) { p.Send("250 par").Pause(100ms).Reset(); }, true,
         "10054:Connection reset by peer"},
        {"silence", [](ScriptedPeer& p) { p.Pause(2s); }, true, "Socket readln aborted"},
        {"never connected", [](ScriptedPeer&) {}, false, "10057:Socket is not connected"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        c.script(peer);
        peer.Start();
        TPowersock sock(nullptr);
        AimAt(sock, peer, 300);
        if (c.connect)
            sock.Connect();
        const auto start = Clock::now();
        EXPECT_EQ(SockErrorOf([&] { sock.ReadLn(); }), c.error);
        EXPECT_LT(Clock::now() - start, 1500ms);
        EXPECT_FALSE(sock.Canceled);
    }
}

std::string Lines(size_t count, const std::string& line) {
    std::string lines;
    for (size_t i = 0; i < count; ++i)
        lines += line;
    return lines;
}

// A reply is bounded as a whole: its lines, its bytes and its time; a server adding lines can
// neither grow the client's memory nor hold it past one time-out.
TEST(PsockIO, ReadReplyBoundsTheWholeReply) {
    struct Case {
        const char* name;
        std::function<void(ScriptedPeer&)> script;
        size_t lines;       // read, when no error
        std::string error;  // expected ESockError message, "" for none
    };
    const std::string filler = "250-" + Bytes(700) + "\r\n";
    const Case cases[] = {
        {"one line", [](ScriptedPeer& p) { p.Send("250 ok\r\n"); }, 1, ""},
        {"continued with dash and blank",
         [](ScriptedPeer& p) { p.Send("250-a\r\n b\r\n250 c\r\n250 next\r\n"); }, 3, ""},
        {"closed inside", [](ScriptedPeer& p) { p.Send("250-a\r\n").Close(); }, 2, ""},
        {"100 lines", [](ScriptedPeer& p) { p.Send(Lines(99, "250-x\r\n") + "250 x\r\n"); }, 100,
         ""},
        {"101 lines", [](ScriptedPeer& p) { p.Send(Lines(100, "250-x\r\n") + "250 x\r\n"); }, 0,
         "Reply too long"},
        {"over 64 KiB in short lines",
         [&](ScriptedPeer& p) { p.Send(Lines(99, filler) + "250 x\r\n"); }, 0, "Reply too long"},
        {"a line every 150 ms past the time-out",
         [](ScriptedPeer& p) { p.SendPieces(std::vector<std::string>(8, "250-x\r\n"), 150ms); }, 0,
         "Socket readln aborted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        c.script(peer);
        Session session(peer, 500);
        const auto start = Clock::now();
        std::vector<std::string> lines;
        EXPECT_EQ(SockErrorOf([&] { lines = session.sock.ReadReply(); }), c.error);
        EXPECT_EQ(lines.size(), c.lines);
        EXPECT_LT(Clock::now() - start, 900ms);
    }
}

TEST(PsockIO, TransactionTakesTheReplyNumber) {
    struct Case {
        const char* reply;
        int16_t code;
        bool rangeError;
    };
    const Case cases[] = {
        {"250 OK\r\n", 250, false},
        {"OK 250\r\n", 0, false},
        {"354\r\n", 354, false},
        {"32767 max\r\n", 32767, false},
        {"32768 over\r\n", 0, true},
        {"99999999999 huge\r\n", 0, false},
        {"0000000250 padded\r\n", 250, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        ScriptedPeer peer;
        peer.Replies({{"NOOP", c.reply}});
        Session session(peer);
        session.sock.ReplyCode = 99;
        if (c.rangeError) {
            EXPECT_THROW(session.sock.Transaction("NOOP"), ERangeError);
        } else {
            EXPECT_EQ(session.sock.Transaction("NOOP"), c.reply);
        }
        EXPECT_EQ(session.sock.LastReply, c.reply);
        EXPECT_EQ(session.sock.ReplyCode, c.code);
    }
}

TEST(PsockIO, WriteSendsUpToTheFirstZeroByteAndRefusesTooMuch) {
    using namespace std::string_literals;
    struct Case {
        const char* name;
        std::string text;
        bool line;
        std::string sent;
        bool rangeError;
    };
    const Case cases[] = {
        {"empty", "", false, "", false},
        {"empty line", "", true, "\r\n", false},
        {"zero byte", "ab\0cd"s, false, "ab", false},
        {"largest", Bytes(65535), false, Bytes(65535), false},
        {"one too many", Bytes(65536), false, "", true},
        {"line one too many", Bytes(65534), true, "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        Session session(peer);
        if (c.rangeError) {
            EXPECT_THROW(c.line ? session.sock.Writeln(c.text) : session.sock.Write(c.text),
                         ERangeError);
        } else {
            c.line ? session.sock.Writeln(c.text) : session.sock.Write(c.text);
        }
        session.sock.Writeln("END");
        ASSERT_TRUE(PumpUntil([&] { return peer.Received().size() >= c.sent.size() + 5; }));
        EXPECT_EQ(peer.Received(), c.sent + "END\r\n");
    }
}

TEST(PsockIO, SendStreamReportsEveryPacket) {
    for (size_t size : {size_t{0}, size_t{150000}}) {
        SCOPED_TRACE(size);
        ScriptedPeer peer;
        peer.ReceiveBytes(size);
        Session session(peer);
        TMemoryStream stream;
        const std::string data = Bytes(size);
        stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
        std::vector<int32_t> progress;
        session.sock.OnPacketSent = [&](TObject*) {
            EXPECT_EQ(session.sock.TotalBytes, static_cast<int32_t>(size));
            progress.push_back(session.sock.SentBytes);
        };
        session.sock.SendStream(stream);
        EXPECT_EQ(session.sock.SentBytes, static_cast<int32_t>(size));
        EXPECT_EQ(session.sock.TotalBytes, static_cast<int32_t>(size));
        EXPECT_EQ(progress.size() >= 3, size > 0);
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        ASSERT_TRUE(peer.Wait(3s));
        EXPECT_EQ(peer.Received(), data);
    }
}

// A cancel requested before the operation ends it at once and is consumed.
TEST(PsockIO, PendingCancelAbortsTheNextOperation) {
    struct Case {
        const char* name;
        std::function<void(TPowersock&)> operation;
        const char* error;
    };
    TMemoryStream stream;
    stream.WriteBuffer("data", 4);
    const Case cases[] = {
        {"Write", [](TPowersock& s) { s.Write("HELO"); }, "Socket send aborted"},
        {"Transaction", [](TPowersock& s) { s.Transaction("NOOP"); }, "Socket send aborted"},
        {"SendStream", [&](TPowersock& s) { s.SendStream(stream); }, "Socket send aborted"},
        {"ReadLn", [](TPowersock& s) { s.ReadLn(); }, "Socket readln aborted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        peer.Send("220 waiting\r\n");
        Session session(peer);
        ASSERT_TRUE(PumpUntil([&] { return session.sock.DataAvailable(); }));
        session.sock.SentBytes = 7;
        session.sock.Cancel();
        EXPECT_EQ(SockErrorOf([&] { c.operation(session.sock); }), c.error);
        EXPECT_FALSE(session.sock.Canceled);
        EXPECT_EQ(session.sock.SentBytes, 7);
        // Nothing went out, and the waiting line is still there.
        EXPECT_EQ(session.sock.ReadLn(), "220 waiting\r\n");
        session.sock.Disconnect();
        PumpUntil([&] { return false; }, 50ms);
        EXPECT_EQ(peer.Received(), "");
    }
}

TEST(PsockIO, CancelDuringReadLnAbortsIt) {
    ScriptedPeer peer;
    peer.Pause(2s);
    Session session(peer, 0);
    QTimer::singleShot(150, [&] { session.sock.Abort(); });
    const auto start = Clock::now();
    EXPECT_EQ(SockErrorOf([&] { session.sock.ReadLn(); }), "Socket readln aborted");
    EXPECT_GE(Clock::now() - start, 120ms);
    EXPECT_FALSE(session.sock.Canceled);
    EXPECT_FALSE(session.sock.TimedOut);
}

// A peer that stops reading must not hang a send for ever, nor keep a core busy meanwhile.
TEST(PsockIO, SendToAPeerThatStopsReadingTimesOut) {
    const std::string block = Bytes(65535);
    TMemoryStream stream;
    const std::string data = Bytes(16 << 20);
    stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    struct Case {
        const char* name;
        std::function<void(TPowersock&)> send;
    };
    const Case cases[] = {
        {"SendStream", [&](TPowersock& s) { s.SendStream(stream); }},
        {"Write",
         [&](TPowersock& s) {
             for (int i = 0; i < 256; ++i)
                 s.Write(block);  // 16 MB at most
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        peer.Pause(5s);
        Session session(peer, 300);
        const double cpuBefore = CpuSeconds();
        const auto start = Clock::now();
        EXPECT_EQ(SockErrorOf([&] { c.send(session.sock); }), "Socket send aborted");
        const auto elapsed = Clock::now() - start;
        EXPECT_LT(elapsed, 4s);
        EXPECT_LT(CpuSeconds() - cpuBefore, 0.5 * std::chrono::duration<double>(elapsed).count());
        EXPECT_FALSE(session.sock.Canceled);
    }
}

// The idle wait of a read must leave the processor to others.
TEST(PsockIO, IdleReadLnWaitDoesNotSpin) {
    ScriptedPeer peer;
    peer.Pause(7s);
    Session session(peer, 5000);
    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    EXPECT_EQ(SockErrorOf([&] { session.sock.ReadLn(); }), "Socket readln aborted");
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuBefore;
    std::printf("ReadLn time-out wait: %.2f s wall, %.3f s CPU\n", wall, cpu);
    EXPECT_GE(wall, 4.9);
    EXPECT_LT(cpu, 0.25 * wall);
}

// A wait sleeps until the socket is ready or its time-out comes, not in steps of a timer.
TEST(PsockIO, IdleWaitsSleepOnceUntilTheTimeOut) {
    const std::string block = Bytes(65535);
    struct Case {
        const char* name;
        std::function<void(TPowersock&)> operation;
        const char* error;
    };
    const Case cases[] = {
        {"ReadLn", [](TPowersock& s) { s.ReadLn(); }, "Socket readln aborted"},
        {"Write to a peer that reads nothing",
         [&](TPowersock& s) {
             for (int i = 0; i < 256; ++i)
                 s.Write(block);
         },
         "Socket send aborted"},
        {"TLS handshake with a silent peer", [](TPowersock& s) { s.StartTls(); },
         "TLS Handshake Timed out"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        peer.Pause(3s);
        Session session(peer, 400);
        std::string error;
        const auto start = Clock::now();
        const int sleeps =
            SleepsDuring([&] { error = SockErrorOf([&] { c.operation(session.sock); }); });
        EXPECT_EQ(error, c.error);
        EXPECT_GE(Clock::now() - start, 350ms);
        EXPECT_LE(sleeps, 10);
    }
}

TEST(PsockIO, IdleConnectWaitDoesNotSpin) {
    testsupport::FullListener listener;
    if (!listener.Full())
        GTEST_SKIP() << "the accept queue could not be filled";
    TPowersock sock(nullptr);
    sock.Host = "127.0.0.1";
    sock.Port = listener.Port();
    sock.TimeOut = 2000;
    const double cpuBefore = CpuSeconds();
    const auto start = Clock::now();
    const int sleeps = SleepsDuring(
        [&] { EXPECT_EQ(SockErrorOf([&] { sock.Connect(); }), "Connection Timed out"); });
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = CpuSeconds() - cpuBefore;
    std::printf("Connect time-out wait: %.2f s wall, %.3f s CPU\n", wall, cpu);
    EXPECT_LT(cpu, 0.25 * wall);
    EXPECT_LE(sleeps, 10);
}

TEST(PsockIO, ExtractFieldCutsTheNthField) {
    struct Case {
        const char* text;
        char delimiter;
        int n;
        const char* field;
    };
    const Case cases[] = {
        {"ab<cd>ef", '<', 2, "cd>ef"}, {"cd>ef", '>', 1, "cd"}, {"a:b:c", ':', 3, "c"},
        {"a:b:c", ':', 4, ""},         {"a:b:c", ':', 0, ""},   {"", ':', 1, ""},
        {"::x", ':', 3, "x"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExtractField(c.text, c.delimiter, c.n), c.field) << c.text << " " << c.n;
    }
}
