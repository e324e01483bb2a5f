// The cause table and the envelope-address check: what the user reads about a failure, and
// which addresses may go into MAIL and RCPT as they are.
#include "app/SendOutcome.h"

#include <gtest/gtest.h>

#include "app/SendChecks.h"
#include "platform/CodePage.h"
#include "sock/Psock.h"

namespace {

std::string U(const std::string& sjis) {
    return platform::SjisToUtf8(sjis);
}

TFailureScene At(std::string host, int32_t port, TSecurity security, bool connectFailed = false,
                 bool sessionOpen = false, std::vector<TRefusedRecipient> refused = {},
                 bool utf8 = false) {
    return {std::move(host), port, security, connectFailed, sessionOpen, std::move(refused), utf8};
}

TEST(SendOutcome, CauseOfEachFailureKind) {
    const ESockError reset("10054:Connection reset by peer");
    const ETlsError wrongVersion("TLS handshake failed: wrong version number");
    const EAuthError refusedLogin("535 5.7.8 Authentication credentials invalid\r\n");
    const EAuthError tenantOff(
        "535 5.7.139 Authentication unsuccessful, SmtpClientAuthentication "
        "is disabled for the Tenant.\r\n");
    const ETokenRefused tokenRefused("535 5.7.3 Authentication unsuccessful\r\n");
    const ECertificateError untrusted("certificate verification failed",
                                      platform::TlsVerifyFailure::Expired);
    const ERecipientsRefused noneAccepted("No recipient was accepted");
    const ESmtpRefusal heloRefused("HELO tester", 501, "501 Syntax: HELO hostname",
                                   "Authentication failed");
    const Exception other("Incomplete Header");
    const EMessageTooLarge tooLarge(26 << 20, 25 << 20);
    const ESmtpRefusal dataRefused(".", 552, "552 5.3.4 Message size exceeds fixed limit",
                                   "552 5.3.4 Message size exceeds fixed limit\r\n");
    const std::string security = "ツール → オプション設定 → セキュリティ で確かめてね。";
    const struct {
        const char* name;
        const std::exception& error;
        TFailureScene scene;
        std::string cause;
    } cases[] = {
        {"465 without TLS, reset before the greeting", reset, At("smtp.example.jp", 465, secNone),
         "ポート 465 のサーバーは、接続の保護に「SSL/TLS」を使うことが多いです。" + security},
        {"465 with STARTTLS, something but a reply", other, At("smtp.example.jp", 465, secStartTls),
         "ポート 465 のサーバーは、接続の保護に「SSL/TLS」を使うことが多いです。" + security},
        {"587 with TLS from the first byte", wrongVersion, At("smtp.example.jp", 587, secTls),
         "ポート 587 のサーバーは、接続の保護に「STARTTLS」を使うことが多いです。" + security},
        {"465 with TLS: a reset is only a reset", reset, At("smtp.example.jp", 465, secTls),
         "サーバー smtp.example.jp のポート 465 との通信に失敗しました：10054:Connection reset "
         "by peer"},
        {"465 without TLS, after the session opened", reset,
         At("smtp.example.jp", 465, secNone, false, true),
         "サーバー smtp.example.jp のポート 465 との通信に失敗しました：10054:Connection reset "
         "by peer"},
        {"connection refused", reset, At("127.0.0.1", 25, secNone, true),
         "サーバー 127.0.0.1 のポート 25 に接続できませんでした。サーバー名とポートは ツール → "
         "オプション設定 で確かめてね。"},
        {"login refused", refusedLogin, At("h", 587, secStartTls, false, true),
         "認証に失敗しました：535 5.7.8 Authentication credentials invalid\nユーザー名とパスワー"
         "ドは ツール → オプション設定 → セキュリティ で直してね。"},
        {"SMTP AUTH off for the tenant", tenantOff, At("h", 587, secStartTls, false, true),
         "認証に失敗しました：535 5.7.139 Authentication unsuccessful, SmtpClientAuthentication is "
         "disabled for the Tenant.\nこの組織では SMTP AUTH が無効になっています。管理者に、この"
         "メールボックスの SMTP AUTH を許可してもらってね。"},
        {"access token refused twice", tokenRefused, At("h", 587, secStartTls, false, true),
         "アクセストークンが受け付けられませんでした：535 5.7.3 Authentication unsuccessful\nサイ"
         "ンインし直すか、トークンのコマンドを確かめてね。トークンにメール送信の権限（スコープ）が"
         "あ"
         "るかも確かめてね。"},
        {"certificate", untrusted, At("h", 465, secTls),
         "サーバーの証明書を確かめられませんでした：証明書の有効期限が切れています"},
        {"HELO refused: the reply, not the client's words", heloRefused,
         At("h", 25, secNone, false, false),
         "サーバーの応答：501 Syntax: HELO hostname"},
        {"every recipient refused", noneAccepted,
         At("h", 25, secNone, false, true,
            {{"a@x", "550 5.1.1 unknown"}, {"B <b@x>", "450 try later"}}),
         "どの宛先も受け取ってもらえませんでした：\na@x … 550 5.1.1 unknown\nB <b@x> … 450 try "
         "later"},
        // A UTF-8 message's entries as typed, a character Shift_JIS lacks by its code point.
        {"every recipient of a UTF-8 message refused", noneAccepted,
         At("h", 25, secNone, false, true, {{"花子😀 <a@x>", "550 no"}}, true),
         "どの宛先も受け取ってもらえませんでした：\n花子U+1F600 <a@x> … 550 no"},
        {"no address at all", noneAccepted, At("h", 25, secNone, false, true),
         "宛先にメールアドレスがありません。"},
        {"over the server's SIZE", tooLarge, At("h", 587, secStartTls, false, true),
         "メールの大きさ 26.0 MB は、サーバーが受け取れる大きさ 25.0 MB を超えています。添付ファイ"
         "ルを減らすか、小さくしてね。"},
        {"refused for its size after the data", dataRefused,
         At("h", 587, secStartTls, false, true),
         "メールがサーバーには大きすぎました（too large for the server）。サーバーの応答：552 "
         "5.3.4 "
         "Message size exceeds fixed limit"},
        {"anything else: its own words", other, At("h", 25, secNone, false, true),
         "Incomplete Header"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(U(FailureCause(c.error, c.scene)), c.cause) << c.name;
    }
}

TEST(SendOutcome, EnvelopeAddresses) {
    const struct {
        std::string address;
        bool fits;
    } cases[] = {
        {"hanako@example.jp", true},
        {"\"hanako yamada\"@example.jp", true},  // a blank inside a quoted local part
        {"\"a\\\"b c\"@example.jp", true},       // an escaped quote does not end it
        {"\"a<b>\"@example.jp", false},  // a naive server would end the path at ">"
        {platform::Sjis("\"ソ b\"@example.jp"), true},  // a second byte that looks like "\"
        {"hanako @example.jp", false},
        {"hanako@example.jp NOTIFY=NEVER", false},
        {"hanako@example.jp>", false},
        {"<hanako@example.jp", false},
        {"hanako\t@example.jp", false},
        {"hanako\x7f@example.jp", false},
        {"\"open quote@example.jp", false},
        {"\"a\\\rb\"@example.jp", false},  // an escaped control is still one
        {"hanako@\"example jp\"", false},  // quotes belong to the local part only
        {"\"a\" NOTIFY=NEVER\"\"@example.jp", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsEnvelopeAddress(c.address), c.fits) << c.address;
    }
}

}  // namespace
