// The sign-in's return address, asked by a client on a thread of its own as a browser would:
// one connection per request, each read to its close.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <string>
#include <vector>

#include "oauth/LoopbackRedirect.h"
#include "platform/CodePage.h"

namespace {

using namespace std::chrono_literals;

// Sends Request to 127.0.0.1:Port and gives the answer's status line; "" when none came.
std::string Ask(uint16_t port, const std::string& request) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    const timeval limit{5, 0};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(s, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
        char buffer[4096];
        for (ssize_t n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;)
            answer.append(buffer, static_cast<size_t>(n));
    }
    close(s);
    return answer.substr(0, answer.find("\r\n"));
}

struct TCase {
    const char* name;
    std::vector<std::string> requests;  // in turn, each on its own connection
    const char* code;                   // nullptr: AwaitCode raises
    const char* failure;                // part of its message
    std::vector<std::string> statuses;  // the status line each request got
};

TEST(LoopbackRedirect, OnlyTheRequestOfThisSignInEndsTheWait) {
    const std::string tooLong = "GET /?" + std::string(20000, 'a');
    const TCase cases[] = {
        {"code after another path",
         {"GET /favicon.ico HTTP/1.1\r\n\r\n",
          "GET /?state=S1&code=c%2F1 HTTP/1.1\r\nHost: x\r\n\r\n"},
         "c/1",
         nullptr,
         {"HTTP/1.1 404 Not Found", "HTTP/1.1 200 OK"}},
        {"another sign-in's state",
         {"GET /?state=S2&code=c HTTP/1.1\r\n\r\n"},
         nullptr,
         "このサインインのものではありません",
         {"HTTP/1.1 400 Bad Request"}},
        {"provider's refusal",
         {"GET /?state=S1&error=access_denied HTTP/1.1\r\n\r\n"},
         nullptr,
         "access_denied",
         {"HTTP/1.1 400 Bad Request"}},
        {"no code",
         {"GET /?state=S1 HTTP/1.1\r\n\r\n"},
         nullptr,
         "コードがありません",
         {"HTTP/1.1 400 Bad Request"}},
        {"oversized, then nothing",
         {tooLong},
         nullptr,
         "来ませんでした",
         {"HTTP/1.1 404 Not Found"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TLoopbackRedirect redirect;
        const std::string uri = redirect.RedirectUri();
        ASSERT_TRUE(uri.starts_with("http://127.0.0.1:") && uri.ends_with("/")) << uri;
        const auto port = static_cast<uint16_t>(std::stoi(uri.substr(17)));
        auto statuses = std::async(std::launch::async, [&c, port] {
            std::vector<std::string> got;
            for (const std::string& request : c.requests)
                got.push_back(Ask(port, request));
            return got;
        });
        std::string code;
        std::string failure;
        try {
            code = redirect.AwaitCode("S1", 1500ms);
            redirect.Finish(true);
        } catch (const Exception& e) {
            failure = platform::SjisToUtf8(e.Message());
        }
        ASSERT_EQ(statuses.wait_for(10s), std::future_status::ready);
        EXPECT_EQ(statuses.get(), c.statuses);
        EXPECT_EQ(code, c.code ? c.code : "");
        if (c.failure) {
            EXPECT_NE(failure.find(c.failure), std::string::npos) << failure;
        } else {
            EXPECT_EQ(failure, "");
        }
    }
}

}  // namespace
