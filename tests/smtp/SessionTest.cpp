// The SMTP dialogue against a scripted loopback peer: every byte the client sends is recorded.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "smtp/Zelsmtp.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/ScriptedSmtp.h"

namespace {

using platform::Sjis;
using testsupport::Overrides;
using testsupport::SmtpReplies;

// A client and a scripted server that greets with Greeting and answers through SmtpReplies.
struct Session {
    using Script = std::function<void(testsupport::ScriptedPeer&)>;

    explicit Session(Overrides overrides = {}, std::string greeting = "220 ready\r\n")
        : Session([&](testsupport::ScriptedPeer& p) {
              p.Send(std::move(greeting)).ReplyEach(SmtpReplies(std::move(overrides)));
          }) {}
    explicit Session(const Script& script) {
        script(peer);
        peer.Start();
        smtp.Host = "127.0.0.1";
        smtp.Port = peer.Port();
        smtp.TimeOut = 5000;
        smtp.ReportLevel = 0;
        smtp.UserID = "tester";
        smtp.OnConnect = [this](TObject*) { events.push_back("connect"); };
        smtp.OnDisconnect = [this](TObject*) { events.push_back("disconnect"); };
        smtp.OnSendStart = [this](TObject*) { events.push_back("start"); };
        smtp.OnFailure = [this](TObject*) { events.push_back("failure"); };
        smtp.OnSuccess = [this](TObject*) { events.push_back("success"); };
        smtp.OnRecipientNotFound = [this](const std::string& r) { refused.push_back(r); };
    }

    void FillMessage() { testsupport::FillTestMessage(smtp.PostMessage); }

    // Runs Action and returns the message of the Exception it raised ("" when none).
    static std::string ErrorOf(const std::function<void()>& Action) {
        try {
            Action();
        } catch (const Exception& e) {
            return e.Message();
        }
        return "";
    }

    // Everything the server received, once the client has closed.
    std::string Wire() {
        EXPECT_TRUE(peer.Wait(std::chrono::seconds(10)));
        EXPECT_TRUE(peer.Failures().empty());
        return peer.Received();
    }

