#include "app/SendSettings.h"

#include <fstream>

#include "app/SendChecks.h"
#include "app/SendFlowText.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/HostName.h"
#include "platform/RegIniFile.h"
#include "smtp/Zelsmtp.h"

namespace {

using platform::Sjis;

TSecurity SecurityOf(const std::string& text) {
    if (text.empty() || text == "none")
        return secNone;
    if (text == "starttls")
        return secStartTls;
    if (text == "tls")
        return secTls;
    throw Exception(Sjis("接続の保護 \"{1}\" は none、starttls、tls のどれでもありません", {text}));
}

}  // namespace

std::string TSettingSource::Read(const char* ident) const {
    const auto given = overrides_.find(ident);
    if (given != overrides_.end())
        return given->second;
    if (!store_)
        store_ = std::make_shared<TRegIniFile>();
    return store_->ReadUtf8String("Settings", ident, "");
}

TSendSettings ReadSendSettings(const TSettingSource& source) {
    const auto read = [&source](const char* ident) {
        return platform::Utf8ToSjis(source.Read(ident));
    };
    TSendSettings values;
    values.NameUtf8 = source.Read("Name");
    values.Email = read("Email");
    values.UserID = read("UserID");
    values.Smtp = read("Smtp");
    values.Port = read("Port");
    values.Security = read("Security");
    values.AuthUser = read("AuthUser");
    values.CAFile = read("CAFile");
    values.Copy = {read("SaveSent"),     read("ImapHost"), read("ImapPort"),
                   read("ImapSecurity"), read("ImapUser"), read("SentFolder")};
    return values;
}

std::string MissingSettings(const TSendSettings& settings) {
    std::string missing;
    if (settings.Smtp.empty())
        missing += Sjis("ＳＭＴＰサーバ");
    if (settings.Email.empty())
        missing += (missing.empty() ? "" : Sjis("、")) + Sjis("メールアドレス");
    return missing;
}

// An empty user id would make "HELO " with no name, which servers refuse.
void ApplySendSettings(TZelSMTP& client, const TSendSettings& settings) {
    client.UserID = settings.UserID.empty() ? platform::HeloName() : settings.UserID;
    client.Host = settings.Smtp;
    client.Port = PortNumber(settings.Port);
    client.Security = SecurityOf(settings.Security);
    if (!settings.AuthUser.empty() && client.Security == secNone) {
        throw Exception(
            Sjis("認証を使うときは、接続の保護を starttls か tls にしてね"
                 "（パスワードは暗号化しない接続では送りません）"));
    }
    client.AuthUser = settings.AuthUser;
    if (settings.Copy.Wanted())
        CheckSentCopySettings(settings.Copy);
    client.CAFile = platform::SjisToUtf8(settings.CAFile);
    if (!client.CAFile.empty() && !std::ifstream(client.CAFile).is_open())
        throw Exception(Sjis("証明書ファイル {1} を読めません", {settings.CAFile}));
}

// The addresses go to the checks in UTF-8 whatever the message's set, so that one outside ASCII
// is named as the character it is.
TStepResult CheckBeforeConnecting(const TSendSettings& settings, const TMessageText& message,
                                  bool utf8) {
    const auto unicode = [utf8](const std::string& text) {
        return utf8 ? text : platform::SjisToUtf8(text);
    };
    const std::string to = unicode(message.ToAddress);
    const std::string cc = unicode(message.ToCarbonCopy);
    const std::string bcc = unicode(message.ToBlindCarbonCopy);
    const std::string email = platform::SjisToUtf8(settings.Email);
    std::string refusal =
        RefusalBeforeConnecting({{"宛先", to, TCheckedField::Recipients},
                                 {"ＣＣ", cc, TCheckedField::Recipients},
                                 {"ＢＣＣ", bcc, TCheckedField::Recipients},
                                 {"件名", message.Subject, TCheckedField::Text},
                                 {"オプション設定の名前", settings.NameUtf8, TCheckedField::Text},
                                 {"オプション設定のメールアドレス", email, TCheckedField::Sender}},
                                message.Body);
    if (refusal.empty())
        return std::nullopt;
    return TSendStop{TSendOutcome::Rejected, std::move(refusal), ""};
}
