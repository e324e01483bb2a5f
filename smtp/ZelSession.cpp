// TZelSMTP: the extended session, used only when Security or AuthUser is set: EHLO, STARTTLS
// with EHLO again, and AUTH. The plain HELO dialogue stays in Zelsmtp.cpp.
#include <algorithm>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/Secret.h"
#include "platform/ValueScope.h"
#include "smtp/ZelLines.h"
#include "smtp/Zelsmtp.h"

namespace {

// The longest command line every server takes (RFC 5321), with its CR LF.
constexpr size_t kCommandLineLimit = 512;

}  // namespace

void TZelSMTP::OpenExtendedSession() {
    TEhloKeywords offered = SayEhlo();
    if (Security == secStartTls) {
        SayStartTls(offered);
        // What the server offered in clear may have been forged: only the secured list counts.
        offered = SayEhlo();
    }
    if (!AuthUser.empty())
        Authenticate(offered);
    Pipelining = offered.Has("PIPELINING");
    SizeOffered = offered.Has("SIZE");
    MaxMessageSize = offered.SizeLimit;
}

TEhloKeywords TZelSMTP::SayEhlo() {
    RequireSingleLine("UserID", UserID);
    const std::string command = "EHLO " + (UserID.empty() ? "localhost" : UserID);
    const std::string reply = Transaction(command);
    if (ReplyCode != 250)
        throw Refusal(command, reply);
    return ParseEhloReply(LastReplyLines);
}

// Never falls back to the plain session: a refusal ends the send.
void TZelSMTP::SayStartTls(const TEhloKeywords& Offered) {
    if (!Offered.Has("STARTTLS"))
        throw Exception("The server does not offer STARTTLS");
    const std::string reply = Transaction("STARTTLS");
    if (reply.empty())
        throw Exception("No reply to STARTTLS");
    if (ReplyCode != 220)
        throw Refusal("STARTTLS", reply);
    // Bytes sent before the handshake would otherwise be read as replies of the secured session.
    if (DataAvailable())
        throw ETlsError("The server sent data before the TLS handshake");
    StartTls();
}

// The password is needed for this one exchange: it is wiped however the exchange ends.
void TZelSMTP::Authenticate(const TEhloKeywords& Offered) {
    platform::SecretScope password(AuthPassword);
    RequireSingleLine("AuthUser", AuthUser);
    // A NUL would cut PLAIN's fields elsewhere than the user meant.
    RequireSingleLine("AuthPassword", AuthPassword);
    if (AuthMethod == amOAuth) {
        AuthenticateOAuth(Offered);
        return;
    }
    const std::string mechanism = ChooseAuthMechanism(Offered);
    if (mechanism.empty())
        throw EAuthError("The server offers no AUTH PLAIN or LOGIN");
    const ValueScope patient(TimeOut, std::max(TimeOut, AuthTimeOut));
    std::string reply;
    if (mechanism == "PLAIN") {
        reply = SecretTransaction("AUTH PLAIN ", AuthPlainResponse(AuthUserUtf8(), AuthPassword));
    } else {
        AuthLogin();
        reply = LastReply;
    }
    if (ReplyCode != 235)
        throw EAuthError(reply.empty() ? "No reply to AUTH" : reply);
    ReportStatus(4, "Authenticated");
}

// The user name as AUTH carries it: UTF-8, whatever the settings hold it in.
std::string TZelSMTP::AuthUserUtf8() const {
    return platform::SjisToUtf8(AuthUser);
}

// AUTH LOGIN: the server asks for the user name, then for the password (334 each time).
void TZelSMTP::AuthLogin() {
    std::string reply = Transaction("AUTH LOGIN");
    if (ReplyCode != 334)
        throw EAuthError(reply.empty() ? "No reply to AUTH" : reply);
    reply = SecretTransaction("", AuthLoginResponse(AuthUserUtf8()));
    if (ReplyCode != 334)
        throw EAuthError(reply.empty() ? "No reply to AUTH" : reply);
    SecretTransaction("", AuthLoginResponse(AuthPassword));
}

// The token as given first, and after a refusal once more with a fresh one: the first may have
// run out since it was made. A tenant that turned SMTP AUTH off refuses every token alike.
void TZelSMTP::AuthenticateOAuth(const TEhloKeywords& Offered) {
    const std::string mechanism = ChooseOAuthMechanism(Offered);
    if (mechanism.empty())
        throw EAuthError("The server offers no AUTH OAUTHBEARER or XOAUTH2");
    const ValueScope patient(TimeOut, std::max(TimeOut, AuthTimeOut));
    for (int attempt = 0;; ++attempt) {
        const std::string reply = SayOAuth(mechanism);
        if (ReplyCode == 235)
            break;
        if (reply.empty())
            throw EAuthError("No reply to AUTH");
        if (reply.find("5.7.139") != std::string::npos)
            throw EAuthError(reply);
        if (attempt > 0 || !OnTokenRefused)
            throw ETokenRefused(reply);
        platform::WipeSecret(AuthPassword);
        AuthPassword = OnTokenRefused();
        if (AuthPassword.empty())
            throw ETokenRefused(reply);
        RequireSingleLine("AuthPassword", AuthPassword);
    }
    ReportStatus(4, "Authenticated");
}

// The initial response on the AUTH line when the line stays within what every server takes;
// a longer one (tokens run to kilobytes) answers the server's empty challenge instead. An error
// the server sends as a challenge is answered as the mechanism asks, and its refusal follows.
std::string TZelSMTP::SayOAuth(const std::string& Mechanism) {
    std::string response = OAuthResponse(Mechanism, AuthUserUtf8(), Host, Port, AuthPassword);
    platform::SecretScope wipe(response);
    const std::string command = "AUTH " + Mechanism;
    std::string reply;
    if (command.size() + 1 + response.size() + 2 <= kCommandLineLimit) {
        reply = SecretTransaction(command + " ", std::move(response));
    } else {
        reply = Transaction(command);
        if (ReplyCode != 334)
            return reply;
        reply = SecretTransaction("", std::move(response));
    }
    if (ReplyCode == 334)
        reply = Transaction(OAuthErrorAnswer(Mechanism));
    return reply;
}

// A command carrying credentials. The command is never reported, and a server that quotes it
// in its reply does not get it into a status text or an error message either. Every copy of
// the secret made here is wiped before it is given back.
std::string TZelSMTP::SecretTransaction(const std::string& Prefix, std::string Secret) {
    platform::SecretScope secret(Secret);
    std::string command;
    platform::SecretScope wipeCommand(command);
    command.reserve(Prefix.size() + Secret.size() + 2);
    command.append(Prefix).append(Secret).append("\r\n");
    ReportStatus(8, "Transaction");
    Write(command);
    return TakeReply([this, &Secret](std::string& line) {
        platform::HideSecret(line, Secret);
        platform::HideSecret(line, AuthPassword);
    });
}
