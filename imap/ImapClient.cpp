#include "imap/ImapClient.h"

#include "platform/Secret.h"

#include <algorithm>

#include "jconvert/jconvert.h"
#include "platform/CodePage.h"
#include "platform/ScreenText.h"
#include "platform/Secret.h"
#include "platform/Stream.h"
#include "platform/ValueScope.h"

namespace {

using Clock = std::chrono::steady_clock;

// The first 200 bytes of Shift_JIS Text, not cutting a character in two.
std::string Shortened(std::string Text) {
    constexpr size_t kLongest = 200;
    size_t end = 0;
    while (end < Text.size()) {
        const size_t next = end + (platform::IsDBCSLeadByte(Text[end]) ? 2 : 1);
        if (next > kLongest)
            break;
        end = next;
    }
    Text.resize(std::min(end, Text.size()));
    return Text;
}

void RequireText(const char* What, std::string_view Text) {
    if (Text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        throw Exception(std::string(What) + " holds a line break or NUL");
}

}  // namespace

// What is left of one response's allowance.
struct TImapClient::TBounds {
    Clock::time_point Deadline;
    size_t LinesLeft;
    size_t BytesLeft;

    void Take(size_t Bytes) {
        if (LinesLeft == 0 || Bytes > BytesLeft)
            throw EImapProtocolError("The IMAP server's response is too long");
        --LinesLeft;
        BytesLeft -= Bytes;
    }
};

TImapClient::TImapClient(QObject* AOwner) : TPowersock(AOwner) {
    Port = 993;
}

void TImapClient::Connect() {
    RequireText("The IMAP user", User);
    RequireText("The IMAP password", Password);
    Secured = false;
    Capabilities.clear();
    TPowersock::Connect();
    ClosingOnFailure([this] {
        if (Security == imapTls)
            SecureSession();
        ReadGreeting();
        if (Security == imapStartTls)
            SayStartTls();
        Login();
    });
}

void TImapClient::ClosingOnFailure(const std::function<void()>& Steps) {
    try {
        Steps();
    } catch (const ETlsError&) {
        // The stream no longer carries IMAP: close without LOGOUT.
        TPowersock::Disconnect();
        throw;
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TImapClient::ReadGreeting() {
    TBounds bounds{Clock::now() + std::chrono::milliseconds(TimeOut), 1, MaxResponseBytes};
    const std::string greeting = ReadBoundedLine(bounds);
    ReportStatus(1, ServerWords(greeting));
    // PREAUTH skips the login, which STARTTLS must come before: only "* OK" opens a session.
    if (!greeting.starts_with("* OK"))
        throw EImapError("The IMAP server did not greet: " + ServerWords(greeting));
    if (Secured)
        Capabilities = ParseCapabilities(greeting);
}

// Capabilities learnt in clear may have been forged: only those of the secured session count.
void TImapClient::AskCapabilities() {
    const TResponse response = Command("CAPABILITY");
    RequireOk(response, "CAPABILITY");
    Capabilities.clear();
    for (const std::string& line : response.Untagged) {
        const std::set<std::string> named = ParseCapabilities(line);
        Capabilities.insert(named.begin(), named.end());
    }
}

void TImapClient::SayStartTls() {
    AskCapabilities();
    if (!Capabilities.contains("STARTTLS"))
        throw EImapError("The IMAP server does not offer STARTTLS");
    RequireOk(Command("STARTTLS"), "STARTTLS");
    // Bytes sent before the handshake would otherwise be read as responses of the secured
    // session.
    if (DataAvailable())
        throw ETlsError("The IMAP server sent data before the TLS handshake");
    SecureSession();
    Capabilities.clear();
}

// A server that never answers the handshake is told apart from one whose TLS failed.
void TImapClient::SecureSession() {
    try {
        StartTls();
    } catch (const ETlsError&) {
        if (TimedOut)
            throw EImapNoAnswer("No answer from the IMAP server to the TLS handshake");
        throw;
    }
    Secured = true;
}

void TImapClient::Login() {
    if (Capabilities.empty())
        AskCapabilities();
    const TImapStatus status = OAuth ? LoginOAuth() : LoginWithPassword();
    ReportStatus(4, "Logged in");
    // A server offers more once the user is known (the special-use extension, say).
    Capabilities = ParseCapabilities(status.Text);
    if (Capabilities.empty())
        AskCapabilities();
}

TImapStatus TImapClient::LoginWithPassword() {
    Secrets = {Password, Base64Encode(std::string(1, '\0') + User + '\0' + Password),
               Base64Encode(Password)};
    if (Capabilities.contains("AUTH=PLAIN"))
        return LoginPlain();
    if (Capabilities.contains("AUTH=LOGIN"))
        return LoginWithContinuations("AUTHENTICATE LOGIN",
                                      {Base64Encode(User), Base64Encode(Password)});
    throw EImapLoginError("The IMAP server offers no AUTHENTICATE PLAIN or LOGIN");
}

TImapStatus TImapClient::LoginPlain() {
    const std::string& response = Secrets[1];
    if (!Capabilities.contains("SASL-IR"))
        return LoginWithContinuations("AUTHENTICATE PLAIN", {response});
    const TResponse reply = Command("AUTHENTICATE PLAIN " + response);
    if (reply.Status.Status != "OK")
        throw EImapLoginError(ServerWords(reply.Status.Text));
    return reply.Status;
}

// Each answer goes out after a "+" of the server's; another "+" after the last is refused.
TImapStatus TImapClient::LoginWithContinuations(const std::string& Command,
                                                const std::vector<std::string>& Answers) {
    const std::string tag = NextTag();
    Writeln(tag + " " + Command);
    TResponse reply;
    for (const std::string& answer : Answers) {
        reply = ReadResponse(tag, true);
        if (reply.Continuation.empty())
            throw EImapLoginError(ServerWords(reply.Status.Text));
        Writeln(answer);
    }
    reply = ReadResponse(tag, false);
    if (reply.Status.Status != "OK")
        throw EImapLoginError(ServerWords(reply.Status.Text));
    return reply.Status;
}

std::string TImapClient::SaveSentCopy(std::string_view MailboxUtf8, const std::string& Message) {
    std::string mailbox;
    ClosingOnFailure([&] {
        mailbox = MailboxUtf8.empty() ? FindSentMailbox() : ImapMailboxName(MailboxUtf8);
        Append(mailbox, Message);
    });
    return mailbox;
}

std::string TImapClient::FindSentMailbox() {
    // Servers without the special-use extension take no selection options, but still name
    // the attribute in a plain LIST when they know it.
    const bool specialUse = Capabilities.contains("SPECIAL-USE");
    const TResponse response =
        Command(specialUse ? "LIST (SPECIAL-USE) \"\" \"*\"" : "LIST \"\" \"*\"");
    RequireOk(response, "LIST");
    std::vector<TImapMailbox> mailboxes;
    for (const std::string& line : response.Untagged) {
        if (std::optional<TImapMailbox> mailbox = ParseListResponse(line))
            mailboxes.push_back(std::move(*mailbox));
    }
    const std::string sent = SentMailbox(mailboxes);
    return sent.empty() ? "Sent" : sent;
}

// A synchronizing literal: the message goes out only after the server's "+".
void TImapClient::Append(const std::string& Mailbox, const std::string& Message) {
    const TResponse ready = Command(
        "APPEND " + ImapQuoted(Mailbox) + " (\\Seen) {" + std::to_string(Message.size()) + "}",
        true);
    if (ready.Continuation.empty())
        throw EImapAppendError(ServerWords(ready.Status.Text));
    TMemoryStream content;
    content.WriteBuffer(Message.data(), static_cast<int64_t>(Message.size()));
    SendStream(content);
    Writeln("");
    const TResponse stored = ReadResponse(ready.Status.Tag, false);
    if (stored.Status.Status != "OK")
        throw EImapAppendError(ServerWords(stored.Status.Text));
    ReportStatus(4, "Copy stored in " + platform::ServerText(Mailbox));
}

void TImapClient::Disconnect() {
    Canceled = false;
    if (IsConnected && Secured) {
        try {
            Command("LOGOUT");
        } catch (const std::exception&) {
            // The session ends anyway; nothing is lost by a LOGOUT left unanswered.
        }
    }
    TPowersock::Disconnect();
    for (std::string& secret : Secrets)
        platform::WipeSecret(secret);
    Secrets.clear();
    platform::WipeSecret(Password);
}

std::string TImapClient::NextTag() {
    return "A" + std::to_string(++TagNumber);
}

TImapClient::TResponse TImapClient::Command(const std::string& Text, bool ContinuationEnds) {
    const std::string tag = NextTag();
    Writeln(tag + " " + Text);
    TResponse response = ReadResponse(tag, ContinuationEnds);
    response.Status.Tag = tag;
    return response;
}

// Untagged lines until the status line of Tag (or a "+", when ContinuationEnds); anything else
// is refused, and so is a response past the bounds or the time-out.
TImapClient::TResponse TImapClient::ReadResponse(const std::string& Tag, bool ContinuationEnds) {
    TBounds bounds{Clock::now() + std::chrono::milliseconds(TimeOut), MaxResponseLines,
                   MaxResponseBytes};
    TResponse response;
    for (;;) {
        std::string line = ReadWholeResponseLine(bounds);
        if (line.starts_with("* ")) {
            response.Untagged.push_back(std::move(line));
            continue;
        }
        if (line.starts_with("+") && ContinuationEnds) {
            response.Continuation = std::move(line);
            return response;
        }
        response.Status = ParseStatusLine(line);
        if (response.Status.Status.empty() || response.Status.Tag != Tag)
            throw EImapProtocolError("Unexpected line from the IMAP server: " + ServerWords(line));
        ReportStatus(1, ServerWords(line));
        return response;
    }
}

// One line with the literals it announces, and the rest of the line after each of them.
std::string TImapClient::ReadWholeResponseLine(TBounds& Bounds) {
    std::string whole = ReadBoundedLine(Bounds);
    std::string tail = whole;
    while (const std::optional<size_t> size = AnnouncedLiteral(tail)) {
        if (*size > Bounds.BytesLeft)
            throw EImapProtocolError("The IMAP server announced a literal of " +
                                     std::to_string(*size) + " bytes");
        std::string literal;
        while (literal.size() <= *size)
            literal += ReadBoundedLine(Bounds);
        tail = literal.substr(*size);
        whole += literal;
    }
    return whole;
}

// A line under what is left of the response's time and size.
std::string TImapClient::ReadBoundedLine(TBounds& Bounds) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(Bounds.Deadline - Clock::now());
    if (left.count() <= 0)
        throw EImapNoAnswer("No complete response from the IMAP server in time");
    std::string line;
    {
        ValueScope wait(TimeOut, static_cast<int32_t>(left.count()));
        try {
            line = ReadLn();
        } catch (const EAbortError&) {
            if (!TimedOut)
                throw;
            throw EImapNoAnswer("No complete response from the IMAP server in time");
        }
    }
    if (line.empty())
        throw EImapProtocolError("The IMAP server closed the connection");
    Bounds.Take(line.size());
    return line;
}

void TImapClient::RequireOk(const TResponse& Response, const char* What) {
    if (Response.Status.Status != "OK")
        throw EImapError(std::string(What) + ": " + ServerWords(Response.Status.Text));
}

// A line of the server's on its way into a status text or a message: a server that quotes the
// command it refuses does not get credentials into it, nor its controls to a screen.
std::string TImapClient::ServerWords(std::string_view Line) const {
    while (!Line.empty() && (Line.back() == '\n' || Line.back() == '\r'))
        Line.remove_suffix(1);
    std::string text(Line);
    for (const std::string& secret : Secrets)
        platform::HideSecret(text, secret);
    return Shortened(platform::ServerText(text));
}
