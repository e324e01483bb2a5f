// The send flow with a copy to the Sent mailbox: a real SMTP server and a real IMAP server on
// loopback. The copy is what the SMTP server received plus the Bcc line; a copy that cannot be
// kept leaves the send a success with a warning; a failed send keeps no copy.
#include <gtest/gtest.h>

#include <QFile>
#include <optional>

#include "app/SendFlow.h"
#include "platform/Application.h"
#include "platform/RegIniFile.h"
#include "smtp/Zelsmtp.h"
#include "tests/support/ImapServer.h"
#include "tests/support/KeptPasswords.h"
#include "tests/support/RecordingMessageBoxes.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/SinkProcess.h"
#include "tests/support/TempSettings.h"
#include "tests/support/TestCertificates.h"

namespace {

class Fields : public TComposeFields {
  public:
    bool ToAddressEmpty() const override { return false; }
    std::string ToAddress() const override { return "to@localhost"; }
    std::string ToCarbonCopy() const override { return cc; }
    std::string ToBlindCarbonCopy() const override { return "hidden@localhost, other@localhost"; }
    std::string Subject() const override { return "copy"; }
    // A line that goes out dot-stuffed, and one the copy must keep as it is.
    std::vector<std::string> BodyLines() const override { return {".dot", "body", ""}; }
    void ClearFields() override {}
    void SetAddressFields(const std::string&, const std::string&, const std::string&) override {}
    void SetStatusText(const std::string& text) override { statuses += text + "\n"; }
    std::optional<std::string> AskPassword(const std::string&) override { return std::nullopt; }
    std::string statuses;
    std::string cc = "cc@localhost";
};

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray WithoutBccLine(QByteArray copy) {
    const qsizetype at = copy.indexOf("\r\nBcc: ");
    if (at < 0)
        return copy;
    return copy.remove(at, copy.indexOf("\r\n", at + 2) - at);
}

class SentCopyFlowTest : public testing::Test {
  protected:
    void Store(int smtpPort, const std::map<std::string, std::string>& copy) {
        TRegIniFile ini;
        ini.WriteString("Settings", "Email", "me@localhost");
        ini.WriteString("Settings", "Smtp", "127.0.0.1");
        ini.WriteString("Settings", "Port", std::to_string(smtpPort));
        ini.WriteString("Settings", "Security", "starttls");
        ini.WriteString("Settings", "AuthUser", kAuthUser);
        ini.WriteString("Settings", "CAFile", TestCertificates::Path("ca.pem"));
        ini.WriteString("Settings", "SaveSent", "1");
        for (const char* name : {"ImapHost", "ImapPort", "ImapSecurity", "ImapUser", "SentFolder"})
            ini.WriteString("Settings", name, copy.contains(name) ? copy.at(name) : "");
    }
    void Press() {
        boxes.boxes.clear();
        try {
            flow.Send();
        } catch (const std::exception& e) {
            platform::HandleException(e);
        }
    }

