#pragma once
// What the send button does: read the settings afresh, open one SMTP connection, hand the client
// one message built from the five compose fields, close, and tell the user the outcome. Also the
// handlers of the client's events. The compose window and the command-line sender both drive it.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/MessageCharset.h"
#include "app/SendOutcome.h"
#include "platform/StringList.h"

class ECodePageError;
class TZelSMTP;

// The texts of one message: Shift_JIS, or UTF-8 for a message that goes out in UTF-8.
struct TMessageText {
    std::string ToAddress;
    std::string ToCarbonCopy;
    std::string ToBlindCarbonCopy;
    std::string Subject;
    std::vector<std::string> Body;
};

// The compose fields and the status panel, as the send flow sees them. Texts are Shift_JIS;
// reading a field whose text code page 932 cannot hold raises ECodePageError.
class TComposeFields {
  public:
    virtual ~TComposeFields() = default;
    virtual bool ToAddressEmpty() const = 0;
    virtual std::string ToAddress() const = 0;
    virtual std::string ToCarbonCopy() const = 0;
    virtual std::string ToBlindCarbonCopy() const = 0;
    virtual std::string Subject() const = 0;
    virtual std::vector<std::string> BodyLines() const = 0;
    // The five fields as typed, in UTF-8, for a message that goes out in UTF-8. By default the
    // Shift_JIS texts above, converted; fields that hold more than Shift_JIS give it directly.
    virtual TMessageText UnicodeText() const;
    // Empties To, CC, BCC, subject and body, in that order.
    virtual void ClearFields() = 0;
    // Puts these texts (UTF-8, whatever the message's set) into To, CC and BCC; subject and body
    // stay.
    virtual void SetAddressFields(const std::string& to, const std::string& cc,
                                  const std::string& bcc) = 0;
    // The status panel; does nothing once the panel is gone.
    virtual void SetStatusText(const std::string& text) = 0;
    // The byte counts while the content goes out; a console may want to leave them out.
    virtual void SetProgressText(const std::string& text) { SetStatusText(text); }
    // The SMTP AUTH password of authUser (Shift_JIS), asked of the user in a masked box when no
    // keyring holds it; never stored. nullopt when the user cancels or nobody can be asked.
    // The password is UTF-8, as AUTH sends it.
    virtual std::optional<std::string> AskPassword(const std::string& authUser) {
        (void)authUser;
        return std::nullopt;
    }
    // Machine-dependent characters (each Shift_JIS) are about to go out; true goes on with the
    // send. The window asks in a confirmation box.
    virtual bool ConfirmMachineDependent(const std::vector<std::string>& characters);
    // Settings the send cannot go without are missing (missing: their names, Shift_JIS). The
    // window says so in a box that offers the options dialog, and opens it on OK.
    virtual void OfferOptions(const std::string& missing);
    // Opens the options dialog.
    virtual void OpenOptions() {}
};

class TSendFlow {
  public:
    // Gives the client the properties the program sends with and binds its events to the
    // handlers below; the destructor unbinds them, so the client must outlive the flow.
    TSendFlow(TZelSMTP& ZelSMTP1, TComposeFields& Fields);
    ~TSendFlow();
    TSendFlow(const TSendFlow&) = delete;
    TSendFlow& operator=(const TSendFlow&) = delete;

    // The send button. A settings value that cannot be used (a "Port" that is no number, a value
    // of the wrong type) leaves as an exception for the general error display.
    void SpeedButton3Click();

    void ZelSMTP1Connect();
    void ZelSMTP1Disconnect();
    void ZelSMTP1Status(const std::string& Status);
    void ZelSMTP1ConnectionFailed();
    void ZelSMTP1PacketSent();
    void ZelSMTP1ConnectionRequired(bool& Handled);
    void ZelSMTP1Success();
    void ZelSMTP1SendStart();
    void ZelSMTP1ReplyWait(int Seconds);
    void ZelSMTP1AuthenticationFailed(bool& Handled);

    // Values that replace the stored settings of the same name ("Name", "Email", "UserID",
    // "Smtp", "Port", "Security", "AuthUser", "CAFile", "Charset", and those of the Sent copy:
    // "SaveSent", "ImapHost", "ImapPort", "ImapSecurity", "ImapUser", "SentFolder") at every send;
    // the stored values are then neither read nor changed. Values are UTF-8, as the store holds them.
    void SetSettingOverrides(std::map<std::string, std::string> overrides);
    // The AUTH password (UTF-8) to use instead of the keyring's or the user's answer; it serves
    // the IMAP user of the Sent copy too.
    void SetPasswordOverride(std::optional<std::string> password);

    // How the last send ended, for callers that report it (the command-line sender).
    using Outcome = TSendOutcome;
    Outcome LastOutcome() const { return lastOutcome_; }
    // The message of the exception that ended the last send, empty when there was none.
    const std::string& LastError() const { return lastError_; }
    // Why the copy of the last sent message was not kept in the Sent mailbox (Shift_JIS); empty
    // when it was, or when none was asked for. The send stays a success either way.
    const std::string& SentCopyWarning() const { return copyWarning_; }

  private:
    struct TSendSettings;

    void SetInstanceProperties();
    void BindEvents();
    std::string ReadSetting(const char* ident);
    bool ReadFields(TCharset charset, TMessageText& message);
    bool ReadUnicodeFields(const char* field, TMessageText& message);
    void RefuseUnencodable(const char* field, const ECodePageError& e);
    TSendSettings ReadSettings();
    bool SettleName(TCharset charset, TSendSettings& settings, TMessageText& message);
    void ApplySettings(const TSendSettings& settings);
    bool SettleCharacters(TSendSettings& settings, TMessageText& message);
    bool SettleUnicodeCharacters(const TSendSettings& settings, const TMessageText& message);
    bool TakePassword(const TSendSettings& settings);
    std::optional<std::string> Password(const std::string& user, const std::string& host);
    static TStringList BlindCopies(const std::string& field);
    bool HasServerAndSender(const TSendSettings& settings);
    bool PassesChecks(const TSendSettings& settings, const TMessageText& message);
    void Deliver(const TSendSettings& settings, TMessageText& message);
    void FillPostMessage(const TSendSettings& settings, TMessageText& message);
    void FillUtf8PostMessage(const TSendSettings& settings, TMessageText& message);
    void SaveCopy(const TSendSettings& settings);
    void CloseAfterAcceptance();
    void Report(const TMessageText& message);
    void RecordFailure(const std::exception& e, TSendOutcome outcome);
    void Fail(const std::exception& e);
    void FailWithoutReply(const std::exception& e);
    void CloseAfterFailure();
    TFailureScene Scene() const;

    TZelSMTP& ZelSMTP1;
    TComposeFields& Fields;
    std::map<std::string, std::string> overrides_;
    std::optional<std::string> passwordOverride_;
    bool passwordGiven_ = false;
    Outcome lastOutcome_ = Outcome::None;
    std::string lastError_;
    std::string copyWarning_;
    // The copy of the message the server accepted, until it is kept.
    std::optional<std::string> pendingCopy_;
    // The password for the Sent copy, kept past AUTH only while a copy is wanted.
    std::string copyPassword_;
    bool sending_ = false;
    bool accepted_ = false;
    bool connectionFailed_ = false;
    bool sessionOpen_ = false;
    std::string heloReply_;  // the refusal of HELO, which the QUIT after it overwrites
    bool replyWaitShown_ = false;
    // The message goes out in UTF-8; in the automatic set because of this character (0 when
    // the setting asked for UTF-8).
    bool utf8_ = false;
    char32_t unencodable_ = 0;
};
