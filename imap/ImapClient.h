#pragma once
// TImapClient: the IMAP client that keeps a copy of each sent message in the user's mailbox.
// It speaks just enough IMAP for that over the socket component it derives from: TLS from the
// first byte or STARTTLS (never a clear session, since it always logs in), AUTHENTICATE PLAIN
// or LOGIN (or, for an OAuth 2.0 access token, OAUTHBEARER or XOAUTH2), LIST to find the mailbox
// marked \Sent, APPEND with \Seen, LOGOUT. Every response is read under one bound of lines and
// bytes and one time-out (TimeOut), whatever the server sends.
#include <chrono>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "imap/ImapLines.h"
#include "sock/Psock.h"

enum TImapSecurity { imapTls = 0, imapStartTls = 1 };

// The server refused a command; the text is its reply, without the tag.
class EImapError : public Exception {
    using Exception::Exception;
};

// The server refused the credentials, or offers no way to give them.
class EImapLoginError : public EImapError {
    using EImapError::EImapError;
};

// The server refused to store the message in the mailbox (there is none of that name, say).
class EImapAppendError : public EImapError {
    using EImapError::EImapError;
};

// No complete response came within TimeOut.
class EImapNoAnswer : public ESockError {
    using ESockError::ESockError;
};

class TImapClient : public TPowersock {
  public:
    explicit TImapClient(QObject* AOwner);

    // Opens the session: TLS (from the first byte, or after STARTTLS), the greeting, the
    // capabilities, and the login of User with Password.
    void Connect() override;
    // Stores Message marked \Seen in MailboxUtf8 or, when that is empty, in the mailbox the
    // server marks \Sent, else "Sent". Returns the mailbox's name as the server spells it. A
    // failure ends the session, as it does in Connect.
    std::string SaveSentCopy(std::string_view MailboxUtf8, const std::string& Message);
    // Says LOGOUT when the session still carries IMAP, and closes the connection in every case.
    void Disconnect() override;

    TImapSecurity Security = imapTls;
    std::string User;      // UTF-8
    std::string Password;  // UTF-8; never reported, only sent over TLS
    // Password is an OAuth 2.0 access token: AUTHENTICATE OAUTHBEARER or XOAUTH2, never PLAIN
    // or LOGIN.
    bool OAuth = false;
    // With OAuth: asked once when the server refuses the token, for one more try; "" gives up.
    std::function<std::string()> OnTokenRefused;
    // The bounds of one response (a command's untagged lines, literals and its status line).
    size_t MaxResponseLines = 1000;
    size_t MaxResponseBytes = 1 << 20;

  private:
    struct TResponse {
        std::vector<std::string> Untagged;  // each with its literals and line ends
        TImapStatus Status;                 // empty Status when a continuation ended it
        std::string Continuation;           // the "+" line that ended it, if one did
    };
    struct TBounds;

    void ClosingOnFailure(const std::function<void()>& Steps);
    void ReadGreeting();
    void AskCapabilities();
    void SayStartTls();
    void SecureSession();
    void Login();
    TImapStatus LoginWithPassword();
    TImapStatus LoginOAuth();
    bool SayOAuth(const std::string& Mechanism, TImapStatus& Status);
    void WriteSecretLine(const std::string& Prefix, const std::string& Secret);
    TImapStatus LoginPlain();
    TImapStatus LoginWithContinuations(const std::string& Command,
                                       const std::vector<std::string>& Answers);
    std::string FindSentMailbox();
    void Append(const std::string& Mailbox, const std::string& Message);

    std::string NextTag();
    TResponse Command(const std::string& Text, bool ContinuationEnds = false);
    TResponse ReadResponse(const std::string& Tag, bool ContinuationEnds);
    std::string ReadWholeResponseLine(TBounds& Bounds);
    std::string ReadBoundedLine(TBounds& Bounds);
    void RequireOk(const TResponse& Response, const char* What);
    std::string ServerWords(std::string_view Line) const;

    std::set<std::string> Capabilities;
    int TagNumber = 0;
    // Credentials in the form they go out, redacted wherever the server might echo them.
    std::vector<std::string> Secrets;
    bool Secured = false;
};
