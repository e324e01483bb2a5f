#include "smtp/Zelsmtp.h"

#include <algorithm>
#include <chrono>

#include "jconvert/LongLines.h"
#include "platform/Exception.h"
#include "platform/ValueScope.h"
#include "smtp/ZelLines.h"
#include "smtp/ZelUtf8.h"

namespace {

// Sets the flag; the owner of it clears it when the scope ends, however it ends.
class BusyScope {
  public:
    BusyScope(bool& Flag, bool Owns) : flag_(Flag), owns_(Owns) { flag_ = true; }
    ~BusyScope() {
        if (owns_)
            flag_ = false;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    bool& flag_;
    bool owns_;
};

}  // namespace

ESmtpRefusal::ESmtpRefusal(std::string Command, int Code, const std::string& ReplyLine,
                           const std::string& Message)
    : Exception(Message), Command(std::move(Command)), Code(Code), Reply(ReplyLine) {}

TZelSMTP::TZelSMTP(QObject* AOwner) : TPowersock(AOwner), BoundaryRandom(std::random_device{}()) {
    Port = 25;
    OnAbortCleanup = [this](TObject*) {
        Disconnect();
        ClearInput();
    };
}

TZelSMTP::~TZelSMTP() = default;

void TZelSMTP::Connect() {
    {
        // A Connect started while a Send runs leaves Busy to that Send.
        BusyScope busy(Busy, !Busy);
        RequireSingleLine("UserID", UserID);
        // Credentials never travel in clear.
        if (!AuthUser.empty() && Security == secNone)
            throw EAuthError("Authentication needs a secured connection");
        RequireSingleLine("AuthUser", AuthUser);
        Pipelining = false;
        SizeOffered = false;
        QuitPending = false;
        TPowersock::Connect();
        try {
            OpenSession();
        } catch (const ESockError&) {
            // A time-out, a reset or a broken TLS stream: QUIT could only wait out another full
            // time-out for a reply that cannot come, so close without it.
            TPowersock::Disconnect();
            throw;
        } catch (...) {
            Disconnect();
            throw;
        }
    }
    // Raised once Busy is released, so that the handler may send.
    Fire(OnConnect, this);
}

void TZelSMTP::OpenSession() {
    if (Security == secTls)
        StartTls();
    ReadGreeting();
    if (Security == secNone && AuthUser.empty())
        SayHelo();
    else
        OpenExtendedSession();
}

void TZelSMTP::ReadGreeting() {
    const std::string reply = TakeReply();
    if (ReplyCode >= 400)
        throw Refusal("", reply);
}

void TZelSMTP::SayHelo() {
    for (int retry = 0;; ++retry) {
        RequireSingleLine("UserID", UserID);
        const std::string reply = Transaction("HELO " + UserID);
        if (ReplyCode < 300)
            return;
        const ESmtpRefusal refused = Refusal("HELO " + UserID, reply, "Authentication failed");
        if (retry > 0 || !OnAuthenticationFailed)
            throw refused;
        bool handled = false;
        OnAuthenticationFailed(handled);
        if (!handled)
            throw refused;
    }
}

void TZelSMTP::Send() {
    if (Busy)
        return;
    {
        BusyScope busy(Busy, true);
        RefusedRecipients.clear();
        BuildMessage();
        CheckConnection();
        // The server closes the session once it has answered that QUIT.
        if (QuitPending)
            throw Exception("The session has ended: connect again");
        CheckHeaderComplete();
        Fire(OnSendStart, this);
        CheckEnvelope();
        CheckMessageSize();
        if (Pipelining) {
            SendPipelined();
        } else {
            Command("RSET", 400);
            Command(MailFromCommand(), 400);
            if (SendRecipients() == 0)
                RefuseMessage();
            SendData();
        }
        if (ClearParams)
            ClearLists();
    }
    Fire(OnSuccess, this);
}

void TZelSMTP::CheckHeaderComplete() {
    const auto complete = [this] {
        const TPostMessage& m = PostMessage;
        return !m.FromAddress.empty() &&
               (m.ToAddress.Count() + m.ToCarbonCopy.Count() + m.ToBlindCarbonCopy.Count()) > 0;
    };
    for (int retry = 0; !complete(); ++retry) {
        if (retry > 0 || !OnHeaderIncomplete)
            throw Exception("Incomplete Header");
        bool handled = false;
        OnHeaderIncomplete(handled, PostMessage.FromAddress.empty() ? 1 : 2);
        if (!handled)
            throw Exception("Incomplete Header");
        // The handler may have added recipients: the envelope takes them as they are now.
        ReadRecipients();
    }
}

std::string TZelSMTP::Command(const std::string& Text, int FailFrom) {
    std::string reply = Transaction(Text);
    if (ReplyCode >= FailFrom)
        throw Refusal(Text, reply);
    return reply;
}

// The refusal of Text by the reply just read; the message is the reply as read unless given.
ESmtpRefusal TZelSMTP::Refusal(const std::string& Text, const std::string& Reply,
                               const std::string& Message) const {
    return ESmtpRefusal(Text, ReplyCode, WithoutLineEnd(Reply), Message.empty() ? Reply : Message);
}

// Ends the transaction without content: DATA with no recipient would be refused anyway, and a
// server that took it could only bounce the message. The refusal stands whatever RSET meets.
void TZelSMTP::RefuseMessage() {
    try {
        Transaction("RSET");
    } catch (const Exception&) {
    }
    throw ERecipientsRefused("No recipient was accepted");
}

void TZelSMTP::WriteHeaderText() {
    WriteInPieces(HeaderText(""));
}

// The list keeps one line per header, so that it can be searched and checked; a line too long
// for mail is folded only on its way out. ExtraLine, when given, ends the header.
std::string TZelSMTP::HeaderText(const std::string& ExtraLine) const {
    std::string text;
    for (const std::string& line : FinalHeader)
        text.append(FoldHeaderLine(line, TextIsUtf8)).append("\r\n");
    if (!ExtraLine.empty())
        text.append(FoldHeaderLine(ExtraLine, TextIsUtf8)).append("\r\n");
    return text + "\r\n\r\n";
}

// Write takes at most 65535 bytes at a time.
void TZelSMTP::WriteInPieces(const std::string& Text) {
    constexpr size_t kPiece = 65535;
    for (size_t at = 0; at < Text.size(); at += kPiece)
        Write(Text.substr(at, kPiece));
}

// Header lines are checked only now, since event handlers may add lines up to here, and before
// DATA, since a refusal after it would leave the server inside the message.
void TZelSMTP::SendData() {
    CheckHeaderLines();
    Command("DATA", 400);
    SendContent(false);
}

void TZelSMTP::CheckHeaderLines() const {
    for (const std::string& line : FinalHeader)
        RequireSingleLine("Header line", line);
}

// The content and its final "."; with WithQuit, QUIT in the same write, so that its reply comes
// with the reply to the message.
void TZelSMTP::SendContent(bool WithQuit) {
    WriteHeaderText();
    SendStream(ContentStream);
    const std::string reply = EndMessage(WithQuit);
    if (ReplyCode >= 400) {
        Fire(OnFailure, this);
        throw Refusal(".", reply);
    }
}

// The transaction of the final ".". Once the server reads it, it holds the whole message and
// may take minutes over it (scanning it, say): the reply gets DataTimeOut, and a wait that ends
// without a proper reply is told apart from a refusal. With WithQuit, QUIT goes in the same write.
std::string TZelSMTP::EndMessage(bool WithQuit) {
    if (DataTimeOut < 0)
        throw ERangeError("Range check error");
    ReportStatus(8, "Transaction");
    if (WithQuit)
        Write(".\r\nQUIT\r\n");
    else
        Writeln(".");
    QuitPending = WithQuit;
    AwaitMessageReply();
    // An orderly close reads as an empty line.
    if (LastReply.empty())
        throw ENoReplyError("No reply to the end of the message: the connection was closed");
    if (!IsReplyLine(LastReplyLines.front()))
        throw ENoReplyError("No proper reply to the end of the message: " +
                            WithoutLineEnd(LastReply));
    return LastReply;
}

void TZelSMTP::AwaitMessageReply() {
    const int32_t usualWait = TimeOut;
    const auto started = std::chrono::steady_clock::now();
    TThreadTimer ticker(nullptr);
    ticker.SetInterval(1000);
    ticker.SetOnTimer([&](TObject*) {
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::steady_clock::now() - started)
                                .count();
        if (waited > usualWait)
            Fire(OnReplyWait, static_cast<int>((waited + 500) / 1000));
    });
    ValueScope longer(TimeOut, DataTimeOut);
    try {
        TakeReply();
    } catch (const ESockError& e) {
        throw ENoReplyError("No reply to the end of the message: " + e.Message());
    } catch (const ERangeError&) {
        // A number too large for a reply code: the line is told apart as no reply below.
    }
}

void TZelSMTP::Disconnect() {
    Canceled = false;
    std::string reply;
    try {
        if (QuitPending) {
            QuitPending = false;
            reply = TakeReply();
        } else {
            reply = Transaction("QUIT");
        }
    } catch (...) {
        TPowersock::Disconnect();
        throw;
    }
    TPowersock::Disconnect();
    if (ReplyCode >= 340)
        throw Refusal("QUIT", reply);
}

void TZelSMTP::Abort() {
    TPowersock::Abort();
}

void TZelSMTP::ClearLists() {
    PostMessage.ToAddress.Clear();
    PostMessage.ToCarbonCopy.Clear();
    PostMessage.ToBlindCarbonCopy.Clear();
    PostMessage.Attachments.Clear();
}
