// tidemark-send against servers that misbehave and input that would smuggle something, on
// loopback: what a user would suffer in memory, time and on the terminal, what reaches the wire,
// and how the password command is handled.
#include <gtest/gtest.h>
#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SendArgs.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/ScriptedSmtp.h"
#include "tests/support/TestCertificates.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using testsupport::ScriptedPeer;
using testsupport::SmtpReplies;
using Clock = std::chrono::steady_clock;
using Script = std::function<void(ScriptedPeer&)>;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool StatusIn(int status, const std::vector<int>& statuses) {
    return statuses.empty() ? status != 0 : std::ranges::count(statuses, status) > 0;
}

std::string Base64(const std::string& bytes) {
    return QByteArray::fromStdString(bytes).toBase64().toStdString();
}

std::string Unbase64(const std::string& text) {
    return QByteArray::fromBase64(QByteArray::fromStdString(text)).toStdString();
}

// Everything the client sent, once it has ended.
std::string Wire(ScriptedPeer& peer) {
    if (peer.Connected())
        peer.Wait(5s);
    return peer.Received();
}

// C0 but tab and line feed, DEL and C1, in the output read as UTF-8.
bool HasControlCharacters(const std::string& shown) {
    const auto codes = QString::fromStdString(shown).toUcs4();
    return std::ranges::any_of(codes, [](char32_t c) {
        return (c < 0x20 && c != '\t' && c != '\n') || (c >= 0x7f && c <= 0x9f);
    });
}

// MAIL or RCPT lines that carry more than the address.
bool Smuggled(const std::vector<std::string>& lines) {
    return std::ranges::any_of(lines, [](std::string line) {
        line.erase(line.find_last_not_of(" \t\r\n") + 1);
        return (line.starts_with("MAIL ") || line.starts_with("RCPT ")) &&
               (line.ends_with("=>") || Contains(line, "> "));
    });
}

// The secrets found in the writable memory of process pid; nothing when it cannot be read (a
// container without the right to trace).
std::optional<std::set<std::string>> SecretsInMemory(pid_t pid,
                                                     const std::vector<std::string>& secrets) {
    const std::string proc = "/proc/" + std::to_string(pid);
    std::ifstream maps(proc + "/maps");
    const int mem = ::open((proc + "/mem").c_str(), O_RDONLY | O_CLOEXEC);
    if (!maps || mem < 0) {
        if (mem >= 0)
            ::close(mem);
        return std::nullopt;
    }
    std::set<std::string> found;
    std::string range, permissions, chunk;
    for (std::string entry; std::getline(maps, entry);) {
        std::istringstream(entry) >> range >> permissions;
        const uint64_t start = std::stoull(range, nullptr, 16);
        const uint64_t end = std::stoull(range.substr(range.find('-') + 1), nullptr, 16);
        // The sanitizer's shadow is huge and holds no bytes of the program's own.
        if (!Contains(permissions, "rw") || end - start > 64 << 20)
            continue;
        chunk.resize(end - start);
        const ssize_t n = ::pread(mem, chunk.data(), chunk.size(), static_cast<off_t>(start));
        chunk.resize(n > 0 ? static_cast<size_t>(n) : 0);
        for (const std::string& secret : secrets) {
            if (Contains(chunk, secret))
                found.insert(secret);
        }
    }
    ::close(mem);
    return found;
}

// The user name and password of the client's AUTH, as the server decodes them.
std::pair<std::string, std::string> Credentials(const std::vector<std::string>& lines) {
    const auto auth = std::ranges::find_if(lines, [](auto& l) { return l.starts_with("AUTH "); });
    if (auth != lines.end() && auth->starts_with("AUTH PLAIN ")) {
        const auto fields = QByteArray::fromStdString(Unbase64(auth->substr(11))).split('\0');
        if (fields.size() == 3)
            return {fields[1].toStdString(), fields[2].toStdString()};
    } else if (lines.end() - auth > 2) {
        return {Unbase64(auth[1]), Unbase64(auth[2])};
    }
    return {};
}

// A server that answers like a willing one after greeting, but for overrides.
Script Willing(testsupport::Overrides overrides = {}, std::string greeting = "220 ready\r\n") {
    return [=](ScriptedPeer& peer) { peer.Send(greeting).ReplyEach(SmtpReplies(overrides)); };
}

// One continuation line every 1.5 s, never the last one, after greeting (and a line when
// afterLine).
Script Drip(std::string greeting, bool afterLine) {
    return [=](ScriptedPeer& peer) {
        peer.Send(greeting);
        if (afterLine)
            peer.ExpectLine();
        for (int i = 0; i < 20; ++i)
            peer.Pause(1500ms).Send("250-still here\r\n");
    };
}

