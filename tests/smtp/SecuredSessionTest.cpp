// The extended session: STARTTLS or TLS from the first byte and AUTH, against a real server
// with certificates made for the test, and against scripted peers that misbehave.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "smtp/ZelEsmtp.h"
#include "smtp/Zelsmtp.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/SinkProcess.h"
#include "tests/support/TestCertificates.h"

namespace {

using namespace std::chrono_literals;
using platform::TlsVerifyFailure;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The password in every form the client sends it.
bool CarriesSecret(const std::string& text) {
    return Contains(text, kAuthPassword) ||
           Contains(text, AuthPlainResponse(kAuthUser, kAuthPassword)) ||
           Contains(text, AuthLoginResponse(kAuthPassword));
}

struct Client {
    Client(const std::string& host, int port, TSecurity security) {
        smtp.Host = host;
        smtp.Port = port;
        smtp.TimeOut = 5000;
        smtp.ReportLevel = 8;  // everything a verbose run would show
        smtp.UserID = "tester";
        smtp.Security = security;
        smtp.CAFile = TestCertificates::Path("ca.pem");
        smtp.AuthUser = kAuthUser;
        smtp.AuthPassword = kAuthPassword;
        smtp.OnStatus = [this](TComponent*, const std::string& s) { statuses += s + "\n"; };
        smtp.PostMessage.FromAddress = "me@localhost";
        smtp.PostMessage.ToAddress.Add("to@localhost");
        smtp.PostMessage.Body.Add("secured body");
    }
    // The exception Connect, Send and Disconnect raised, or nullptr.
    std::exception_ptr SendOnce() {
        try {
            smtp.Connect();
            smtp.Send();
            smtp.Disconnect();
        } catch (...) {
            return std::current_exception();
        }
        return nullptr;
    }
    TZelSMTP smtp{nullptr};
    std::string statuses;
};

std::string MessageOf(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const Exception& e) {
        return e.Message();
    }
}

TEST(SecuredSessionTest, SendsThroughSecuredServersWithoutShowingTheSecret) {
    ASSERT_FALSE(TestCertificates::Path("ca.pem").empty()) << "the test certificates were not made";
    const struct {
        const char* name;
        const char* tls;
        const char* mechanisms;
        std::string host;
        TSecurity security;
        const char* authLog;
        const char* sni;  // an address is checked, but not sent as the name
    } cases[] = {
        {"STARTTLS, PLAIN", "starttls", "PLAIN,LOGIN", "127.0.0.1", secStartTls, "PLAIN ok\n",
         "-\n"},
        {"STARTTLS by name", "starttls", "PLAIN", "localhost", secStartTls, "PLAIN ok\n",
         "localhost\n"},
        {"TLS, LOGIN only", "implicit", "LOGIN", "127.0.0.1", secTls, "LOGIN ok\n", "-\n"},
    };
    for (const auto& c : cases) {
        SinkProcess sink(TestCertificates::SinkOptions("good", c.tls, c.mechanisms));
        ASSERT_NE(sink.Port, 0) << c.name;
        Client client(c.host, sink.Port, c.security);
        const std::exception_ptr error = client.SendOnce();
        EXPECT_FALSE(error) << c.name << ": " << (error ? MessageOf(error) : "");
        EXPECT_EQ(sink.AuthLog(), c.authLog) << c.name;
        EXPECT_EQ(sink.SniLog(), c.sni) << c.name;
        EXPECT_TRUE(Contains(sink.Envelope(1).toStdString(), "to@localhost")) << c.name;
        EXPECT_TRUE(Contains(client.statuses, "TLS established")) << c.name;
        EXPECT_FALSE(CarriesSecret(client.statuses)) << c.name;
    }
}

