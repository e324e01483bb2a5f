#pragma once
// What the send button does: read the settings afresh, open one SMTP connection, hand the client
// one message built from the five compose fields, close, and tell the user the outcome; then keep
// a copy in the Sent mailbox when the settings ask for it. The compose window and the
// command-line sender both drive it through Send. Each step of a send returns nothing or a
// stop, and Stop alone tells the user: box, status and the outcome a caller reads.
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "app/ComposeFields.h"
#include "app/MessageFields.h"
#include "app/SendAuth.h"
#include "app/SendOutcome.h"
#include "app/SendPassword.h"
#include "app/SendSettings.h"
#include "app/SendStop.h"
#include "platform/Secret.h"

class TZelSMTP;

class TSendFlow {
  public:
    // Gives the client the properties the program sends with and binds its events to the
    // handlers below; the destructor unbinds them, so the client must outlive the flow.
    TSendFlow(TZelSMTP& ZelSMTP1, TComposeFields& Fields);
    ~TSendFlow();
    TSendFlow(const TSendFlow&) = delete;
    TSendFlow& operator=(const TSendFlow&) = delete;

    // One send of what the fields hold. A settings value that cannot be used (a "Port" that is
    // no number, a value of the wrong type) leaves as an exception for the general error
    // display. A call while a send runs (the client keeps the message loop going while it
    // waits) is ignored.
    void Send();

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
    // the stored values are then neither read nor changed. Values are UTF-8, as the store holds
    // them.
    void SetSettingOverrides(std::map<std::string, std::string> overrides);
    // The AUTH password (UTF-8) to use instead of the keyring's or the user's answer; it serves
    // the IMAP user of the Sent copy too.
    void SetPasswordOverride(std::optional<std::string> password);
    // The same from fetch, called when the send first needs the password.
    void SetPasswordSource(std::function<std::string()> fetch);

    // How the last send ended, for callers that report it (the command-line sender).
    using Outcome = TSendOutcome;
    Outcome LastOutcome() const { return run_.Outcome; }
    // The message of the exception that ended the last send, empty when there was none.
    const std::string& LastError() const { return run_.Error; }
    // Why the copy of the last sent message was not kept in the Sent mailbox (Shift_JIS); empty
    // when it was, or when none was asked for. The send stays a success either way.
    const std::string& SentCopyWarning() const { return run_.CopyWarning; }

  private:
    // What one send knows, made afresh as each send starts.
    struct TSendRun {
        TSendOutcome Outcome = TSendOutcome::None;
        std::string Error;
        std::string CopyWarning;
        TCharsetChoice Charset;
        bool ConnectionFailed = false;
        bool SessionOpen = false;
        bool Accepted = false;
        bool ReplyWaitShown = false;
        // The copy of the message the server accepted, and the password (or access token) for
        // it, kept past AUTH only while a copy is wanted.
        std::optional<std::string> PendingCopy;
        platform::TSecret CopyPassword;
    };

    void SetInstanceProperties();
    void BindEvents();
    TStepResult Prepare(TSendSettings& settings, TMessageText& message);
    TStepResult TakePassword(const TSendSettings& settings);
    TStepResult TakeAccessToken(const TSendSettings& settings);
    TStepResult Deliver(const TSendSettings& settings, TMessageText& message);
    TStepResult Delivered();
    void CloseAfterAcceptance();
    void SaveCopy(const TSendSettings& settings);
    TSendStop Failure(const std::exception& e);
    void Stop(const TSendStop& stop);
    void CloseAfterFailure();
    TFailureScene Scene() const;

    TZelSMTP& ZelSMTP1;
    TComposeFields& Fields;
    TSettingSource settings_;
    TSendPassword password_;
    TSendAuth auth_;
    TSendRun run_;
    bool sending_ = false;
};
