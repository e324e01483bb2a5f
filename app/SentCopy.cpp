#include "app/SentCopy.h"

#include "app/SendFlowText.h"
#include "app/SendOutcome.h"
#include "imap/ImapClient.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"

namespace {

using platform::Sjis;

TImapSecurity ImapSecurityOf(const std::string& text) {
    if (text.empty() || text == "tls")
        return imapTls;
    if (text == "starttls")
        return imapStartTls;
    throw Exception(Sjis("IMAP の接続の保護 \"") + text +
                    Sjis("\" は tls、starttls のどちらでもありません"));
}

std::string PortText(const TSentCopySettings& settings, TImapSecurity security) {
    if (!settings.ImapPort.empty())
        return settings.ImapPort;
    return security == imapTls ? "993" : "143";
}

// The AUTH password (or access token) serves the same user; another user's comes from wherever
// the context keeps it. Never asked without TLS: the client has no clear session.
std::string PasswordFor(const std::string& user, const std::string& host,
                        const TSentCopyContext& context) {
    if (user == context.AuthUser && !context.AuthPassword.Empty())
        return context.AuthPassword.Text();
    std::optional<platform::TSecret> password;
    if (context.PasswordOf)
        password = context.PasswordOf(user, host);
    if (!password || password->Empty())
        throw Exception(Sjis("IMAP のパスワードがありません"));
    return password->Text();
}

void Configure(TImapClient& imap, const TSentCopySettings& settings,
               const TSentCopyContext& context) {
    imap.Host = settings.ImapHost.empty() ? context.SmtpHost : settings.ImapHost;
    imap.Security = ImapSecurityOf(settings.ImapSecurity);
    imap.Port = PortNumber(PortText(settings, imap.Security));
    const std::string user = settings.ImapUser.empty() ? context.AuthUser : settings.ImapUser;
    if (user.empty())
        throw Exception(Sjis("IMAP のユーザー名がありません"));
    imap.User = platform::SjisToUtf8(user);
    imap.Password = PasswordFor(user, imap.Host, context);
    // The same user signs in with the same token; another has a password of its own.
    imap.OAuth = context.OAuth && user == context.AuthUser;
    if (imap.OAuth)
        imap.OnTokenRefused = context.FreshToken;
    imap.CAFile = context.CAFile;
    imap.TimeOut = context.TimeOut;
    imap.ReportLevel = context.ReportLevel;
    if (context.OnStatus)
        imap.OnStatus = [&context](TComponent*, const std::string& s) { context.OnStatus(s); };
}

}  // namespace

void CheckSentCopySettings(const TSentCopySettings& settings) {
    PortNumber(PortText(settings, ImapSecurityOf(settings.ImapSecurity)));
}

std::string SaveSentCopy(const TSentCopySettings& settings, const TSentCopyContext& context,
                         const std::string& message) {
    try {
        TImapClient imap(nullptr);
        Configure(imap, settings, context);
        imap.Connect();
        imap.SaveSentCopy(platform::SjisToUtf8(settings.SentFolder), message);
        imap.Disconnect();
        return "";
    } catch (const std::exception& e) {
        return SentCopyCause(e, settings.SentFolder);
    }
}