TEST(SecuredSessionTest, RefusedCredentialsAndCertificates) {
    const struct {
        const char* name;
        std::string certificate;
        std::string password;
        TlsVerifyFailure reason;  // None: the credentials were refused
        const char* host = "127.0.0.1";
    } cases[] = {
        {"wrong password", "good", "not-the-password", TlsVerifyFailure::None},
        {"unknown CA", "stranger", kAuthPassword, TlsVerifyFailure::UnknownIssuer},
        {"wrong name", "wrongname", kAuthPassword, TlsVerifyFailure::NameMismatch},
        {"expired", "expired", kAuthPassword, TlsVerifyFailure::Expired},
        {"not yet valid", "future", kAuthPassword, TlsVerifyFailure::NotYetValid},
        {"self-signed", "selfsigned", kAuthPassword, TlsVerifyFailure::SelfSigned},
        {"name as common name only", "cnonly", kAuthPassword, TlsVerifyFailure::NameMismatch,
         "localhost"},
    };
    for (const auto& c : cases) {
        SinkProcess sink(TestCertificates::SinkOptions(c.certificate, "starttls", "PLAIN"));
        ASSERT_NE(sink.Port, 0) << c.name;
        Client client(c.host, sink.Port, secStartTls);
        client.smtp.AuthPassword = c.password;
        const std::exception_ptr error = client.SendOnce();
        ASSERT_TRUE(error) << c.name;
        try {
            std::rethrow_exception(error);
        } catch (const ECertificateError& e) {
            EXPECT_EQ(e.Reason, c.reason) << c.name << ": " << e.Message();
        } catch (const EAuthError& e) {
            EXPECT_EQ(c.reason, TlsVerifyFailure::None) << c.name << ": " << e.Message();
            EXPECT_TRUE(e.Message().starts_with("535")) << c.name << ": " << e.Message();
        } catch (const Exception& e) {
            ADD_FAILURE() << c.name << ": " << e.Message() << client.statuses;
        }
        // A certificate refused means the credentials were never offered.
        EXPECT_EQ(sink.AuthLog(), c.reason == TlsVerifyFailure::None ? "PLAIN refused\n" : "")
            << c.name;
        EXPECT_EQ(sink.StoredCount(), 0) << c.name;
        EXPECT_FALSE(client.smtp.IsConnected) << c.name;
    }
}

// Peers that would get the password sent in clear, or feed replies into the secured session.
TEST(SecuredSessionTest, MisbehavingPeersNeverGetTheCredentials) {
    const std::string ehlo = "250-peer\r\n250-STARTTLS\r\n250 AUTH PLAIN LOGIN\r\n";
    const struct {
        const char* name;
        std::vector<std::pair<std::string, std::string>> exchanges;
        bool closes;  // after the exchanges, or stays silent
        std::string error;
    } cases[] = {
        {"no STARTTLS offered",
         {{"EHLO tester", "250-peer\r\n250 AUTH PLAIN LOGIN\r\n"}, {"QUIT", "221 bye\r\n"}},
         false,
         "The server does not offer STARTTLS"},
        {"STARTTLS refused",
         {{"EHLO tester", ehlo},
          {"STARTTLS", "454 TLS not available\r\n"},
          {"QUIT", "221 bye\r\n"}},
         false,
         "454 TLS not available"},
        {"bytes after the 220",
         {{"EHLO tester", ehlo}, {"STARTTLS", "220 go ahead\r\n250 AUTH PLAIN\r\n"}},
         false,
         "The server sent data before the TLS handshake"},
        {"handshake never answered",
         {{"EHLO tester", ehlo}, {"STARTTLS", "220 go\r\n"}},
         false,
         "TLS Handshake Timed out"},
        {"closed in the handshake",
         {{"EHLO tester", ehlo}, {"STARTTLS", "220 go\r\n"}},
         true,
         "the server closed the connection during the TLS handshake"},
    };
    for (const auto& c : cases) {
        testsupport::ScriptedPeer peer;
        peer.Send("220 peer ready\r\n").Replies(c.exchanges);
        if (c.closes)
            peer.Pause(100ms).Close();
        else
            peer.Pause(3s);
        peer.Start();
        Client client("127.0.0.1", peer.Port(), secStartTls);
        client.smtp.TimeOut = 500;
        const auto started = std::chrono::steady_clock::now();
        const std::exception_ptr error = client.SendOnce();
        ASSERT_TRUE(error) << c.name;
        EXPECT_TRUE(MessageOf(error).starts_with(c.error)) << c.name << ": " << MessageOf(error);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 2s) << c.name;
        EXPECT_FALSE(client.smtp.IsConnected) << c.name;
        EXPECT_FALSE(Contains(peer.Received(), "AUTH")) << c.name;
        EXPECT_FALSE(CarriesSecret(peer.Received() + client.statuses)) << c.name;
    }
}

TEST(SecuredSessionTest, TlsFromTheFirstByteToASilentPeerEndsAtTheTimeOut) {
    testsupport::ScriptedPeer peer;
    peer.Pause(3s);
    peer.Start();
    Client client("127.0.0.1", peer.Port(), secTls);
    client.smtp.TimeOut = 300;
    const auto started = std::chrono::steady_clock::now();
    const std::exception_ptr error = client.SendOnce();
    ASSERT_TRUE(error);
    EXPECT_EQ(MessageOf(error), "TLS Handshake Timed out");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s);
}

