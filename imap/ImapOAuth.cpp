// TImapClient: the login with an OAuth 2.0 access token (AUTHENTICATE OAUTHBEARER or XOAUTH2).
#include "imap/ImapClient.h"
#include "jconvert/jconvert.h"
#include "platform/Secret.h"
#include "sock/SaslOAuth.h"

namespace {

// An initial response on the command line keeps that line within what servers take at login.
constexpr size_t kLongestInitialLine = 8000;

}  // namespace

// The token as given, and after a refusal once more with a fresh one: the first may have run out
// since it was made.
TImapStatus TImapClient::LoginOAuth() {
    const char* mechanism = Capabilities.contains("AUTH=OAUTHBEARER") ? "OAUTHBEARER"
                            : Capabilities.contains("AUTH=XOAUTH2")   ? "XOAUTH2"
                                                                      : nullptr;
    if (!mechanism)
        throw EImapLoginError("The IMAP server offers no AUTHENTICATE OAUTHBEARER or XOAUTH2");
    for (int attempt = 0;; ++attempt) {
        TImapStatus status;
        if (SayOAuth(mechanism, status))
            return status;
        if (attempt > 0 || !OnTokenRefused)
            throw EImapLoginError(ServerWords(status.Text));
        platform::WipeSecret(Password);
        Password = OnTokenRefused();
        if (Password.empty() || Password.find_first_of("\r\n") != std::string::npos)
            throw EImapLoginError(ServerWords(status.Text));
    }
}

// One AUTHENTICATE; true when the server said OK. An error the server sends as a continuation is
// answered as the mechanism asks ("AQ==" for OAUTHBEARER, an empty line for XOAUTH2), and its
// refusal follows.
bool TImapClient::SayOAuth(const std::string& Mechanism, TImapStatus& Status) {
    std::string response = OAuthResponse(Mechanism, User, Host, Port, Password);
    platform::SecretScope wipe(response);
    // Every token tried stays redacted until the session ends.
    Secrets.push_back(Password);
    Secrets.push_back(response);
    const std::string tag = NextTag();
    const std::string command = tag + " AUTHENTICATE " + Mechanism;
    TResponse reply;
    if (Capabilities.contains("SASL-IR") &&
        command.size() + response.size() + 3 <= kLongestInitialLine) {
        WriteSecretLine(command + " ", response);
    } else {
        Writeln(command);
        reply = ReadResponse(tag, true);
        if (reply.Continuation.empty()) {
            Status = reply.Status;
            return Status.Status == "OK";
        }
        WriteSecretLine("", response);
    }
    reply = ReadResponse(tag, true);
    if (!reply.Continuation.empty()) {
        Writeln(Mechanism == "OAUTHBEARER" ? "AQ==" : "");
        reply = ReadResponse(tag, false);
    }
    Status = reply.Status;
    return Status.Status == "OK";
}

// A line that carries credentials, written from one buffer that is wiped afterwards.
void TImapClient::WriteSecretLine(const std::string& Prefix, const std::string& Secret) {
    std::string line;
    platform::SecretScope wipe(line);
    line.reserve(Prefix.size() + Secret.size() + 2);
    line.append(Prefix).append(Secret).append("\r\n");
    Write(line);
}
