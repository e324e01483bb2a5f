// The token request against a scripted endpoint on loopback: the ways an answer's body may be
// framed, the bounds on it, and TLS with a certificate made for the test run.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "oauth/TokenEndpoint.h"
#include "platform/CodePage.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/TestCertificates.h"

namespace {

using namespace std::chrono_literals;
using testsupport::ScriptedPeer;

const std::string kJson = R"({"access_token":"at-1","token_type":"Bearer","expires_in":60})";
const std::string kOk = "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n";
const std::string kForm = "grant_type=refresh_token&refresh_token=rt%2F1%20x";

std::string Hex(size_t n) {
    char digits[20];
    std::snprintf(digits, sizeof digits, "%zx", n);
    return digits;
}

// Body in chunks of at most Piece bytes, the first with an extension.
std::string Chunked(const std::string& body, size_t piece) {
    std::string chunks;
    for (size_t at = 0; at < body.size(); at += piece) {
        const std::string part = body.substr(at, piece);
        chunks += Hex(part.size()) + (at == 0 ? ";x=1" : "") + "\r\n" + part + "\r\n";
    }
    return chunks + "0\r\n\r\n";
}

std::string Length(const std::string& body) {
    return "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

struct TCase {
    const char* name;
    const char* certificate;  // the peer's over TLS; nullptr: plain http
    std::function<void(ScriptedPeer&)> answer;
    const char* failure;  // nullptr: the grant comes; else part of the message
    std::chrono::milliseconds timeOut = 5s;
};

TEST(TokenEndpoint, AnswersAreReadWhateverTheirFramingAndRefusedPastTheirBounds) {
    const std::string errorJson = R"({"error":"invalid_grant"})";
    const TCase cases[] = {
        // The peer keeps the connection open: only the length can end the answer.
        {"length", nullptr, [](ScriptedPeer& p) { p.Send(kOk + Length(kJson)); }, nullptr},
        {"chunks", nullptr,
         [](ScriptedPeer& p) {
             p.Send(kOk + "Transfer-Encoding: chunked\r\n\r\n" + Chunked(kJson, 7));
         },
         nullptr},
        {"close ends it", nullptr, [](ScriptedPeer& p) { p.Send(kOk + "\r\n" + kJson).Close(); },
         nullptr},
        {"interim answer first", nullptr,
         [](ScriptedPeer& p) { p.Send("HTTP/1.1 100 Continue\r\n\r\n" + kOk + Length(kJson)); },
         nullptr},
        {"https, trusted", "good", [](ScriptedPeer& p) { p.Send(kOk + Length(kJson)); }, nullptr},
        {"https, untrusted", "stranger", [](ScriptedPeer&) {}, "トークンの取得に失敗しました"},
        {"redirect", nullptr,
         [](ScriptedPeer& p) {
             p.Send("HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\nContent-Length: 0\r\n\r\n");
         },
         "HTTP 302"},
        {"provider's refusal", nullptr,
         [&errorJson](ScriptedPeer& p) {
             p.Send("HTTP/1.1 400 Bad Request\r\nTransfer-Encoding: chunked\r\n\r\n" +
                    Chunked(errorJson, 5));
         },
         "invalid_grant"},
        {"chunk past the bound", nullptr,
         [](ScriptedPeer& p) { p.Send(kOk + "Transfer-Encoding: chunked\r\n\r\n200000\r\n{"); },
         "answer too long"},
        {"stream past the bound", nullptr,
         [](ScriptedPeer& p) { p.Send(kOk + "\r\n" + std::string((1 << 20) + 1, ' ')).Close(); },
         "answer too long"},
        // Each piece comes within any one wait; together they take longer than the request may.
        {"slow drip", nullptr,
         [](ScriptedPeer& p) {
             p.SendPieces({kOk, "X-A: 1\r\n", "X-B: 2\r\n", "\r\n"}, 300ms);
         },
         "timed out", 700ms},
    };
    ASSERT_FALSE(TestCertificates::Path("ca.pem").empty());
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        if (c.certificate) {
            const std::string name = c.certificate;
            peer.StartTls(TestCertificates::Path(name + ".pem"),
                          TestCertificates::Path(name + ".key"));
        }
        peer.ExpectLine("POST /token HTTP/1.1\r\n");
        c.answer(peer);
        peer.Start();
        const std::string url =
            std::string(c.certificate ? "https://localhost:" : "http://127.0.0.1:") +
            std::to_string(peer.Port()) + "/token";
        std::string message;
        std::string code;
        TTokenGrant grant;
        try {
            grant =
                RequestTokens(url, {{"grant_type", "refresh_token"}, {"refresh_token", "rt/1 x"}},
                              c.timeOut, TestCertificates::Path("ca.pem"));
        } catch (const ETokenEndpointError& e) {
            message = platform::SjisToUtf8(e.Message());
            code = e.Error;
        } catch (const Exception& e) {
            message = platform::SjisToUtf8(e.Message());
        }
        if (c.failure == nullptr) {
            EXPECT_EQ(message, "");
            EXPECT_TRUE(grant.AccessToken == "at-1");
            EXPECT_EQ(grant.ExpiresIn, 60s);
        } else {
            EXPECT_NE(message.find(c.failure), std::string::npos) << message;
            EXPECT_TRUE(grant.AccessToken.empty());
        }
        EXPECT_EQ(code, std::string(c.name) == "provider's refusal" ? "invalid_grant" : "");
        // The form goes out only to an endpoint whose certificate holds.
        const std::string received = peer.Received();
        const bool formSent = received.ends_with("\r\n\r\n" + kForm);
        EXPECT_EQ(formSent, std::string(c.name) != "https, untrusted");
        if (formSent) {
            const std::string host = c.certificate ? "localhost:" : "127.0.0.1:";
            for (const std::string& header :
                 {"Host: " + host + std::to_string(peer.Port()),
                  std::string("Content-Type: application/x-www-form-urlencoded"),
                  std::string("Accept: application/json"),
                  "Content-Length: " + std::to_string(kForm.size()),
                  std::string("Connection: close")})
                EXPECT_NE(received.find("\r\n" + header + "\r\n"), std::string::npos) << header;
        }
    }
}

}  // namespace
