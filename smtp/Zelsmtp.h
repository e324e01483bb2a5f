#pragma once
// TZelSMTP: the mail-sending component. It speaks plain SMTP (HELO, no extensions) over the
// socket component it derives from, or, when Security or AuthUser asks for it, EHLO with
// STARTTLS or TLS from the first byte and AUTH. It builds the message text from its message
// record TPostMessage. Every text is a Shift_JIS byte string, written to the wire as given, or,
// for a message in UTF-8 (TextIsUtf8), a UTF-8 one.
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/Events.h"
#include "platform/Stream.h"
#include "platform/StringList.h"
#include "smtp/AddressList.h"
#include "smtp/ZelEsmtp.h"
#include "smtp/ZelExtstr.h"
#include "smtp/ZelUUE.h"
#include "sock/Psock.h"

// Media subtype of the body of a message without attachments.
enum TSubType { mtPlain = 0, mtEnriched = 1, mtSgml = 2, mtTabSeperated = 3, mtHtml = 4 };

// How the connection is protected: not at all (the HELO dialogue), by STARTTLS after EHLO, or
// by TLS from the first byte.
enum TSecurity { secNone = 0, secStartTls = 1, secTls = 2 };

// The server refused the credentials, or offers no way to give them.
class EAuthError : public Exception {
    using Exception::Exception;
};

// The server refused the OAuth 2.0 access token, and the fresh one asked for after it.
class ETokenRefused : public EAuthError {
    using EAuthError::EAuthError;
};

// What AuthPassword holds: a password (AUTH PLAIN or LOGIN) or an OAuth 2.0 access token
// (AUTH OAUTHBEARER or XOAUTH2, never PLAIN or LOGIN).
enum TAuthMethod { amPassword = 0, amOAuth = 1 };
// A fresh access token after the server refused one; "" when there is none.
using TTokenRefusedEvent = std::function<std::string()>;

using THeaderInComplete = std::function<void(bool& handled, int hiType)>;
using TRecipientNotFound = std::function<void(const std::string& Recipient)>;
using TFileItem = std::function<void(const std::string& Filename)>;
using TMailListReturn = std::function<void(const std::string& MailAddress)>;
// Seconds waited so far for the reply to the end of the message.
using TReplyWaitEvent = std::function<void(int Seconds)>;

// The wait for the reply to the end of the message ended without a proper one (time-out, reset,
// close, or a line that is no reply).
// The server had the whole message by then and may deliver it: this is no refusal, and
// sending again could deliver it twice.
class ENoReplyError : public Exception {
    using Exception::Exception;
};

// No recipient of the message was accepted: nothing was sent (RefusedRecipients names them).
class ERecipientsRefused : public Exception {
    using Exception::Exception;
};

// The message is larger than the limit the server named with SIZE: nothing was sent. Sizes in
// bytes.
class EMessageTooLarge : public Exception {
  public:
    EMessageTooLarge(int64_t size, int64_t limit);
    int64_t Size;
    int64_t Limit;
};

// Bytes as megabytes (2^20) with as many decimals as it takes, up to six, to tell them from
// Other's: "20.1 MB".
std::string MegaBytes(int64_t Bytes, int64_t Other);

// A command the server refused, as data: the command (its verb and what follows, never a
// secret), the reply code and the reply line without its line end. The message is the text the
// component has always raised for it (the reply line as read, or "Authentication failed").
class ESmtpRefusal : public Exception {
  public:
    ESmtpRefusal(std::string Command, int Code, const std::string& ReplyLine,
                 const std::string& Message);
    std::string Command;
    int Code;
    std::string Reply;
};

// The list a recipient came from.
enum class TRecipientField { To, CarbonCopy, BlindCarbonCopy };

// One mailbox of the message's recipient lists, read once for each message.
struct TRecipient {
    TRecipientField Field;
    TMailbox Mailbox;
};

// A recipient the server refused at RCPT: the piece of the entry as written (in the message's
// charset), the reply line without its line end, and the list it came from.
struct TRefusedRecipient {
    std::string Address;
    std::string Reply;
    TRecipientField Field = TRecipientField::To;
};

// The message to send. Lists hold one entry per line, without line ends.
class TPostMessage {
  public:
    std::string FromName;     // written before "<" in the From line, as given
    std::string FromAddress;  // MAIL FROM and the From line's address
    std::string Subject;
    std::string LocalProgram;  // X-Mailer
    std::string Date;
    std::string ReplyTo;
    TStringList Attachments;  // file paths
    TStringList ToAddress;
    TStringList ToCarbonCopy;
    TStringList ToBlindCarbonCopy;
    TStringList Body;

