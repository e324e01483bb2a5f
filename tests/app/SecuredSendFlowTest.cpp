// The send flow with Security, AuthUser and CAFile: what is refused before connecting, where the
// password comes from, and the boxes of a refused login or certificate.
#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "app/SendFlow.h"
#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/Credentials.h"
#include "platform/RegIniFile.h"
#include "smtp/Zelsmtp.h"
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
    std::string ToCarbonCopy() const override { return ""; }
    std::string ToBlindCarbonCopy() const override { return ""; }
    std::string Subject() const override { return "secured"; }
    std::vector<std::string> BodyLines() const override { return {"body"}; }
    void ClearFields() override {}
    void SetAddressFields(const std::string&, const std::string&, const std::string&) override {}
    void SetStatusText(const std::string& text) override { statuses += text + "\n"; }
    std::optional<std::string> AskPassword(const std::string& authUser) override {
        asked.push_back(authUser);
        return answer;
    }

    std::optional<std::string> answer;
    std::vector<std::string> asked;
    std::string statuses;
};

class SecuredSendFlowTest : public testing::Test {
  protected:
    void Store(int port, const char* security, const char* authUser,
               const std::string& caFile = TestCertificates::Path("ca.pem")) {
        TRegIniFile ini;
        ini.WriteString("Settings", "Email", "me@localhost");
        ini.WriteString("Settings", "Smtp", "127.0.0.1");
        ini.WriteString("Settings", "Port", std::to_string(port));
        ini.WriteString("Settings", "Security", security);
        ini.WriteString("Settings", "AuthUser", authUser);
        ini.WriteString("Settings", "CAFile", caFile);
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

TEST_F(SecuredSendFlowTest, UnusableSettingsAndNoPasswordStopBeforeConnecting) {
    store.available = false;
    const struct {
        const char* security;
        const char* authUser;
        std::string shown;
        std::string caFile = TestCertificates::Path("ca.pem");
    } cases[] = {
        {"ssl", "", "接続の保護 \"ssl\" は none、starttls、tls のどれでもありません."},
        {"STARTTLS", "", "接続の保護 \"STARTTLS\" は none、starttls、tls のどれでもありません."},
        {"none", kAuthUser,
         "認証を使うときは、接続の保護を starttls か tls にしてね（パスワードは暗号化しない接続では"
         "送りません）."},
        {"tls", "", "証明書ファイル /nonexistent/ca.pem を読めません.", "/nonexistent/ca.pem"},
        {"starttls", kAuthUser, "パスワードがないので、送信をやめたよ。"},
    };
    for (const auto& c : cases) {
        testsupport::ScriptedPeer peer;
        peer.Send("220 ready\r\n");
        peer.Start();
        Store(peer.Port(), c.security, c.authUser, c.caFile);
        Press();
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.shown}) << c.security;
        EXPECT_EQ(peer.Received(), "") << c.security;
        EXPECT_FALSE(ZelSMTP1.IsConnected) << c.security;
    }
    EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::NoPassword);
    EXPECT_EQ(fields.asked, std::vector<std::string>{kAuthUser});
}

TEST_F(SecuredSendFlowTest, PasswordSourcesAndRefusals) {
    SinkProcess sink(TestCertificates::SinkOptions("good", "starttls", "PLAIN"));
    ASSERT_NE(sink.Port, 0);
    const std::string key = std::string(kAuthUser) + "@127.0.0.1";
    const std::vector<std::string> sent{"メールを送信したよ。"};
    const struct {
        const char* name;
        bool available;
        std::optional<std::string> kept;
        std::optional<std::string> answer;
        std::string caFile;
        bool asks;
        std::vector<std::string> shown;
    } cases[] = {
        {"keyring", true, kAuthPassword, std::nullopt, "ca.pem", false, sent},
        {"no keyring: asked", false, std::nullopt, kAuthPassword, "ca.pem", true, sent},
        {"nothing kept: asked", true, std::nullopt, kAuthPassword, "ca.pem", true, sent},
        {"refused",
         true,
         "wrong",
         std::nullopt,
         "ca.pem",
         false,
         {"送信に失敗したよ。\n認証に失敗しました：535 5.7.8 Authentication credentials invalid\n"
          "ユーザー名とパスワードは ツール → オプション設定 → セキュリティ で直してね。"}},
        {"untrusted",
         true,
         kAuthPassword,
         std::nullopt,
         "otherca.pem",
         false,
         {"送信に失敗したよ。\nサーバーの証明書を確かめられませんでした：証明書の発行元が信頼されて"
          "いません"}},
    };
    for (const auto& c : cases) {
        store.available = c.available;
        store.passwords.clear();
        if (c.kept)
            store.passwords[key] = *c.kept;
        fields.answer = c.answer;
        fields.asked.clear();
        Store(sink.Port, "starttls", kAuthUser, TestCertificates::Path(c.caFile));
        Press();
        EXPECT_EQ(boxes.Texts(), c.shown) << c.name << ": " << flow.LastError();
        EXPECT_EQ(fields.asked.size(), c.asks ? 1u : 0u) << c.name;
        EXPECT_EQ(fields.statuses.find(kAuthPassword), std::string::npos) << c.name;
        EXPECT_TRUE(ZelSMTP1.AuthPassword.empty()) << c.name;
    }
    EXPECT_EQ(sink.StoredCount(), 3);
    EXPECT_EQ(sink.AuthLog(), "PLAIN ok\nPLAIN ok\nPLAIN ok\nPLAIN refused\n");
}

}  // namespace