TEST(SecuredSessionTest, CredentialsWithoutSecurityAreRefusedBeforeConnecting) {
    testsupport::ScriptedPeer peer;
    peer.Send("220 peer ready\r\n").Pause(1s);
    peer.Start();
    Client client("127.0.0.1", peer.Port(), secNone);
    const std::exception_ptr error = client.SendOnce();
    ASSERT_TRUE(error);
    EXPECT_THROW(std::rethrow_exception(error), EAuthError);
    EXPECT_FALSE(client.smtp.IsConnected);
    EXPECT_EQ(peer.Received(), "");
}

TEST(SecuredSessionTest, EhloKeywordsAndAuthEncoding) {
    const TEhloKeywords offered = ParseEhloReply(
        {"250-mail.example greets you\r\n", "250-8bitmime\r\n", "250-AUTH login Plain\r\n",
         "250-AUTH=LOGIN\r\n", "250-\r\n", "550 not a keyword line\r\n", "250 STARTTLS\r\n"});
    EXPECT_EQ(offered.Keywords, (std::set<std::string>{"8BITMIME", "AUTH", "STARTTLS"}));
    EXPECT_EQ(offered.AuthMechanisms, (std::set<std::string>{"LOGIN", "PLAIN"}));
    EXPECT_TRUE(ParseEhloReply({"250 only the greeting STARTTLS\r\n"}).Keywords.empty());

    const struct {
        std::vector<std::string> reply;
        const char* chosen;
    } choices[] = {
        {{"250-x", "250 AUTH LOGIN PLAIN CRAM-MD5"}, "PLAIN"},
        {{"250-x", "250 AUTH LOGIN"}, "LOGIN"},
        {{"250-x", "250 AUTH CRAM-MD5"}, ""},
        {{"250-x", "250 STARTTLS"}, ""},
    };
    for (const auto& c : choices)
        EXPECT_EQ(ChooseAuthMechanism(ParseEhloReply(c.reply)), c.chosen) << c.reply[1];

    // The example of the PLAIN mechanism's own definition.
    EXPECT_EQ(AuthPlainResponse("tim", "tanstaaftanstaaf"), "AHRpbQB0YW5zdGFhZnRhbnN0YWFm");
    EXPECT_EQ(AuthLoginResponse("user"), "dXNlcg==");
}

TEST(SecuredSession, OAuthMechanismsAndTheirResponses) {
    const struct {
        std::vector<std::string> reply;
        const char* chosen;
    } choices[] = {
        {{"250-x", "250 AUTH PLAIN XOAUTH2 OAUTHBEARER"}, "OAUTHBEARER"},
        {{"250-x", "250 AUTH LOGIN XOAUTH2"}, "XOAUTH2"},
        {{"250-x", "250 AUTH PLAIN LOGIN"}, ""},  // never a password mechanism for a token
    };
    for (const auto& c : choices)
        EXPECT_EQ(ChooseOAuthMechanism(ParseEhloReply(c.reply)), c.chosen) << c.reply[1];

    const struct {
        const char* mechanism;
        const char* user;
        const char* host;
        int port;
        const char* token;
        const char* response;
    } responses[] = {
        // The examples of the mechanisms' own definitions.
        {"OAUTHBEARER", "user@example.com", "server.example.com", 143,
         "vF9dft4qmTc2Nvb3RlckBhbHRhdmlzdGEuY29tCg==",
         "bixhPXVzZXJAZXhhbXBsZS5jb20sAWhvc3Q9c2VydmVyLmV4YW1wbGUuY29tAXBvcnQ9MTQzAWF1dGg9QmVhcmVy"
         "IHZGOWRmdDRxbVRjMk52YjNSbGNrQmhiSFJoZG1semRHRXVZMjl0Q2c9PQEB"},
        {"XOAUTH2", "someuser@example.com", "", 0, "ya29.vF9dft4qmTc2Nvb3RlckBhdHRhdmlzdGEuY29tCg",
         "dXNlcj1zb21ldXNlckBleGFtcGxlLmNvbQFhdXRoPUJlYXJlciB5YTI5LnZGOWRmdDRxbVRjMk52YjNSbGNrQmhk"
         "SFJoZG1semRHRXVZMjl0Q2cBAQ=="},
        // "," and "=" in the user name would end or garble the authzid.
        {"OAUTHBEARER", "a,b=c", "h", 587, "t",
         "bixhPWE9MkNiPTNEYywBaG9zdD1oAXBvcnQ9NTg3AWF1dGg9QmVhcmVyIHQBAQ=="},
    };
    for (const auto& r : responses) {
        EXPECT_EQ(OAuthResponse(r.mechanism, r.user, r.host, r.port, r.token), r.response)
            << r.user;
    }
    EXPECT_EQ(OAuthErrorAnswer("OAUTHBEARER"), "AQ==");
    EXPECT_EQ(OAuthErrorAnswer("XOAUTH2"), "");
}

}  // namespace
