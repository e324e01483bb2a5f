// The extended session against a scripted server over STARTTLS: the grouped commands of a
// server that offers PIPELINING (each TLS record the peer reads is one write of the client),
// the refusals inside a group, and the waits for AUTH and for everything else.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "smtp/Zelsmtp.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/ScriptedSmtp.h"
#include "tests/support/TestCertificates.h"

namespace {

using namespace std::chrono_literals;
using testsupport::Overrides;

const std::string kEhlo = "250-peer\r\n250-STARTTLS\r\n250 AUTH PLAIN\r\n";
const std::string kPipeliningEhlo =
    "250-peer\r\n250-PIPELINING\r\n250-STARTTLS\r\n250 AUTH PLAIN\r\n";
const char* const kGroup =
    "RSET\r\nMAIL FROM:<me@localhost>\r\nRCPT TO:<a@localhost>\r\nRCPT TO:<c@localhost>\r\n"
    "RCPT TO:<d@localhost>\r\nDATA\r\n";

// A server that answers lines through SmtpReplies(overrides) once the client has secured the
// connection and logged in; Delay holds back the reply to lines starting with DelayedPrefix.
struct SecuredPeer {
    SecuredPeer(const std::string& ehlo, Overrides overrides, std::string delayedPrefix = "",
                std::chrono::milliseconds delay = 0ms) {
        overrides.push_back({"EHLO", ehlo});
        overrides.push_back({"AUTH PLAIN", "235 welcome\r\n"});
        auto replies = testsupport::SmtpReplies(std::move(overrides));
        peer.Send("220 peer ready\r\n")
            .Replies({{"EHLO tester", ehlo}, {"STARTTLS", "220 go\r\n"}})
            .StartTls(TestCertificates::Path("good.pem"), TestCertificates::Path("good.key"))
            .ReplyEach([=](const std::string& line) {
                if (!delayedPrefix.empty() && line.starts_with(delayedPrefix))
                    std::this_thread::sleep_for(delay);
                return replies(line);
            });
        peer.Start();
        smtp.Host = "127.0.0.1";
        smtp.Port = peer.Port();
        smtp.TimeOut = 5000;
        smtp.UserID = "tester";
        smtp.Security = secStartTls;
        smtp.CAFile = TestCertificates::Path("ca.pem");
        smtp.AuthUser = kAuthUser;
        smtp.AuthPassword = kAuthPassword;
        smtp.OnRecipientNotFound = [this](const std::string& r) { refused.push_back(r); };
        testsupport::FillTestMessage(smtp.PostMessage);
    }

    // Connect, Send and Disconnect as the send flow calls them; the message of the first
    // Exception ("" when none). Disconnect runs after a failed Send too.
    std::string SendOnce() {
        std::string error;
        try {
            smtp.Connect();
            smtp.Send();
        } catch (const Exception& e) {
            error = e.Message();
        }
        try {
            if (smtp.IsConnected)
                smtp.Disconnect();
        } catch (const Exception& e) {
            error = error.empty() ? "Disconnect: " + e.Message() : error;
        }
        EXPECT_TRUE(peer.Wait(10s));
        return error;
    }

    // The reads after the login, one write of the client each; the writes of the header and
    // the body, whose split does not matter here, as one "@content".
    std::vector<std::string> WritesAfterLogin() const {
        std::vector<std::string> writes;
        bool loggedIn = false;
        bool inContent = false;
        for (const std::string& read : peer.Reads()) {
            inContent = read.starts_with("From: ") || (inContent && !read.starts_with(".\r\n"));
            if (loggedIn && !(inContent && writes.back() == "@content"))
                writes.push_back(inContent ? "@content" : read);
            loggedIn = loggedIn || read.starts_with("AUTH PLAIN");
        }
        return writes;
    }

