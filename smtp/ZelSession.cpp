// TZelSMTP: the extended session, used only when Security or AuthUser is set: EHLO, STARTTLS
// with EHLO again, and AUTH. The plain HELO dialogue stays in Zelsmtp.cpp.
#include <algorithm>

#include "platform/Exception.h"
#include "smtp/ZelLines.h"
#include "smtp/ZelScope.h"
#include "smtp/Zelsmtp.h"

namespace {

void Redact(std::string& Text, const std::string& Secret) {
    if (Secret.empty())
        return;
    for (size_t at = Text.find(Secret); at != std::string::npos; at = Text.find(Secret, at))
        Text.replace(at, Secret.size(), "***");
}

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
}

TEhloKeywords TZelSMTP::SayEhlo() {
    RequireSingleLine("UserID", UserID);
    std::vector<std::string> lines{Transaction("EHLO " + (UserID.empty() ? "localhost" : UserID))};
    const int16_t code = ReplyCode;
    while (IsContinuationLine(lines.back()))
        lines.push_back(ReadLn());
    if (code != 250)
        throw Exception(lines.back().empty() ? lines.front() : lines.back());
    return ParseEhloReply(lines);
}

// Never falls back to the plain session: a refusal ends the send.
void TZelSMTP::SayStartTls(const TEhloKeywords& Offered) {
    if (!Offered.Has("STARTTLS"))
        throw Exception("The server does not offer STARTTLS");
    std::string reply = Transaction("STARTTLS");
    const int16_t code = ReplyCode;
    SkipContinuationLines(reply);
    if (code != 220)
        throw Exception(reply.empty() ? "No reply to STARTTLS" : reply);
    // Bytes sent before the handshake would otherwise be read as replies of the secured session.
    if (DataAvailable())
        throw ETlsError("The server sent data before the TLS handshake");
    StartTls();
}

void TZelSMTP::Authenticate(const TEhloKeywords& Offered) {
    RequireSingleLine("AuthUser", AuthUser);
    // A NUL would cut PLAIN's fields elsewhere than the user meant.
    RequireSingleLine("AuthPassword", AuthPassword);
    const std::string mechanism = ChooseAuthMechanism(Offered);
    if (mechanism.empty())
        throw EAuthError("The server offers no AUTH PLAIN or LOGIN");
    const ValueScope patient(TimeOut, std::max(TimeOut, AuthTimeOut));
    std::string reply;
    if (mechanism == "PLAIN") {
        reply = SecretTransaction("AUTH PLAIN ", AuthPlainResponse(AuthUser, AuthPassword));
    } else {
        AuthLogin();
        reply = LastReply;
    }
    if (ReplyCode != 235)
        throw EAuthError(reply.empty() ? "No reply to AUTH" : reply);
    ReportStatus(4, "Authenticated");
}

// AUTH LOGIN: the server asks for the user name, then for the password (334 each time).
void TZelSMTP::AuthLogin() {
    std::string reply = Transaction("AUTH LOGIN");
    SkipContinuationLines(reply);
    if (ReplyCode != 334)
        throw EAuthError(reply.empty() ? "No reply to AUTH" : reply);
    reply = SecretTransaction("", AuthLoginResponse(AuthUser));
    if (ReplyCode != 334)
        throw EAuthError(reply.empty() ? "No reply to AUTH" : reply);
    SecretTransaction("", AuthLoginResponse(AuthPassword));
}

// A command carrying credentials. The command is never reported, and a server that quotes it
// in its reply does not get it into a status text or an error message either.
std::string TZelSMTP::SecretTransaction(const std::string& Prefix, const std::string& Secret) {
    ReplyCode = 0;
    Writeln(Prefix + Secret);
    return ReadReply(Secret);
}

// A whole reply, continuation lines and all; LastReply and the result are its last line, and
// ReplyCode the code of its first. Secret and the password never appear in either.
std::string TZelSMTP::ReadReply(const std::string& Secret) {
    ReplyCode = 0;
    std::string reply = ReadLn();
    const auto code = static_cast<int16_t>(ReplyCodeOf(reply));
    SkipContinuationLines(reply);
    Redact(reply, Secret);
    Redact(reply, AuthPassword);
    LastReply = reply;
    ReplyCode = code;
    if (!reply.empty())
        ReportStatus(1, reply);
    return reply;
}