class HostileServer : public testing::Test {
  protected:
    struct Run {
        int status;
        std::string shown;  // standard output and error
        double took;        // seconds
        long peakKiB;
    };

    // Runs tidemark-send against port; an option given in more replaces the usual one. pid, when
    // given, learns the child's process id while it runs.
    Run Send(uint16_t port, const std::vector<std::string>& more,
             const std::string& input = "body\n", std::atomic<pid_t>* pid = nullptr) {
        const std::vector<std::string> args = LocalSendArgs(port, more);
        const auto started = Clock::now();
        ChildProcess child(args,
                           {"XDG_CONFIG_HOME=" + config_.path().toStdString(), "LC_ALL=C.UTF-8"});
        if (pid)
            *pid = child.Pid();
        const int status = child.Finish(input, 20s);
        const std::chrono::duration<double> took = Clock::now() - started;
        return {status, child.Out + child.Err, took.count(), child.PeakKiB};
    }

    QTemporaryDir config_;
};

// Memory and time a server can take from the client before it is given up.
TEST_F(HostileServer, EndlessRepliesAreGivenUpInBoundedMemoryAndTime) {
    const Script flood = [](ScriptedPeer& peer) {
        // Before STARTTLS, so anyone on the path can send it.
        peer.Send("220 ready\r\n")
            .ExpectLine()
            .SendRepeated("250-" + std::string(64 * 1024 - 6, 'x') + "\r\n", 8000)
            .Send("250 STARTTLS\r\n");
    };
    const std::vector<std::string> slow{"--timeout", "2"};
    const std::vector<std::string> slowTls{"--timeout", "2", "--security", "starttls"};
    const std::vector<std::string> tlsTenSeconds{"--security", "starttls", "--timeout", "10"};
    const struct {
        const char* name;
        Script script;
        std::vector<std::string> options;
        std::vector<int> statuses;  // empty: any but 0
        double within;              // seconds
        long peakKiB = 0;           // 0: not measured
    } cases[] = {
        {"8000 EHLO lines of 64 KiB", flood, tlsTenSeconds, {1}, 20, 64 * 1024},
        {"a line every 1.5 s in the greeting", Drip("220-slow\r\n", false), slow, {}, 8},
        {"a line every 1.5 s in the HELO reply", Drip("220 ready\r\n", true), slow, {}, 8},
        {"a line every 1.5 s in the EHLO reply", Drip("220 ready\r\n", true), slowTls, {}, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        c.script(peer);
        peer.Start();
        const Run r = Send(peer.Port(), c.options);
        EXPECT_TRUE(StatusIn(r.status, c.statuses)) << r.status << "\n" << r.shown;
        EXPECT_LT(r.took, c.within);
        if (c.peakKiB > 0) {
            EXPECT_LT(r.peakKiB, c.peakKiB);
        }
    }
}

// What reaches the terminal and the wire when the server's texts or the user's input carry what
// they must not.
TEST_F(HostileServer, NothingHostileReachesTheTerminalOrTheWire) {
    const std::vector<std::string> badPassword{"--security", "starttls", "--auth-user", "u",
                                               "--password-command"};
    const auto with = [](std::vector<std::string> options, std::string more) {
        options.push_back(std::move(more));
        return options;
    };
    const std::string escapes =
        "220 \033]0;owned\x07\033[2J\x9b"
        "31m ready\r\n";
    const testsupport::Overrides escaped{{"HELO", "250 \033c hi\r\n"},
                                         {"MAIL", "550 \033[2J\x07\x7f\x08 refused 宛先不明\r\n"},
                                         {"QUIT", "221 \033]0;bye\x07\r\n"}};
    const std::string refusal = "refused 宛先不明", mayHave = "届いている可能性があります";
    const struct {
        const char* name;
        Script script;
        std::vector<std::string> options;
        std::vector<int> statuses;
        bool silent = false;  // nothing may reach the server
        std::string shows = "";
        std::string input = "body\n";
    } cases[] = {
        // The refusal is still shown, its UTF-8 as UTF-8.
        {"escapes in server texts", Willing(escaped, escapes), {"--verbose"}, {1}, false, refusal},
        {"NUL in the body", Willing(), {}, {0, 2}, false, "", "a\0b\n\0.\nQUIT\n"s},
        {"parameters after --to", Willing(), {"--to", "a@x> NOTIFY=SUCCESS X="}, {0, 2}},
        {"parameters after --email", Willing(), {"--email", "me@x> SIZE=1 X="}, {0, 2}},
        {"a password with a NUL", Willing(), with(badPassword, R"(printf 'a\0b\n')"), {2}, true},
        {"a password with a CR", Willing(), with(badPassword, R"(printf 'a\rb\n')"), {2}, true},
        {"five digits to the end", Willing({{".\r\n", "40000 held\r\n"}}), {}, {3}, false, mayHave},
        {"no reply line to the end", Willing({{".\r\n", "queued\r\n"}}), {}, {3}, false, mayHave},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedPeer peer;
        c.script(peer);
        peer.Start();
        const Run r = Send(peer.Port(), c.options, c.input);
        const std::string wire = Wire(peer);
        EXPECT_TRUE(StatusIn(r.status, c.statuses)) << r.status << "\n" << r.shown;
        EXPECT_TRUE(Contains(r.shown, c.shows)) << r.shown;
        EXPECT_FALSE(HasControlCharacters(r.shown)) << r.shown;
        EXPECT_FALSE(Contains(wire, "\0"s));
        EXPECT_FALSE(Smuggled(peer.ReceivedLines())) << wire;
        if (c.silent) {
            EXPECT_EQ(wire, "");
        }
    }
}

// AUTH over STARTTLS with a user name that is not ASCII, and a password command that leaves a
// child behind. The command line holds the password only in pieces, so any copy found is the
// program's.
TEST_F(HostileServer, AuthKeepsThePasswordToItself) {
    const std::string user = "ユーザー@例え.jp", password = "s3cret-pw";
    // The password and the forms AUTH sends it in.
    const std::vector<std::string> secrets{password, Base64(password),
                                           Base64("\0"s + user + "\0"s + password)};
    const struct {
        const char* mechanism;
        testsupport::Overrides exchanges;  // after the EHLO that offers it
    } cases[] = {
        {"PLAIN", {{"AUTH PLAIN", "235 welcome\r\n"}}},
        {"LOGIN",
         {{"AUTH LOGIN", "334 VXNlcm5hbWU6\r\n"},
          {"", "334 UGFzc3dvcmQ6\r\n"},
          {"", "235 welcome\r\n"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mechanism);
        std::atomic<pid_t> pid{0};
        std::optional<std::set<std::string>> inMemory;
        std::chrono::duration<double> looking{};
        bool looked = false;
        testsupport::Overrides exchanges{{"EHLO", "250-hi\r\n250 AUTH "s + c.mechanism + "\r\n"}};
        exchanges.insert(exchanges.end(), c.exchanges.begin(), c.exchanges.end());
        ScriptedPeer peer;
        peer.Send("220 ready\r\n")
            .Replies({{"EHLO", "250-hi\r\n250 STARTTLS\r\n"}, {"STARTTLS", "220 go\r\n"}})
            .StartTls(TestCertificates::Path("good.pem"), TestCertificates::Path("good.key"))
            .Replies(exchanges)
            .ReplyEach([&, replies = SmtpReplies()](const std::string& line) {
                // While the client waits for the reply to the end of the message, AUTH is
                // long over.
                if (line == ".\r\n") {
                    const auto started = Clock::now();
                    inMemory = SecretsInMemory(pid, secrets);
                    looking = Clock::now() - started;
                    looked = true;
                }
                return replies(line);
            });
        peer.Start();
        const Run r = Send(
            peer.Port(),
            {"--security", "starttls", "--ca-file", TestCertificates::Path("ca.pem"), "--auth-user",
             user, "--password-command", "printf '%s-%s\\n' s3cret pw; (sleep 30 &)"},
            "body\n", &pid);
        EXPECT_TRUE(peer.Wait(5s));  // the reply callback has run and written what it saw
        const auto [sentUser, sentPassword] = Credentials(peer.ReceivedLines());
        // Checked without printing: a failure must not show the password either.
        EXPECT_EQ(r.status, 0);
        EXPECT_TRUE(sentUser == user && sentPassword == password);
        EXPECT_LT(r.took - looking.count(), 15) << looking.count() << " s looking";
        for (const std::string& secret : secrets)
            EXPECT_FALSE(Contains(r.shown, secret));
        EXPECT_TRUE(looked) << "never looked";
        if (looked && !inMemory) {
            std::cout << "skip AUTH " << c.mechanism
                      << ": this process may not read another's memory\n";
        } else if (inMemory) {
            EXPECT_TRUE(inMemory->empty()) << inMemory->size() << " found";
        }
    }
}

TEST_F(HostileServer, SendsOverIpv6Loopback) {
    std::unique_ptr<ScriptedPeer> peer;
    try {
        peer = std::make_unique<ScriptedPeer>(testsupport::Loopback::Ipv6);
    } catch (const std::exception& e) {
        GTEST_SKIP() << "no ::1 here: " << e.what();
    }
    Willing()(*peer);
    peer->Start();
    const Run r = Send(peer->Port(), {"--smtp", "::1"});
    EXPECT_EQ(r.status, 0) << r.shown;
    EXPECT_TRUE(Contains(Wire(*peer), "DATA"));
}

}  // namespace