    testsupport::ScriptedPeer peer;
    TZelSMTP smtp{nullptr};
    std::vector<std::string> events;
    std::vector<std::string> refused;
};

const char* const kEnvelope =
    "RSET\r\nMAIL FROM:<me@localhost>\r\nRCPT TO:<a@localhost>\r\nRCPT TO:<c@localhost>\r\n"
    "RCPT TO:<d@localhost>\r\n";
const char* const kData =
    "DATA\r\nFrom: <me@localhost>\r\nTo: a@localhost\r\nCC: Cc Person <c@localhost>\r\n"
    "Mime-Version: 1.0\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n\r\nbody\r\n.\r\n";

TEST(SessionTest, WholeDialogueByteForByte) {
    Session s;
    TPostMessage& m = s.smtp.PostMessage;
    m.FromName = "Me";
    m.FromAddress = "me@localhost";
    m.Subject = "Hi";
    m.ToAddress.Add("a@localhost");
    m.ToAddress.Add("Bee <b@localhost>");
    m.ToCarbonCopy.Add("");
    m.ToCarbonCopy.Add("label: c@localhost");
    m.ToBlindCarbonCopy.Add("");
    m.ToBlindCarbonCopy.Add("d@localhost");
    for (const char* line : {"line1", ".", "x.y", "a\r\n.\r\nMAIL FROM:<x@localhost>"}) {
        m.Body.Add(line);
    }
    s.smtp.Connect();
    s.smtp.Send();
    s.smtp.Disconnect();
    EXPECT_EQ(s.Wire(),
              "HELO tester\r\nRSET\r\nMAIL FROM:<me@localhost>\r\nRCPT TO:<a@localhost>\r\n"
              "RCPT TO:<b@localhost>\r\nRCPT TO:<c@localhost>\r\nRCPT TO:<d@localhost>\r\n"
              "DATA\r\nFrom: Me<me@localhost>\r\nTo: a@localhost,Bee <b@localhost>\r\n"
              "CC: ,label: c@localhost\r\nSubject: Hi\r\nMime-Version: 1.0\r\n"
              "Content-Type: text/plain; charset=us-ascii\r\n\r\n\r\n"
              "line1\r\n..\r\nx.y\r\na\r\n..\r\nMAIL FROM:<x@localhost>\r\n.\r\nQUIT\r\n");
    EXPECT_EQ(s.events, (std::vector<std::string>{"connect", "start", "success", "disconnect"}));
    EXPECT_EQ(s.smtp.LastReply, "221 bye\r\n");
    EXPECT_EQ(s.smtp.SentBytes, s.smtp.TotalBytes);
    EXPECT_FALSE(s.smtp.IsConnected);
}

struct ConnectCase {
    const char* what;
    std::string greeting;
    Overrides overrides;
    int grants;  // -1: no OnAuthenticationFailed handler; otherwise how many calls set Handled
    std::string error;
    std::string wire;
};

TEST(SessionTest, ConnectReadsGreetingAndHelo) {
    const std::vector<ConnectCase> cases = {
        {"accepted", "220 ready\r\n", {}, -1, "", "HELO tester\r\nQUIT\r\n"},
        {"greeting refused", "421 busy\r\n", {}, -1, "421 busy\r\n", "QUIT\r\n"},
        {"multi-line greeting refused",
         "421-busy\r\n421 try later\r\n",
         {},
         -1,
         "421 try later\r\n",
         "QUIT\r\n"},
        {"multi-line greeting and HELO reply",
         "220-one\r\n220-two\r\n continued\r\n220 last\r\n",
         {{"HELO", "250-hello\r\n250-more\r\n 250 folded\r\n250 last\r\n"}},
         -1,
         "",
         "HELO tester\r\nQUIT\r\n"},
        {"HELO refused without handler",
         "220 ready\r\n",
         {{"HELO", "501 no\r\n"}},
         -1,
         "Authentication failed",
         "HELO tester\r\nQUIT\r\n"},
        {"handler declines",
         "220 ready\r\n",
         {{"HELO", "501 no\r\n"}},
         0,
         "Authentication failed",
         "HELO tester\r\nQUIT\r\n"},
        {"one retry only",
         "220 ready\r\n",
         {{"HELO", "501 no\r\n"}},
         5,
         "Authentication failed",
         "HELO tester\r\nHELO other\r\nQUIT\r\n"},
        {"retry with another user",
         "220 ready\r\n",
         {{"HELO tester", "501 no\r\n"}},
         1,
         "",
         "HELO tester\r\nHELO other\r\nQUIT\r\n"},
        {"reply without digits passes",
         "ready\r\n",
         {{"HELO", "hello\r\n"}},
         -1,
         "",
         "HELO tester\r\nQUIT\r\n"},
    };
    for (const ConnectCase& c : cases) {
        Session s(c.overrides, c.greeting);
        int calls = 0;
        if (c.grants >= 0) {
            s.smtp.OnAuthenticationFailed = [&](bool& handled) {
                handled = ++calls <= c.grants;
                s.smtp.UserID = "other";
            };
        }
        // The session must be usable: the QUIT reply is read as the QUIT reply.
        const std::string error = Session::ErrorOf([&] {
            s.smtp.Connect();
            s.smtp.Disconnect();
        });
        EXPECT_EQ(error, c.error) << c.what;
        EXPECT_EQ(s.Wire(), c.wire) << c.what;
        EXPECT_EQ(s.smtp.LastReply, "221 bye\r\n") << c.what;
        EXPECT_EQ(calls, c.grants >= 0 ? 1 : 0) << c.what;
        EXPECT_EQ(s.events.front(), c.error.empty() ? "connect" : "disconnect") << c.what;
        EXPECT_FALSE(s.smtp.Busy) << c.what;
    }
}

TEST(SessionTest, UserIdWithLineBreakNeverConnects) {
    testsupport::RefusingPort port;
    TZelSMTP smtp(nullptr);
    smtp.Host = "127.0.0.1";
    smtp.Port = port.Port();
    smtp.UserID = "me\r\nMAIL FROM:<x@localhost>";
    EXPECT_EQ(Session::ErrorOf([&] { smtp.Connect(); }),
              "UserID contains a line break or NUL character");
}

struct SendCase {
    const char* what;
    Overrides overrides;
    std::string error;
    std::vector<std::string> events;
    std::vector<std::pair<std::string, std::string>> refused;  // address, reply
    std::string afterHelo;  // what the server receives after HELO, before QUIT
};

TEST(SessionTest, SendReplyCodeTests) {
    const std::string all = std::string(kEnvelope) + kData;
    const std::vector<SendCase> cases = {
        {"accepted", {}, "", {"start", "success"}, {}, all},
        {"RCPT 300 accepted, 301 refused",
         {{"RCPT TO:<a@", "300 hmm\r\n"}, {"RCPT TO:<c@", "301 no\r\n"}},
         "",
         {"start", "success"},
         {{"Cc Person <c@localhost>", "301 no"}},
         all},
        {"only the last recipient accepted, multi-line refusal",
         {{"RCPT TO:<a@", "550-5.1.1 unknown\r\n550 5.1.1 user a\r\n"},
          {"RCPT TO:<c@", "452 4.2.2 full\n"}},
         "",
         {"start", "success"},
         {{"a@localhost", "550 5.1.1 user a"}, {"Cc Person <c@localhost>", "452 4.2.2 full"}},
         all},
        // No content goes out: RSET ends the transaction instead of DATA.
        {"every RCPT refused",
         {{"RCPT", "550 no\r\n"}},
         "No recipient was accepted",
         {"start"},
         {{"a@localhost", "550 no"},
          {"Cc Person <c@localhost>", "550 no"},
          {"d@localhost", "550 no"}},
         std::string(kEnvelope) + "RSET\r\n"},
        {"RSET refused",
         {{"RSET", "421 closing\r\n"}},
         "421 closing\r\n",
         {"start"},
         {},
         "RSET\r\n"},
        {"MAIL refused",
         {{"MAIL", "550 sender\r\n"}},
         "550 sender\r\n",
         {"start"},
         {},
         "RSET\r\nMAIL FROM:<me@localhost>\r\n"},
        {"DATA refused",
         {{"DATA", "554 no data\r\n"}},
         "554 no data\r\n",
         {"start"},
         {},
         std::string(kEnvelope) + "DATA\r\n"},
        {"message refused",
         {{".\r\n", "552 too big\r\n"}},
         "552 too big\r\n",
         {"start", "failure"},
         {},
         all},
        // Up to DATA as before; at the end of the message it may have arrived or not.
        {"replies without digits",
         {{"", "ok\r\n"}},
         "No proper reply to the end of the message: ok",
         {"start"},
         {},
         all},
    };
    for (const SendCase& c : cases) {
        Session s(c.overrides);
        s.FillMessage();
        s.smtp.Connect();
        s.events.clear();
        s.smtp.RefusedRecipients.push_back({"left from an earlier send", "550 old"});
        EXPECT_EQ(Session::ErrorOf([&] { s.smtp.Send(); }), c.error) << c.what;
        EXPECT_EQ(s.events, c.events) << c.what;
        std::vector<std::pair<std::string, std::string>> collected;
        std::vector<std::string> announced;
        for (const TRefusedRecipient& r : s.smtp.RefusedRecipients) {
            collected.emplace_back(r.Address, r.Reply);
            announced.push_back(r.Address);
        }
        EXPECT_EQ(collected, c.refused) << c.what;
        EXPECT_EQ(s.refused, announced) << c.what;
        // Accepted messages clear the recipient lists; failed ones keep everything.
        EXPECT_EQ(s.smtp.PostMessage.ToBlindCarbonCopy.Count(), c.error.empty() ? 0 : 1) << c.what;
        EXPECT_EQ(s.smtp.PostMessage.Body.Count(), 1) << c.what;
        EXPECT_FALSE(s.smtp.Busy) << c.what;
        Session::ErrorOf([&] { s.smtp.Disconnect(); });
        EXPECT_EQ(s.Wire(), "HELO tester\r\n" + c.afterHelo + "QUIT\r\n") << c.what;
    }
}

TEST(SessionTest, EachAddressOfAnEntryGetsItsOwnRcpt) {
    const struct {
        const char* what;
        std::string entry;
        std::vector<std::string> rcpts;
        std::vector<std::string> refused;
        std::string header = "";  // the To line's value when it is not the entry as given
    } cases[] = {
        // Blanks around an address are no part of it.
        {"no separator", " a@localhost ", {"a@localhost"}, {}},
        {"spaces around commas", "a@localhost ,  b@localhost", {"a@localhost", "b@localhost"}, {}},
        {"angle brackets", "A <a@localhost>,B <b@localhost>", {"a@localhost", "b@localhost"}, {}},
        {"comma inside quotes",
         "\"Yamada, Taro\" <a@localhost>, b@localhost",
         {"a@localhost", "b@localhost"},
         {}},
        {"comma inside angle brackets", "<a@localhost,b>", {"a@localhost,b"}, {}},
        {"empty pieces", ",a@localhost,, ,b@localhost,", {"a@localhost", "b@localhost"}, {}},
        {"semicolons",
         "a@localhost; b@localhost",
         {"a@localhost", "b@localhost"},
         {},
         "a@localhost, b@localhost"},
        // The second byte of this katakana is a backslash; it must not escape the quote.
        {"double-byte name",
         Sjis("\"ソ\" <a@localhost>, b@localhost"),
         {"a@localhost", "b@localhost"},
         {},
         "=?ISO-2022-JP?B?GyRCJT0bKEI=?= <a@localhost>, b@localhost"},
        {"refused second address",
         "a@localhost, Bad <bad@localhost>",
         {"a@localhost", "bad@localhost"},
         {"Bad <bad@localhost>"}},
    };
    for (const auto& c : cases) {
        Session s(Overrides{{"RCPT TO:<bad@", "550 no\r\n"}});
        TPostMessage& m = s.smtp.PostMessage;
        m.FromAddress = "me@localhost";
        m.ToAddress.Add(c.entry);
        s.smtp.Connect();
        EXPECT_EQ(Session::ErrorOf([&] { s.smtp.Send(); }), "") << c.what;
        s.smtp.Disconnect();
        const std::string wire = s.Wire();
        std::string rcpts;
        for (const std::string& address : c.rcpts)
            rcpts += "RCPT TO:<" + address + ">\r\n";
        EXPECT_NE(wire.find("MAIL FROM:<me@localhost>\r\n" + rcpts + "DATA\r\n"), std::string::npos)
            << c.what << "\n"
            << wire;
        const std::string header = c.header.empty() ? c.entry : c.header;
        EXPECT_NE(wire.find("\r\nTo: " + header + "\r\n"), std::string::npos) << c.what << wire;
        EXPECT_EQ(s.refused, c.refused) << c.what;
    }
}

TEST(SessionTest, NoReplyToTheEndOfTheMessageIsToldApart) {
    using testsupport::ScriptedPeer;
    const auto silent = [](std::string command) {
        return [command](ScriptedPeer& p) {
            p.Send("220 ready\r\n").ReplyEach(SmtpReplies({{command, ""}}));
        };
    };
    const auto thenEnd = [](std::string reply, bool reset) {
        return [reply, reset](ScriptedPeer& p) {
            p.Send("220 ready\r\n").ReplyUntil(".\r\n", SmtpReplies({{".\r\n", reply}}));
            reset ? p.Reset() : p.Close();
        };
    };
    const std::string noReply = "No reply to the end of the message: ";
    const std::string noProper = "No proper reply to the end of the message: ";
    const struct {
        const char* what;
        Session::Script script;
        std::string error;
        bool unknown;  // the message may have been delivered
        std::vector<int> seconds;
        int64_t atMostMs;
    } cases[] = {
        {"no reply", silent(".\r\n"), noReply + "Socket readln aborted", true, {1, 2}, 4000},
        {"closed", thenEnd("", false), noReply + "the connection was closed", true, {}, 1000},
        {"half a reply, then closed",
         thenEnd("250 o", false),
         noReply + "the connection was closed",
         true,
         {},
         1000},
        {"reset", thenEnd("", true), noReply + "10054:Connection reset by peer", true, {}, 1000},
        {"five digits", thenEnd("40000 held\r\n", false), noProper + "40000 held", true, {}, 1000},
        {"four digits", thenEnd("2500 ok\r\n", false), noProper + "2500 ok", true, {}, 1000},
        {"no reply line", thenEnd("queued\r\n", false), noProper + "queued", true, {}, 1000},
        // Nothing has been accepted yet: the usual wait.
        {"silent before DATA", silent("RCPT"), "Socket readln aborted", false, {}, 2000},
    };
    for (const auto& c : cases) {
        Session s(c.script);
        s.smtp.TimeOut = 300;
        s.smtp.DataTimeOut = 2500;
        std::vector<int> seconds;
        s.smtp.OnReplyWait = [&](int waited) { seconds.push_back(waited); };
        s.FillMessage();
        s.smtp.Connect();
        s.events.clear();
        bool unknown = false;
        const auto started = std::chrono::steady_clock::now();
        const std::string error = Session::ErrorOf([&] {
            try {
                s.smtp.Send();
            } catch (const ENoReplyError&) {
                unknown = true;
                throw;
            }
        });
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(c.atMostMs))
            << c.what;
        EXPECT_EQ(error, c.error) << c.what;
        EXPECT_EQ(unknown, c.unknown) << c.what;
        EXPECT_EQ(s.events, std::vector<std::string>{"start"}) << c.what;
        EXPECT_EQ(seconds, c.seconds) << c.what;
        EXPECT_EQ(s.smtp.TimeOut, 300) << c.what;
        Session::ErrorOf([&] { s.smtp.Disconnect(); });
        s.Wire();
    }
}

