// tidemark-send with --security, --auth-user, --password-command and --ca-file against a real
// server that offers STARTTLS and AUTH PLAIN.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SendArgs.h"
#include "smtp/ZelEsmtp.h"
#include "tests/support/SinkProcess.h"
#include "tests/support/TestCertificates.h"

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(SecuredSendCommandTest, OptionsPasswordsAndRefusals) {
    SinkProcess sink(TestCertificates::SinkOptions("good", "starttls", "PLAIN"));
    ASSERT_NE(sink.Port, 0);
    QTemporaryDir config;
    const std::string ca = TestCertificates::Path("ca.pem");
    const std::string fromFile = "cat '" + TestCertificates::Path("password") + "'";
    const struct {
        const char* name;
        std::vector<std::string> options;
        int status;
        std::string out, err;
    } cases[] = {
        {"sent",
         {"--security", "starttls", "--ca-file", ca, "--password-command", fromFile, "--verbose"},
         0,
         "メールを送信したよ。\n",
         "TLS established"},
        {"command fails",
         {"--security", "starttls", "--ca-file", ca, "--password-command", "echo pw; exit 3"},
         2,
         "",
         "--password-command failed"},
        {"command prints nothing",
         {"--security", "starttls", "--ca-file", ca, "--password-command", "true"},
         2,
         "",
         "--password-command failed"},
        {"no keyring",
         {"--security", "starttls", "--ca-file", ca},
         2,
         "パスワードがないので、送信をやめたよ。\n",
         "no password"},
        {"wrong password",
         {"--security", "starttls", "--ca-file", ca, "--password-command", "echo wrong"},
         1,
         "送信に失敗したよ。\n認証に失敗しました：535",
         "535"},
        {"untrusted",
         {"--security", "starttls", "--ca-file", TestCertificates::Path("otherca.pem"),
          "--password-command", fromFile},
         1,
         "送信に失敗したよ。\nサーバーの証明書を確かめられませんでした：証明書の発行元が信頼されて"
         "いません\n",
         "certificate verification failed"},
        {"unknown security", {"--security", "ssl"}, 2, "", "どれでもありません"},
        {"AUTH in clear", {"--security", "none", "--password-command", fromFile}, 2, "", "認証"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> more{"--auth-user", kAuthUser};
        more.insert(more.end(), c.options.begin(), c.options.end());
        const std::vector<std::string> args = LocalSendArgs(sink.Port, more);
        const ChildResult r =
            RunChild(args, "body\n", {"XDG_CONFIG_HOME=" + config.path().toStdString()});
        EXPECT_EQ(r.status, c.status) << c.name;
        EXPECT_TRUE(c.out.empty() ? r.out.empty() : Contains(r.out, c.out)) << c.name;
        EXPECT_TRUE(Contains(r.err, c.err)) << c.name;
        // Checked without printing: a failure must not show the password either.
        const std::string shown = r.out + r.err;
        EXPECT_FALSE(Contains(shown, kAuthPassword) ||
                     Contains(shown, AuthPlainResponse(kAuthUser, kAuthPassword)))
            << c.name;
    }
    EXPECT_EQ(sink.StoredCount(), 1);
    EXPECT_EQ(sink.AuthLog(), "PLAIN ok\nPLAIN refused\n");
}

}  // namespace