    TempSettings settings;
    RecordingMessageBoxes boxes;
    KeptPasswords store;
    Fields fields;
    TZelSMTP ZelSMTP1{nullptr};
    TSendFlow flow{ZelSMTP1, fields};
};

TEST_F(SentCopyFlowTest, TheCopyIsTheAcceptedMessageWithItsBccLine) {
    SinkProcess sink(TestCertificates::SinkOptions("good", "starttls", "PLAIN"));
    ASSERT_NE(sink.Port, 0);
    store.passwords[std::string(kAuthUser) + "@127.0.0.1"] = kAuthPassword;
    store.passwords["archive@127.0.0.1"] = "Other-Secret9";
    const struct {
        const char* name;
        ImapServer::Options server;
        const char* security;
        bool startTlsPort;
        const char* user;
        const char* cc;
        TSendOutcome outcome;
    } cases[] = {
        {"SSL/TLS, the AUTH user and password",
         {},
         "tls",
         false,
         "",
         "cc@localhost",
         TSendOutcome::Sent},
        {"STARTTLS", {}, "starttls", true, "", "cc@localhost", TSendOutcome::Sent},
        {"another user: its keyring entry",
         {.user = "archive", .password = "Other-Secret9"},
         "",
         false,
         "archive",
         "cc@localhost",
         TSendOutcome::Sent},
        // The message went out to the others: their copy is kept all the same.
        {"a refused CC", {}, "tls", false, "", "unknown@localhost", TSendOutcome::SentToSome},
    };
    int sent = 0;
    for (const auto& c : cases) {
        ImapServer imap(c.server);
        ASSERT_TRUE(imap.Listening()) << c.name;
        const int port = c.startTlsPort ? imap.StartTlsPort : imap.TlsPort;
        Store(sink.Port, {{"ImapPort", std::to_string(port)},
                          {"ImapSecurity", c.security},
                          {"ImapUser", c.user}});
        fields.cc = c.cc;
        Press();
        EXPECT_EQ(flow.LastOutcome(), c.outcome) << c.name;
        ASSERT_FALSE(boxes.Texts().empty()) << c.name;
        EXPECT_TRUE(boxes.Texts()[0].starts_with("メールを送信したよ。")) << c.name;
        EXPECT_EQ(boxes.Texts().size(), 1u) << c.name;
        EXPECT_EQ(flow.SentCopyWarning(), "") << c.name;
        const QStringList stored = imap.Stored("Sent");
        ASSERT_EQ(stored.size(), 1) << c.name << fields.statuses;
        EXPECT_TRUE(stored[0].endsWith(",S")) << c.name;
        const QByteArray copy = Read(stored[0]);
        const QByteArray accepted = Read(sink.Message(++sent));
        EXPECT_TRUE(copy.contains("\r\nBcc: hidden@localhost, other@localhost\r\n")) << c.name;
        EXPECT_EQ(WithoutBccLine(copy).toStdString(), accepted.toStdString()) << c.name;
        EXPECT_TRUE(copy.contains("\r\n.dot\r\n")) << c.name;
        EXPECT_EQ(fields.statuses.find(kAuthPassword), std::string::npos) << c.name;
        EXPECT_EQ(imap.Log().find(kAuthPassword), std::string::npos) << c.name;
    }
}

// Whatever becomes of the copy, the message went out: one box says so, the next one why the
// copy is missing.
TEST_F(SentCopyFlowTest, ACopyThatCannotBeKeptOnlyWarns) {
    SinkProcess sink(TestCertificates::SinkOptions("good", "starttls", "PLAIN"));
    ASSERT_NE(sink.Port, 0);
    store.passwords[std::string(kAuthUser) + "@127.0.0.1"] = kAuthPassword;
    testsupport::ScriptedPeer silent;
    silent.Pause(std::chrono::seconds(4));
    silent.Start();
    const std::string prefix =
        "メールは送信しましたが、送信済みフォルダーにコピーを保存できませんでした: ";
    const struct {
        const char* name;
        ImapServer::Options server;
        std::map<std::string, std::string> copy;
        std::string warning;  // the start of it
    } cases[] = {
        {"refused login", {.password = "not-this"}, {}, "IMAP サーバーがログインを拒否しました（"},
        {"no such mailbox",
         {},
         {{"SentFolder", "Gesendet"}},
         "フォルダー \"Gesendet\" に保存できませんでした（"},
        {"no \\Sent, no \"Sent\"",
         {.sentMailbox = false},
         {},
         "フォルダー \"Sent\" に保存できませんでした（"},
        {"a server that does not answer",
         {},
         {{"ImapPort", std::to_string(silent.Port())}},
         "IMAP サーバーから応答がありませんでした"},
        {"another user without a password",
         {},
         {{"ImapUser", "nobody-known"}},
         "IMAP のパスワードがありません"},
    };
    ZelSMTP1.TimeOut = 1000;
    int sent = 0;
    for (const auto& c : cases) {
        ImapServer imap(c.server);
        ASSERT_TRUE(imap.Listening()) << c.name;
        std::map<std::string, std::string> copy = c.copy;
        copy.emplace("ImapPort", std::to_string(imap.TlsPort));
        Store(sink.Port, copy);
        Press();
        EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Sent) << c.name;
        ASSERT_EQ(boxes.Texts().size(), 2u) << c.name;
        EXPECT_EQ(boxes.Texts()[0], "メールを送信したよ。") << c.name;
        EXPECT_TRUE(boxes.Texts()[1].starts_with(prefix + c.warning)) << boxes.Texts()[1];
        EXPECT_EQ(sink.StoredCount(), ++sent) << c.name;
        EXPECT_TRUE(imap.Stored("Sent").isEmpty()) << c.name;
        EXPECT_EQ((fields.statuses + boxes.Texts()[1]).find(kAuthPassword), std::string::npos)
            << c.name;
    }
}

TEST_F(SentCopyFlowTest, AFailedSendKeepsNoCopy) {
    SinkProcess sink(TestCertificates::SinkOptions("good", "starttls", "PLAIN"));
    ASSERT_NE(sink.Port, 0);
    store.passwords[std::string(kAuthUser) + "@127.0.0.1"] = "refused-by-smtp";
    ImapServer imap(ImapServer::Options{.password = "refused-by-smtp"});
    ASSERT_TRUE(imap.Listening());
    Store(sink.Port, {{"ImapPort", std::to_string(imap.TlsPort)}});
    Press();
    EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Failed);
    EXPECT_EQ(sink.StoredCount(), 0);
    EXPECT_TRUE(imap.Stored("Sent").isEmpty());
    EXPECT_EQ(imap.Log().find("Login:"), std::string::npos) << "the IMAP server was contacted";
}

}  // namespace