    // List setters copy the lines; the record never adopts the caller's list.
    void SetAttachments(const TStringList& value) { Attachments.Assign(value); }
    void SetToAddress(const TStringList& value) { ToAddress.Assign(value); }
    void SetToCarbonCopy(const TStringList& value) { ToCarbonCopy.Assign(value); }
    void SetToBlindCarbonCopy(const TStringList& value) { ToBlindCarbonCopy.Assign(value); }
    void SetBody(const TStringList& value) { Body.Assign(value); }

    // Access by property name, as a form description sets them. PropertyNames lists them in
    // their published order; an unknown name (or a list name given a string) raises Exception.
    static const std::vector<std::string>& PropertyNames();
    void SetProperty(const std::string& Name, const std::string& Value);
    void SetProperty(const std::string& Name, const TStringList& Value);
};

class TZelSMTP : public TPowersock {
  public:
    explicit TZelSMTP(QObject* AOwner);
    ~TZelSMTP() override;

    // Opens the connection and the session: greeting, then "HELO " + UserID; or, with Security
    // or AuthUser set, EHLO, STARTTLS and EHLO again (secStartTls), and AUTH.
    void Connect() override;
    // Sends PostMessage over the open session. Returns at once while Busy. Recipients the server
    // refuses are collected in RefusedRecipients; when it accepts none, no content goes out
    // (RSET instead of DATA) and Send raises ERecipientsRefused. When the server offers
    // PIPELINING, the envelope goes out as one group and the content with QUIT: the session
    // then ends with the next Disconnect.
    void Send();
    // Says "QUIT" (or reads the reply to the QUIT that Send already wrote) and closes the
    // connection in every case.
    void Disconnect() override;
    void Abort() override;

    // Empties the recipient lists and Attachments (after an accepted message).
    void ClearLists();
    // Rebuilds FinalHeader and ContentStream from PostMessage.
    void BuildMessage();
    // Appends the part of attachment Index (from 1) to ContentStream.
    void WriteAttachmentPart(int Index);
    // The charset the texts of PostMessage are in, as its encoded-words write them.
    const TWordCharset& WordCharset() const;

    // The message as the server received it in the last Send (the header text and the content
    // without the dot-stuffing), with a "Bcc: " line naming the blind copies at the end of the
    // header when there were any: the sender's own copy.
    std::string SentCopy() const;

    void SetFinalHeader(const TStringList& value) { FinalHeader.Assign(value); }

    // Bytes of the message as the server receives them after DATA: the header and the content,
    // without the doubled dots and the final ".".
    int64_t MessageSize() const;

    // Published properties (Host, Port, TimeOut, ReportLevel, OnDisconnect, OnStatus,
    // OnConnectionFailed, OnPacketSent, OnConnectionRequired come from TPowersock).
    std::string UserID;
    TPostMessage PostMessage;
    TExStringList FinalHeader;
    // Every mailbox of ToAddress, ToCarbonCopy and ToBlindCarbonCopy, in that order, as the
    // last BuildMessage read them: the RCPT commands, the header lines and the Sent copy all
    // come from this one reading.
    std::vector<TRecipient> Recipients;
    // The recipients refused by the last Send, one entry per refused RCPT; emptied as Send starts.
    std::vector<TRefusedRecipient> RefusedRecipients;
    UUMethods EncodeType = uuMime;
    bool ClearParams = true;
    TSubType SubType = mtPlain;
    std::string Charset = "us-ascii";
    // The texts of PostMessage are UTF-8 (Charset names it): the body goes out as base64 of its
    // lines joined by CR LF, in lines of 76, and header lines longer than 78 characters are
    // folded at their blanks. The header texts must be 7-bit already (encoded-words).
    bool TextIsUtf8 = false;
    // Milliseconds to wait for the reply to the end of the message.
    int32_t DataTimeOut = 600000;
    // Milliseconds to wait for the replies to AUTH, at least TimeOut: servers hold their answer
    // for seconds after failed logins. Every other wait is TimeOut.
    int32_t AuthTimeOut = 30000;
    TSecurity Security = secNone;
    std::string AuthUser;  // empty: no AUTH; never sent without TLS; sent in UTF-8
    // UTF-8; never reported, only sent over TLS inside AUTH, and wiped once AUTH is over.
    std::string AuthPassword;
    TAuthMethod AuthMethod = amPassword;
    // With amOAuth: asked once when the server refuses the token, for one more AUTH.
    TTokenRefusedEvent OnTokenRefused;