TEST(SessionTest, QuitReplyCodes) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"221 bye\r\n", ""}, {"339 odd\r\n", ""}, {"340 odd\r\n", "340 odd\r\n"}};
    for (const auto& [reply, error] : cases) {
        Session s({{"QUIT", reply}});
        s.smtp.Connect();
        EXPECT_EQ(Session::ErrorOf([&] { s.smtp.Disconnect(); }), error) << reply;
        EXPECT_EQ(s.events, (std::vector<std::string>{"connect", "disconnect"})) << reply;
        EXPECT_FALSE(s.smtp.IsConnected);
        s.Wire();
    }
}

struct HeaderCheckCase {
    const char* what;
    std::function<void(TPostMessage&)> spoil;
    // The handler's repair, or none for no handler.
    std::function<void(TPostMessage&)> repair;
    std::vector<int> hiTypes;
    std::string error;
    std::string mailFrom;
};

TEST(SessionTest, IncompleteHeaderAsksOnce) {
    const auto noFrom = [](TPostMessage& m) { m.FromAddress.clear(); };
    const auto noRecipients = [](TPostMessage& m) {
        m.ToAddress.Clear();
        m.ToCarbonCopy.Clear();
        m.ToBlindCarbonCopy.Clear();
    };
    const std::vector<HeaderCheckCase> cases = {
        {"no sender, no handler", noFrom, nullptr, {}, "Incomplete Header", ""},
        {"no sender, handler supplies it",
         noFrom,
         [](TPostMessage& m) { m.FromAddress = "late@localhost"; },
         {1},
         "",
         "MAIL FROM:<late@localhost>"},
        {"no recipient, handler adds one",
         noRecipients,
         [](TPostMessage& m) { m.ToBlindCarbonCopy.Add("d@localhost"); },
         {2},
         "",
         "MAIL FROM:<me@localhost>"},
        {"handler claims a repair it did not make",
         noRecipients,
         [](TPostMessage&) {},
         {2},
         "Incomplete Header",
         ""},
        // It passes the check, but with no RCPT at all the message goes nowhere.
        {"an empty CC entry counts",
         [](TPostMessage& m) {
             m.ToAddress.Clear();
             m.ToBlindCarbonCopy.Clear();
             m.ToCarbonCopy.Clear();
             m.ToCarbonCopy.Add("");
         },
         nullptr,
         {},
         "No recipient was accepted",
         "MAIL FROM:<me@localhost>\r\nRSET\r\nQUIT"},
    };
    for (const HeaderCheckCase& c : cases) {
        Session s;
        s.FillMessage();
        c.spoil(s.smtp.PostMessage);
        std::vector<int> hiTypes;
        if (c.repair) {
            s.smtp.OnHeaderIncomplete = [&](bool& handled, int hiType) {
                hiTypes.push_back(hiType);
                c.repair(s.smtp.PostMessage);
                handled = true;
            };
        }
        s.smtp.Connect();
        EXPECT_EQ(Session::ErrorOf([&] { s.smtp.Send(); }), c.error) << c.what;
        EXPECT_EQ(hiTypes, c.hiTypes) << c.what;
        s.smtp.Disconnect();
        const std::string wire = s.Wire();
        if (!c.mailFrom.empty()) {
            EXPECT_NE(wire.find(c.mailFrom), std::string::npos) << c.what << wire;
        } else {
            EXPECT_EQ(wire, "HELO tester\r\nQUIT\r\n") << c.what;
        }
    }
}