    testsupport::ScriptedPeer peer;
    TZelSMTP smtp{nullptr};
    std::vector<std::string> refused;
};

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The RCPT commands of both dialogues name exactly the addresses typed in To, CC and BCC, in
// either charset, whatever the quotes, comments and separators around them.
TEST(PipeliningTest, EveryTypedRecipientGetsItsRcpt) {
    ASSERT_FALSE(TestCertificates::Path("ca.pem").empty()) << "the test certificates were not made";
    const struct {
        std::string to, cc, bcc;  // UTF-8 in the source
        std::vector<std::string> rcpt;
    } cases[] = {
        {"x@example.jp", "",
         "\"山田 太郎\" <a@example.jp>; b@example.jp, \"ｶﾀｶﾅ\" <c@example.jp>",
         {"x@example.jp", "a@example.jp", "b@example.jp", "c@example.jp"}},
        {"\"Support <support@bank.jp>\" <attacker@evil.jp>", "\"<<Shop>>\" <s@x.jp>",
         "a@x.jp (Re:x), <b@x.jp> (Yamada,Taro)",
         {"attacker@evil.jp", "s@x.jp", "a@x.jp", "b@x.jp"}},
        {"a@x.jp(Taro)", "\"表示, ソ\" <c@x.jp>; d@x.jp (部長)", "e@x.jp (Taro)",
         {"a@x.jp", "c@x.jp", "d@x.jp", "e@x.jp"}},
    };
    for (const auto& c : cases) {
        for (const bool utf8 : {false, true}) {
            for (const std::string& ehlo : {kEhlo, kPipeliningEhlo}) {
                SecuredPeer p(ehlo, {});
                TPostMessage& m = p.smtp.PostMessage;
                const auto text = [utf8](const std::string& t) {
                    return utf8 ? t : platform::Sjis(t);
                };
                p.smtp.TextIsUtf8 = utf8;
                m.ToAddress.Clear();
                m.ToAddress.Add(text(c.to));
                m.ToCarbonCopy.Clear();
                m.ToCarbonCopy.Add(text(c.cc));
                m.ToBlindCarbonCopy.Clear();
                m.ToBlindCarbonCopy.Add(text(c.bcc));
                const std::string what = c.to + (utf8 ? " UTF-8" : " JIS") +
                                         (ehlo == kEhlo ? "" : " pipelined");
                EXPECT_EQ(p.SendOnce(), "") << what;
                std::vector<std::string> rcpt;
                for (const std::string& read : p.peer.Reads()) {
                    for (size_t at = read.find("RCPT TO:<"); at != std::string::npos;
                         at = read.find("RCPT TO:<", at + 1))
                        rcpt.push_back(read.substr(at + 9, read.find(">\r\n", at) - at - 9));
                }
                EXPECT_EQ(rcpt, c.rcpt) << what;
            }
        }
    }
}

TEST(PipeliningTest, GroupsAndRefusalsInsideThem) {
    ASSERT_FALSE(TestCertificates::Path("ca.pem").empty()) << "the test certificates were not made";
    const std::string allRefused = "550 no such user\r\n";
    const struct {
        const char* name;
        std::string ehlo;
        Overrides overrides;
        std::string error;  // "" when the message was accepted
        std::vector<std::string> refused;
        std::vector<std::string> writes;  // the client's writes after AUTH, in order
    } cases[] = {
        {"accepted", kPipeliningEhlo, {}, "", {}, {kGroup, "@content", ".\r\nQUIT\r\n"}},
        {"one recipient refused",
         kPipeliningEhlo,
         {{"RCPT TO:<c@", allRefused}},
         "",
         {"Cc Person <c@localhost>"},
         {kGroup, "@content", ".\r\nQUIT\r\n"}},
        {"MAIL refused",
         kPipeliningEhlo,
         {{"MAIL", "553 sender refused\r\n"},
          {"RCPT", "503 need MAIL\r\n"},
          {"DATA", "503 need RCPT\r\n"}},
         "553 sender refused\r\n",
         {},
         {kGroup, "QUIT\r\n"}},
        {"every recipient refused",
         kPipeliningEhlo,
         {{"RCPT", allRefused}, {"DATA", "554 no valid recipients\r\n"}},
         "No recipient was accepted",
         {"a@localhost", "Cc Person <c@localhost>", "d@localhost"},
         {kGroup, "RSET\r\n", "QUIT\r\n"}},
        {"every recipient refused, DATA accepted",
         kPipeliningEhlo,
         {{"RCPT", allRefused}},
         "No recipient was accepted",
         {"a@localhost", "Cc Person <c@localhost>", "d@localhost"},
         {kGroup}},
        {"DATA refused",
         kPipeliningEhlo,
         {{"DATA", "451 later\r\n"}},
         "451 later\r\n",
         {},
         {kGroup, "QUIT\r\n"}},
        // A "." alone would end the content and could deliver an empty message: the client
        // closes the connection inside it instead.
        {"DATA accepted after MAIL refused",
         kPipeliningEhlo,
         {{"MAIL", "553 sender refused\r\n"}},
         "553 sender refused\r\n",
         {},
         {kGroup}},
        {"no PIPELINING offered",
         kEhlo,
         {},
         "",
         {},
         {"RSET\r\n", "MAIL FROM:<me@localhost>\r\n", "RCPT TO:<a@localhost>\r\n",
          "RCPT TO:<c@localhost>\r\n", "RCPT TO:<d@localhost>\r\n", "DATA\r\n", "@content", ".\r\n",
          "QUIT\r\n"}},
    };
    for (const auto& c : cases) {
        SecuredPeer s(c.ehlo, c.overrides);
        EXPECT_EQ(s.SendOnce(), c.error) << c.name;
        EXPECT_EQ(s.peer.Failures(), std::vector<std::string>{}) << c.name;
        EXPECT_EQ(s.refused, c.refused) << c.name;
        ASSERT_EQ(s.smtp.RefusedRecipients.size(), c.refused.size()) << c.name;
        for (const TRefusedRecipient& r : s.smtp.RefusedRecipients)
            EXPECT_EQ(r.Reply, "550 no such user") << c.name;
        EXPECT_EQ(s.WritesAfterLogin(), c.writes) << c.name;
        EXPECT_EQ(Count(s.peer.Received(), "QUIT\r\n"), c.writes.back() == kGroup ? 0u : 1u)
            << c.name;
        EXPECT_FALSE(s.smtp.IsConnected) << c.name;
    }
}

// Never more commands in flight than the cap, and the window refilled as replies come, so a
// long recipient list neither stalls both sides nor costs a round trip per hundred.
TEST(PipeliningTest, LongRecipientListsGoOutInBoundedGroups) {
    SecuredPeer s(kPipeliningEhlo, {});
    s.smtp.PostMessage.ToCarbonCopy.Clear();
    s.smtp.PostMessage.ToBlindCarbonCopy.Clear();
    for (int i = 1; i < 250; ++i)
        s.smtp.PostMessage.ToAddress.Add("r" + std::to_string(i) + "@localhost");
    EXPECT_EQ(s.SendOnce(), "");
    const std::vector<std::string> writes = s.WritesAfterLogin();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(Count(writes.front(), "\r\n"), 100u);
    size_t commands = 0;
    for (const std::string& w : writes) {
        if (w == "@content")
            break;
        EXPECT_LE(Count(w, "\r\n"), 100u);
        commands += Count(w, "\r\n");
    }
    EXPECT_EQ(commands, 253u);  // RSET, MAIL, 250 RCPT, DATA
}

// A server may hold its answer to AUTH for seconds after failed logins; every other reply keeps
// the usual wait.
TEST(PipeliningTest, OnlyTheReplyToAuthWaitsLonger) {
    const struct {
        const char* name;
        const char* delayed;
        int32_t authTimeOut;
        bool sent;
    } cases[] = {
        {"AUTH answered within its wait", "AUTH", 3000, true},
        {"AUTH answered too late", "AUTH", 400, false},
        {"EHLO answered past TimeOut", "EHLO", 3000, false},
        {"RSET answered past TimeOut", "RSET", 3000, false},
    };
    for (const auto& c : cases) {
        SecuredPeer s(kPipeliningEhlo, {}, c.delayed, 1000ms);
        s.smtp.TimeOut = 400;
        s.smtp.AuthTimeOut = c.authTimeOut;
        const std::string error = s.SendOnce();
        EXPECT_EQ(error.empty(), c.sent) << c.name << ": " << error;
        EXPECT_EQ(s.peer.Failures().empty(), c.sent) << c.name;
        EXPECT_EQ(s.smtp.TimeOut, 400) << c.name;
    }
}

}  // namespace
