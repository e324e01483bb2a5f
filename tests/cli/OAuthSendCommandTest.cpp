// tidemark-send with --auth-method oauth and a token command against servers shaped like the
// providers: one that answers a refused token with an error challenge first, one that refuses
// at once and offers LOGIN beside XOAUTH2.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SendArgs.h"
#include "tests/support/AuthorizationServer.h"
#include "tests/support/ImapServer.h"
#include "tests/support/SinkProcess.h"
#include "tests/support/TestCertificates.h"

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

void Write(const QString& path, const std::string& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
}

TEST(OAuthSendCommandTest, TokenCommandAgainstProviderShapedServers) {
    const char* googleLike = "continuation";
    const char* microsoftLike = "immediate";
    const std::string fresh = "ya29.fresh-token";
    const std::string longToken = "eyJ0" + std::string(5120, 'x');
    const struct {
        const char* name;
        const char* mechanisms;
        const char* refusal;
        const char* script;  // what the command does on each run; $n counts the runs before
        std::string accepted;
        int status;
        int runs;
        std::string authLog;
        std::string out;
    } cases[] = {
        {"stale then fresh, error challenge", "OAUTHBEARER,XOAUTH2,PLAIN", googleLike,
         "if [ $n = 0 ]; then echo stale-token; else cat \"$dir/fresh\"; fi", fresh, 0, 2,
         "OAUTHBEARER refused inline answer=AQ==\nOAUTHBEARER ok inline\n", "送信したよ"},
        {"stale then fresh, XOAUTH2 challenge", "XOAUTH2,PLAIN", googleLike,
         "if [ $n = 0 ]; then echo stale-token; else cat \"$dir/fresh\"; fi", fresh, 0, 2,
         "XOAUTH2 refused inline answer=empty\nXOAUTH2 ok inline\n", "送信したよ"},
        {"stale then fresh, refused at once", "LOGIN,XOAUTH2", microsoftLike,
         "if [ $n = 0 ]; then echo stale-token; else cat \"$dir/fresh\"; fi", fresh, 0, 2,
         "XOAUTH2 refused inline\nXOAUTH2 ok inline\n", "送信したよ"},
        {"never accepted", "OAUTHBEARER,XOAUTH2,PLAIN", googleLike, "echo stale-token", fresh, 1, 2,
         "OAUTHBEARER refused inline answer=AQ==\nOAUTHBEARER refused inline answer=AQ==\n",
         "アクセストークンが受け付けられませんでした"},
        {"command fails", "LOGIN,XOAUTH2", microsoftLike, "echo stale-token; exit 3", fresh, 2, 1,
         "", "アクセストークンがないので"},
        {"command prints nothing", "LOGIN,XOAUTH2", microsoftLike, "true", fresh, 2, 1, "", ""},
        {"5 KB token", "LOGIN,XOAUTH2", microsoftLike, "cat \"$dir/fresh\"", longToken, 0, 1,
         "XOAUTH2 ok challenged\n", "送信したよ"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString tokens = dir.filePath("tokens");
        Write(tokens, c.accepted + "\n");
        Write(dir.filePath("fresh"), c.accepted + "\n");
        SinkProcess sink(TestCertificates::SinkOptions("good", "starttls", c.mechanisms)
                         << "--token-file" << tokens << "--token-refusal" << c.refusal);
        ASSERT_NE(sink.Port, 0);
        // The command counts its own runs in a file beside the tokens.
        const std::string command = "dir='" + dir.path().toStdString() +
                                    "'; n=$(cat \"$dir/runs\" 2>/dev/null || echo 0); "
                                    "echo $((n + 1)) >\"$dir/runs\"; " +
                                    c.script;
        const ChildResult r =
            RunChild(LocalSendArgs(sink.Port, {"--security", "starttls", "--ca-file",
                                               TestCertificates::Path("ca.pem"), "--auth-user",
                                               kAuthUser, "--auth-method", "oauth",
                                               "--oauth-token-command", command, "--verbose"}),
                     "body\n", {"XDG_CONFIG_HOME=" + dir.filePath("config").toStdString()});
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_EQ(Read(dir.filePath("runs")), std::to_string(c.runs) + "\n");
        EXPECT_EQ(sink.AuthLog(), c.authLog);
        EXPECT_EQ(sink.StoredCount(), c.status == 0 ? 1 : 0);
        EXPECT_TRUE(Contains(r.out, c.out)) << r.out;
        // Checked without printing: no token shows, however the run ended.
        const std::string shown = r.out + r.err;
        EXPECT_FALSE(Contains(shown, "stale-token") || Contains(shown, c.accepted));
    }
}

// The Sent copy of the same user signs in to IMAP with the token AUTH took: no second run.
TEST(OAuthSendCommandTest, SentCopySignsInWithTheSameToken) {
    const char* token = "at-shared-token";
    const AuthorizationServer checker({"--access-token", token});
    ImapServer imap(
        {.mechanisms = "plain xoauth2 oauthbearer", .tokenCheckUrl = checker.Url("/tokeninfo")});
    ASSERT_TRUE(imap.Listening()) << imap.Log();
    QTemporaryDir dir;
    Write(dir.filePath("tokens"), std::string(token) + "\n");
    SinkProcess sink(TestCertificates::SinkOptions("good", "starttls", "LOGIN,XOAUTH2")
                     << "--token-file" << dir.filePath("tokens") << "--token-refusal"
                     << "immediate");
    ASSERT_NE(sink.Port, 0);
    const std::string command =
        "echo x >>'" + dir.filePath("runs").toStdString() + "'; echo " + token;
    const ChildResult r = RunChild(
        LocalSendArgs(sink.Port,
                      {"--security", "starttls", "--ca-file", TestCertificates::Path("ca.pem"),
                       "--auth-user", kAuthUser, "--auth-method", "oauth", "--oauth-token-command",
                       command, "--save-sent", "--imap-port", std::to_string(imap.TlsPort)}),
        "body\n", {"XDG_CONFIG_HOME=" + dir.filePath("config").toStdString()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_FALSE(Contains(r.err, "warning")) << r.err;
    EXPECT_EQ(imap.Stored("Sent").size(), 1);
    EXPECT_EQ(Read(dir.filePath("runs")), "x\n");
    EXPECT_FALSE(Contains(r.out + r.err + imap.Log(), token));
}

}  // namespace
