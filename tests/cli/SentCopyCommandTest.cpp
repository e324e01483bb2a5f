// tidemark-send --save-sent against a real SMTP server and a real IMAP server: the copy lands in
// the Sent mailbox, and a copy that cannot be kept leaves exit status 0 with a warning.
#include <gtest/gtest.h>

#include <QFile>
#include <cctype>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SendArgs.h"
#include "tests/support/ImapServer.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/SinkProcess.h"
#include "tests/support/TestCertificates.h"

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(SentCopyCommandTest, CopiesAndWarnings) {
    SinkProcess sink(TestCertificates::SinkOptions("good", "starttls", "PLAIN"));
    ASSERT_NE(sink.Port, 0);
    ImapServer imap;
    ASSERT_TRUE(imap.Listening()) << imap.Log();
    QTemporaryDir config;
    const std::string fromFile = "cat '" + TestCertificates::Path("password") + "'";
    const QString attached = config.filePath("note.txt");
    QFile note(attached);
    ASSERT_TRUE(note.open(QIODevice::WriteOnly) && note.write("attached words") > 0);
    note.close();
    const std::string warning =
        "tidemark-send: warning: the message was sent, but its copy was "
        "not kept in the Sent mailbox: ";
    const struct {
        const char* name;
        std::vector<std::string> options;
        int status;
        std::string err;  // "": no warning
        int copies;       // in the Sent mailbox afterwards
    } cases[] = {
        {"STARTTLS, with a file",
         {"--imap-security", "starttls", "--imap-port", std::to_string(imap.StartTlsPort),
          "--attach", attached.toStdString()},
         0,
         "",
         1},
        {"SSL/TLS, the default", {"--imap-port", std::to_string(imap.TlsPort)}, 0, "", 2},
        {"refused login",
         {"--imap-port", std::to_string(imap.TlsPort), "--imap-user", "someone-else"},
         0,
         warning + "IMAP サーバーがログインを拒否しました",
         2},
        {"unusable IMAP port", {"--imap-port", "99999"}, 2, "ポート番号 99999", 2},
        {"unknown IMAP protection", {"--imap-security", "none"}, 2, "IMAP の接続の保護", 2},
    };
    int accepted = 0;
    for (const auto& c : cases) {
        std::vector<std::string> more{"--bcc",
                                      "hidden@localhost",
                                      "--security",
                                      "starttls",
                                      "--auth-user",
                                      kAuthUser,
                                      "--ca-file",
                                      TestCertificates::Path("ca.pem"),
                                      "--password-command",
                                      fromFile,
                                      "--save-sent",
                                      "--verbose"};
        more.insert(more.end(), c.options.begin(), c.options.end());
        const std::vector<std::string> args = LocalSendArgs(sink.Port, more);
        const ChildResult r =
            RunChild(args, "body\n", {"XDG_CONFIG_HOME=" + config.path().toStdString()});
        EXPECT_EQ(r.status, c.status) << c.name << r.err;
        if (c.status == 0) {
            EXPECT_EQ(sink.StoredCount(), ++accepted) << c.name;
        }
        EXPECT_EQ(Contains(r.err, warning), c.status == 0 && !c.err.empty()) << c.name << r.err;
        if (!c.err.empty()) {
            EXPECT_TRUE(Contains(r.err, c.err)) << c.name << r.err;
        }
        EXPECT_EQ(imap.Stored("Sent").size(), c.copies) << c.name;
        EXPECT_FALSE(Contains(r.out + r.err, kAuthPassword)) << c.name;
    }
    // The copy names the blind-copy recipient the header sent to the server leaves out, and
    // carries the parts the server got.
    QFile copy(imap.Stored("Sent").value(0));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    const QByteArray kept = copy.readAll();
    EXPECT_TRUE(kept.contains("\r\nBcc: hidden@localhost\r\n"));
    EXPECT_TRUE(kept.contains("filename=\"note.txt\"\r\n\r\n" +
                              QByteArray("attached words").toBase64() + "\r\n"));
    EXPECT_FALSE(Contains(imap.Log(), kAuthPassword));
}

// What a hostile IMAP server says reaches standard output and standard error without its
// terminal controls, its UTF-8 read as UTF-8, and without the password it echoes, in whatever
// case or part.
TEST(SentCopyCommandTest, AnImapServersWordsArriveTamed) {
    SinkProcess sink;
    ASSERT_NE(sink.Port, 0);
    const std::string password = kAuthPassword;
    std::string shouted = password;
    for (char& c : shouted)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    testsupport::ScriptedPeer imap;
    imap.Send("* OK ready \x1b]0;owned\x07\r\n")
        .Replies({{"A1 CAPABILITY", "* CAPABILITY IMAP4rev1 STARTTLS AUTH=PLAIN\r\nA1 OK\r\n"},
                  {"A2 STARTTLS", "A2 OK begin\r\n"}})
        .StartTls(TestCertificates::Path("good.pem"), TestCertificates::Path("good.key"))
        .Replies({{"A3 CAPABILITY", "* CAPABILITY IMAP4rev1 AUTH=PLAIN\r\nA3 OK\r\n"},
                  {"A4 AUTHENTICATE PLAIN", "+ \r\n"},
                  {"", "A4 NO ログインできません\x1b[2J\x07 " + shouted + " (" +
                           password.substr(4, 9) + ")\r\n"},
                  {"A5 LOGOUT", "* BYE \x1b[5m\r\nA5 OK\r\n"}});
    imap.Start();
    QTemporaryDir config;
    const ChildResult r =
        RunChild(LocalSendArgs(sink.Port, {"--save-sent", "--imap-host", "127.0.0.1", "--imap-port",
                                           std::to_string(imap.Port()), "--imap-security",
                                           "starttls", "--imap-user", kAuthUser, "--ca-file",
                                           TestCertificates::Path("ca.pem"), "--password-command",
                                           "echo '" + password + "'", "--verbose"}),
                 "body\n", {"XDG_CONFIG_HOME=" + config.path().toStdString()});
    EXPECT_EQ(0, r.status) << r.err;
    const std::string both = r.out + r.err;
    EXPECT_TRUE(
        Contains(r.err, "IMAP サーバーがログインを拒否しました（ログインできません?[2J? ***"))
        << r.err;
    for (const std::string& hidden :
         {std::string("\x1b"), std::string("\x07"), password, shouted, password.substr(4, 9)})
        EXPECT_FALSE(Contains(both, hidden)) << both;
}

}  // namespace
