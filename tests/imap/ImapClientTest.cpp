// The IMAP client against a real server started for the test (with certificates made for it),
// and against scripted peers that misbehave.
#include <gtest/gtest.h>

#include <QFile>
#include <chrono>
#include <string>
#include <typeinfo>

#include "imap/ImapClient.h"
#include "jconvert/jconvert.h"
#include "tests/support/AuthorizationServer.h"
#include "tests/support/ImapServer.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/TestCertificates.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The password in every form the client sends it.
bool CarriesSecret(const std::string& text) {
    return Contains(text, kAuthPassword) ||
           Contains(text, Base64Encode(std::string("\0", 1) + kAuthUser + '\0' + kAuthPassword)) ||
           Contains(text, Base64Encode(kAuthPassword));
}

// A message as the SMTP client sends it: ISO-2022-JP escapes, a line that starts with a dot,
// and more than one socket write's worth of content.
std::string Message() {
    std::string message =
        "From: <me@localhost>\r\nTo: to@localhost\r\nSubject: copy\r\n"
        "Message-ID: <1.copy@localhost>\r\nBcc: hidden@localhost\r\n\r\n\r\n"
        "\x1b$B$3$s$K$A$O\x1b(B\r\n.a line with a dot\r\n";
    while (message.size() < 100000)
        message += "0123456789 abcdefghijklmnopqrstuvwxyz ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\n";
    return message;
}

struct Client {
    Client(int port, TImapSecurity security) {
        imap.Host = "127.0.0.1";
        imap.Port = port;
        imap.TimeOut = 5000;
        imap.ReportLevel = 8;  // everything a verbose run would show
        imap.Security = security;
        imap.CAFile = TestCertificates::Path("ca.pem");
        imap.User = kAuthUser;
        imap.Password = kAuthPassword;
        imap.OnStatus = [this](TComponent*, const std::string& s) { statuses += s + "\n"; };
    }
    // The exception of the session, or nullptr.
    std::exception_ptr Save(const std::string& mailbox) {
        try {
            imap.Connect();
            stored = imap.SaveSentCopy(mailbox, Message());
            imap.Disconnect();
        } catch (...) {
            return std::current_exception();
        }
        return nullptr;
    }
    TImapClient imap{nullptr};
    std::string statuses;
    std::string stored;
};

std::string MessageOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        return e.Message();
    }
}

TEST(ImapClientTest, StoresTheCopySeenInTheSentMailbox) {
    ASSERT_FALSE(TestCertificates::Path("ca.pem").empty()) << "the test certificates were not made";
    const struct {
        const char* name;
        TImapSecurity security;
        const char* mechanisms;
        const char* mailbox;
    } cases[] = {
        {"TLS, PLAIN, the \\Sent mailbox", imapTls, "plain login", ""},
        {"STARTTLS, PLAIN, named mailbox", imapStartTls, "plain login", "Sent"},
        {"STARTTLS, LOGIN only", imapStartTls, "login", ""},
    };
    for (const auto& c : cases) {
        ImapServer server(ImapServer::Options{.mechanisms = c.mechanisms});
        ASSERT_TRUE(server.Listening()) << c.name << server.Log();
        Client client(c.security == imapTls ? server.TlsPort : server.StartTlsPort, c.security);
        const std::exception_ptr error = client.Save(c.mailbox);
        EXPECT_FALSE(error) << c.name << ": " << (error ? MessageOf(error) : "") << client.statuses;
        EXPECT_EQ(client.stored, "Sent") << c.name;
        const QStringList stored = server.Stored("Sent");
        ASSERT_EQ(stored.size(), 1) << c.name;
        EXPECT_TRUE(stored[0].endsWith(",S"))
            << c.name << ": not marked seen: " << stored[0].toStdString();
        QFile file(stored[0]);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_TRUE(file.readAll().toStdString() == Message()) << c.name << ": not byte for byte";
        EXPECT_TRUE(Contains(client.statuses, "TLS established")) << c.name;
        EXPECT_FALSE(CarriesSecret(client.statuses + server.Log())) << c.name;
        EXPECT_FALSE(client.imap.IsConnected) << c.name;
    }
}

TEST(ImapClientTest, RefusalsOfTheServerEndTheSession) {
    const struct {
        const char* name;
        ImapServer::Options options;
        const char* mailbox;
        std::string ca;
        const std::type_info& error;
    } cases[] = {
        {"wrong password", {.password = "not-the-password"}, "", "ca.pem", typeid(EImapLoginError)},
        {"no \\Sent and no \"Sent\"",
         {.sentMailbox = false},
         "",
         "ca.pem",
         typeid(EImapAppendError)},
        {"named mailbox missing", {}, "Gesendet", "ca.pem", typeid(EImapAppendError)},
        {"certificate of an unknown CA", {}, "", "otherca.pem", typeid(ECertificateError)},
    };
    for (const auto& c : cases) {
        ImapServer server(c.options);
        ASSERT_TRUE(server.Listening()) << c.name << server.Log();
        Client client(server.TlsPort, imapTls);
        client.imap.CAFile = TestCertificates::Path(c.ca);
        const std::exception_ptr error = client.Save(c.mailbox);
        ASSERT_TRUE(error) << c.name;
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            EXPECT_EQ(typeid(e), c.error) << c.name << ": " << MessageOf(error);
        }
        EXPECT_TRUE(server.Stored("Sent").isEmpty()) << c.name;
        EXPECT_FALSE(CarriesSecret(client.statuses + MessageOf(error) + server.Log())) << c.name;
        EXPECT_FALSE(client.imap.IsConnected) << c.name;
    }
}