TEST(SessionTest, ClearParamsOffKeepsTheLists) {
    Session s;
    s.FillMessage();
    s.smtp.ClearParams = false;
    s.smtp.Connect();
    s.smtp.Send();
    s.smtp.Disconnect();
    EXPECT_EQ(s.smtp.PostMessage.ToAddress.Count(), 1);
    EXPECT_EQ(s.smtp.PostMessage.ToBlindCarbonCopy.Count(), 1);
    s.Wire();
}

TEST(SessionTest, MissingAttachmentFailsBeforeAnyCommandEvenUnconnected) {
    TZelSMTP smtp(nullptr);
    smtp.PostMessage.FromAddress = "me@localhost";
    smtp.PostMessage.ToAddress.Add("a@localhost");
    smtp.PostMessage.Attachments.Add("/proc/version/not-a-file");
    std::vector<std::string> missing;
    smtp.OnAttachmentNotFound = [&](const std::string& f) { missing.push_back(f); };
    EXPECT_THROW(smtp.Send(), EFOpenError);
    EXPECT_EQ(missing, std::vector<std::string>{"/proc/version/not-a-file"});
    EXPECT_FALSE(smtp.Busy);
}

TEST(SessionTest, HeaderLinesAddedBySendStartAreSentButChecked) {
    for (const std::string extra : {"X-Extra: yes", "X-Bad: a\r\nBcc: evil@localhost"}) {
        Session s;
        s.FillMessage();
        s.smtp.OnSendStart = [&](TObject*) { s.smtp.FinalHeader.Add(extra); };
        s.smtp.Connect();
        const std::string error = Session::ErrorOf([&] { s.smtp.Send(); });
        s.smtp.Disconnect();
        const std::string wire = s.Wire();
        if (extra == "X-Extra: yes") {
            EXPECT_EQ(error, "");
            EXPECT_NE(wire.find("charset=us-ascii\r\nX-Extra: yes\r\n\r\n\r\nbody"),
                      std::string::npos);
        } else {
            EXPECT_EQ(error, "Header line contains a line break or NUL character");
            EXPECT_EQ(wire, "HELO tester\r\n" + std::string(kEnvelope) + "QUIT\r\n");
        }
    }
}