    // Hides the socket-level OnConnect: raised once the SMTP session is open.
    TNotifyEvent OnConnect;
    THandlerEvent OnAuthenticationFailed;
    THeaderInComplete OnHeaderIncomplete;
    TNotifyEvent OnSendStart;
    TRecipientNotFound OnRecipientNotFound;
    TNotifyEvent OnFailure;
    TNotifyEvent OnSuccess;
    TFileItem OnEncodeStart;
    TFileItem OnEncodeEnd;
    TFileItem OnAttachmentNotFound;
    TMailListReturn OnMailListReturn;  // no operation raises it
    // About once a second while the wait for the reply to the end of the message runs past
    // TimeOut.
    TReplyWaitEvent OnReplyWait;

    // Internal state, readable for the host program and tests.
    bool Busy = false;
    // The largest message the server named with SIZE in its last reply to EHLO; 0 for none.
    int64_t MaxMessageSize = 0;
    std::string Boundary;
    TMemoryStream ContentStream;

  private:
    // One command of a pipelined group and the recipient entry it names.
    struct TGroupCommand {
        enum TKind { Reset, Mail, Recipient, Data } Kind;
        std::string Text;
        const TRecipient* To = nullptr;  // the recipient a RCPT names
    };
    // What the replies to a group decided.
    struct TGroupOutcome {
        std::optional<ESmtpRefusal> Refused;  // the first refused RSET or MAIL
        bool Closed = false;                  // the connection closed before that
        int Accepted = 0;                     // recipients accepted
        std::optional<ESmtpRefusal> DataRefusal;
        bool DataAccepted = false;
        bool Failed() const { return Refused.has_value() || Closed; }
    };

    void OpenSession();
    void ReadGreeting();
    void SayHelo();
    void OpenExtendedSession();
    TEhloKeywords SayEhlo();
    void SayStartTls(const TEhloKeywords& Offered);
    void Authenticate(const TEhloKeywords& Offered);
    void AuthLogin();
    void AuthenticateOAuth(const TEhloKeywords& Offered);
    std::string SayOAuth(const std::string& Mechanism);
    std::string AuthUserUtf8() const;
    std::string SecretTransaction(const std::string& Prefix, std::string Secret);
    void CheckHeaderComplete();
    void CheckEnvelope();
    std::string Command(const std::string& Text, int FailFrom);
    ESmtpRefusal Refusal(const std::string& Text, const std::string& Reply,
                         const std::string& Message = "") const;
    int SendRecipients();
    static std::string RecipientCommand(const TRecipient& Recipient);
    void RefuseRecipient(const TRecipient& Recipient, const std::string& Reply);
    void RefuseMessage();
    void SendData();
    void CheckHeaderLines() const;
    void SendContent(bool WithQuit);
    std::string EndMessage(bool WithQuit);
    void AwaitMessageReply();
    void WriteHeaderText();
    std::string HeaderText(const std::string& ExtraLine) const;
    void WriteInPieces(const std::string& Text);
    void SendPipelined();
    std::vector<TGroupCommand> GroupCommands() const;
    size_t WriteGroup(const std::vector<TGroupCommand>& Commands, size_t From, size_t To);
    void JudgeReply(const TGroupCommand& Command, const std::string& Reply, TGroupOutcome& Outcome);
    void SettleGroup(const TGroupOutcome& Outcome);

    std::string MailFromCommand() const;
    void CheckMessageSize() const;
    void CheckHeaderTexts() const;
    void ReadRecipients();
    std::string AddressLine(const char* Name, TRecipientField Field) const;
    void AddAddressLine(const char* Name, TRecipientField Field);
    void AddContentType(bool Multipart);
    void MakeBoundary();
    bool BodyHasLineStarting(const std::string& Prefix) const;
    void WriteBodyLines();
    void ForEachBodyLine(const std::function<bool(std::string_view Line)>& Take) const;
    size_t BodyContentSize() const;
    void WriteContent(std::string_view Text);

    // The last EHLO reply listed PIPELINING.
    bool Pipelining = false;
    // The last EHLO reply listed SIZE: MAIL FROM declares the message's size.
    bool SizeOffered = false;
    // Send wrote QUIT after the message; Disconnect reads its reply.
    bool QuitPending = false;
    // The header value of each list's entries, joined by "," (To, CC, BCC), from ReadRecipients.
    std::string FieldHeaders[3];

  protected:
    // Draws the boundary letters; seeded afresh for every component.
    std::minstd_rand BoundaryRandom;
};