// The login with an access token: a refused one is answered as the mechanism asks and a fresh
// one tried once; a fresh one refused too ends the session. (The server makes a second try on
// a connection wait seconds: two cases cover both mechanisms.)
TEST(ImapClientTest, SignsInWithAnAccessToken) {
    const char* fresh = "at-fresh-imap-token";
    const struct {
        const char* name;
        const char* mechanisms;
        std::string refreshed;  // what a fresh token turns out to be
        bool stored;
    } cases[] = {
        {"OAUTHBEARER, stale then fresh", "plain oauthbearer xoauth2", fresh, true},
        {"XOAUTH2, refused twice", "plain xoauth2", "at-also-stale", false},
    };
    const AuthorizationServer checker({"--access-token", fresh});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ImapServer server({.mechanisms = c.mechanisms, .tokenCheckUrl = checker.Url("/tokeninfo")});
        ASSERT_TRUE(server.Listening()) << server.Log();
        Client client(server.TlsPort, imapTls);
        client.imap.OAuth = true;
        client.imap.Password = "at-stale";
        int asked = 0;
        client.imap.OnTokenRefused = [&] {
            ++asked;
            return c.refreshed;
        };
        const std::exception_ptr error = client.Save("");
        EXPECT_EQ(!error, c.stored) << (error ? MessageOf(error) : "") << client.statuses;
        EXPECT_EQ(asked, 1);
        EXPECT_EQ(server.Stored("Sent").size(), c.stored ? 1 : 0);
        if (error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                EXPECT_EQ(typeid(e), typeid(EImapLoginError)) << MessageOf(error);
            }
        }
        const std::string shown = client.statuses + (error ? MessageOf(error) : "");
        EXPECT_FALSE(Contains(shown, "at-stale") || Contains(shown, fresh));
    }
}

const char* kGreeting = "* OK [CAPABILITY IMAP4rev1 STARTTLS AUTH=PLAIN] ready\r\n";

// Whatever such a peer sends, the session ends within its time-out, refused, without the
// password ever leaving the client.
TEST(ImapClientTest, HostilePeersAreBoundedAndRefused) {
    std::string flood;
    for (int i = 0; i < 5000; ++i)
        flood += "* OK more\r\n";
    const struct {
        const char* name;
        std::string afterCapability;  // "": the peer never greets
        std::vector<std::string> pieces;
        const std::type_info& error;
        std::chrono::milliseconds within;
        std::string afterStartTls = "";
    } cases[] = {
        {"no greeting", "", {}, typeid(EImapNoAnswer), 3000ms},
        {"endless untagged lines", flood, {}, typeid(EImapProtocolError), 900ms},
        {"lines trickling past the time-out", "", std::vector<std::string>(40, "* OK wait\r\n"),
         typeid(EImapNoAnswer), 3000ms},
        {"literal announced larger than it is",
         "* CAPABILITY {400}\r\nIMAP4rev1\r\nA1 OK\r\n",
         {},
         typeid(EImapNoAnswer),
         3000ms},
        {"literal larger than any response",
         "* CAPABILITY {99999999}\r\n",
         {},
         typeid(EImapProtocolError),
         900ms},
        {"continuation nobody asked for", "+ go on\r\n", {}, typeid(EImapProtocolError), 900ms},
        {"a stranger's tag", "A7 OK\r\n", {}, typeid(EImapProtocolError), 900ms},
        {"no STARTTLS",
         "* CAPABILITY IMAP4rev1 AUTH=PLAIN\r\nA1 OK\r\n",
         {},
         typeid(EImapError),
         900ms},
        {"bytes injected before the handshake",
         "* CAPABILITY IMAP4rev1 STARTTLS AUTH=PLAIN\r\nA1 OK\r\n",
         {},
         typeid(ETlsError),
         900ms,
         "A2 OK Begin\r\n* OK [CAPABILITY AUTH=PLAIN]\r\n"},
    };
    for (const auto& c : cases) {
        testsupport::ScriptedPeer peer;
        if (!c.afterCapability.empty() || !c.pieces.empty())
            peer.Send(kGreeting).ExpectLine("A1 CAPABILITY");
        if (!c.pieces.empty())
            peer.SendPieces(c.pieces, 100ms);
        else if (!c.afterCapability.empty())
            peer.Send(c.afterCapability);
        if (!c.afterStartTls.empty())
            peer.ExpectLine("A2 STARTTLS").Send(c.afterStartTls);
        peer.Pause(4s);
        peer.Start();
        Client client(peer.Port(), imapStartTls);
        client.imap.TimeOut = 1000;
        const auto started = Clock::now();
        const std::exception_ptr error = client.Save("");
        const auto took = Clock::now() - started;
        ASSERT_TRUE(error) << c.name;
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            EXPECT_EQ(typeid(e), c.error) << c.name << ": " << MessageOf(error);
        }
        EXPECT_LT(took, c.within) << c.name;
        EXPECT_FALSE(CarriesSecret(peer.Received() + client.statuses)) << c.name;
        EXPECT_FALSE(client.imap.IsConnected) << c.name;
    }
}

}  // namespace