TEST(SessionTest, HeaderLongerThanOneWriteGoesOutWhole) {
    Session s;
    s.FillMessage();
    s.smtp.PostMessage.Subject = std::string(70000, 's');
    s.smtp.Connect();
    s.smtp.Send();
    s.smtp.Disconnect();
    EXPECT_NE(s.Wire().find("Subject: " + std::string(70000, 's') + "\r\nMime-Version: 1.0\r\n"),
              std::string::npos);
}

TEST(SessionTest, LineBreakInEnvelopeAddressSendsNothing) {
    const std::vector<std::function<void(TPostMessage&)>> spoilers = {
        [](TPostMessage& m) { m.ToBlindCarbonCopy.Add("evil@localhost\r\nDATA"); },
        [](TPostMessage& m) { m.ToBlindCarbonCopy.Add("label:x@localhost\nRSET"); },
        [](TPostMessage& m) { m.ToBlindCarbonCopy.Add(std::string("<x@localhost\0>", 14)); },
        // Only the second address of the entry holds the line break.
        [](TPostMessage& m) { m.ToBlindCarbonCopy.Add("<x@localhost>, y@localhost\r\nRSET"); },
    };
    for (const auto& spoil : spoilers) {
        Session s;
        s.FillMessage();
        spoil(s.smtp.PostMessage);
        s.smtp.Connect();
        EXPECT_EQ(Session::ErrorOf([&] { s.smtp.Send(); }),
                  "Recipient address contains a line break or NUL character");
        s.smtp.Disconnect();
        EXPECT_EQ(s.Wire(), "HELO tester\r\nQUIT\r\n");
    }
}

TEST(SessionTest, SendDuringSendDoesNothingConnectDuringSendRuns) {
    Session s;
    s.FillMessage();
    int nested = 0;
    s.smtp.OnPacketSent = [&](TObject*) {
        ++nested;
        s.smtp.Send();
    };
    bool busyInConnect = false;
    s.smtp.OnConnect = [&](TObject*) { busyInConnect = s.smtp.Busy; };
    s.smtp.OnConnectionRequired = [&](bool& handled) {
        s.smtp.Connect();
        handled = true;
    };
    s.smtp.Send();
    s.smtp.Disconnect();
    EXPECT_GE(nested, 1);
    EXPECT_TRUE(busyInConnect) << "a Connect inside Send leaves Busy to the Send";
    EXPECT_FALSE(s.smtp.Busy);
    EXPECT_EQ(s.Wire(), "HELO tester\r\n" + std::string(kEnvelope) + kData + "QUIT\r\n");
}

}  // namespace
