#include "app/SendFlow.h"

#include "app/FillMessage.h"
#include "app/SendFlowText.h"
#include "app/SentCopy.h"
#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/MessageBoxes.h"
#include "smtp/Zelsmtp.h"

namespace {

using platform::Sjis;

// Clears a flag when the scope ends, however it ends.
class TFlagScope {
  public:
    explicit TFlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~TFlagScope() { flag_ = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

  private:
    bool& flag_;
};

bool IsFailure(TSendOutcome outcome) {
    return outcome == TSendOutcome::Failed || outcome == TSendOutcome::NoReply;
}

// The refused entries of one field, as typed, for the field to keep.
std::string RefusedOf(const std::vector<TRefusedRecipient>& refused, TRecipientField field) {
    std::string kept;
    for (const TRefusedRecipient& r : refused) {
        if (r.Field == field)
            kept += (kept.empty() ? "" : ", ") + r.Address;
    }
    return kept;
}

}  // namespace

TSendFlow::TSendFlow(TZelSMTP& ZelSMTP1, TComposeFields& Fields)
    : ZelSMTP1(ZelSMTP1), Fields(Fields) {
    SetInstanceProperties();
    BindEvents();
}

TSendFlow::~TSendFlow() {
    // The client may outlive the flow; it must not call back into it.
    ZelSMTP1.OnConnect = nullptr;
    ZelSMTP1.OnDisconnect = nullptr;
    ZelSMTP1.OnStatus = nullptr;
    ZelSMTP1.OnConnectionFailed = nullptr;
    ZelSMTP1.OnPacketSent = nullptr;
    ZelSMTP1.OnConnectionRequired = nullptr;
    ZelSMTP1.OnSuccess = nullptr;
    ZelSMTP1.OnSendStart = nullptr;
    ZelSMTP1.OnReplyWait = nullptr;
    ZelSMTP1.OnAuthenticationFailed = nullptr;
    ZelSMTP1.OnTokenRefused = nullptr;
}

void TSendFlow::SetInstanceProperties() {
    ZelSMTP1.Port = 25;
    ZelSMTP1.TimeOut = 5000;
    ZelSMTP1.ReportLevel = 0;
    ZelSMTP1.EncodeType = uuMime;
    ZelSMTP1.ClearParams = true;
    ZelSMTP1.SubType = mtPlain;
    ZelSMTP1.Charset = "iso-2022-jp";
    ZelSMTP1.PostMessage.LocalProgram = Sjis(kLocalProgram);
}

void TSendFlow::BindEvents() {
    ZelSMTP1.OnConnect = [this](TObject*) { ZelSMTP1Connect(); };
    ZelSMTP1.OnDisconnect = [this](TObject*) { ZelSMTP1Disconnect(); };
    ZelSMTP1.OnStatus = [this](TComponent*, const std::string& Status) { ZelSMTP1Status(Status); };
    ZelSMTP1.OnConnectionFailed = [this](TObject*) { ZelSMTP1ConnectionFailed(); };
    ZelSMTP1.OnPacketSent = [this](TObject*) { ZelSMTP1PacketSent(); };
    ZelSMTP1.OnConnectionRequired = [this](bool& Handled) { ZelSMTP1ConnectionRequired(Handled); };
    ZelSMTP1.OnSuccess = [this](TObject*) { ZelSMTP1Success(); };
    ZelSMTP1.OnSendStart = [this](TObject*) { ZelSMTP1SendStart(); };
    ZelSMTP1.OnReplyWait = [this](int Seconds) { ZelSMTP1ReplyWait(Seconds); };
    ZelSMTP1.OnAuthenticationFailed = [this](bool& Handled) {
        ZelSMTP1AuthenticationFailed(Handled);
    };
}

void TSendFlow::SetSettingOverrides(std::map<std::string, std::string> overrides) {
    settings_.SetOverrides(std::move(overrides));
}

void TSendFlow::SetPasswordOverride(std::optional<std::string> password) {
    password_.Give(std::move(password));
}

void TSendFlow::SetPasswordSource(std::function<std::string()> fetch) {
    password_.GiveLater(std::move(fetch));
}

void TSendFlow::Send() {
    if (sending_)
        return;
    TFlagScope sending(sending_);
    run_ = TSendRun{};
    settings_.Reread();
    TSendSettings settings;
    TMessageText message;
    TStepResult stop = Prepare(settings, message);
    // The password lives only as long as the send, out of reach of a core dump.
    platform::SecretScope password(ZelSMTP1.AuthPassword);
    std::optional<platform::NonDumpableScope> noDump;
    if (!stop) {
        if (!settings.AuthUser.empty())
            noDump.emplace();
        stop = TakePassword(settings);
    }
    if (!stop)
        stop = Deliver(settings, message);
    Stop(*stop);
    if (run_.Outcome == Outcome::Sent || run_.Outcome == Outcome::SentToSome)
        SaveCopy(settings);
    run_.CopyPassword.Wipe();
}

// Everything before connecting: the fields, the settings, the charset, the checks.
TStepResult TSendFlow::Prepare(TSendSettings& settings, TMessageText& message) {
    if (Fields.ToAddressEmpty())
        return TSendStop{Outcome::EmptyTo, Sjis("宛先を設定してね。"), ""};
    const TCharset charset = CharsetOf(settings_.Read("Charset"));
    if (TStepResult stop = ReadFields(Fields, charset, message, run_.Charset))
        return stop;
    settings = ReadSendSettings(settings_);
    if (const std::string missing = MissingSettings(settings); !missing.empty()) {
        Fields.OfferOptions(missing);
        return TSendStop{Outcome::MissingSettings, "", ""};
    }
    if (TStepResult stop = SettleName(Fields, charset, settings, message, run_.Charset))
        return stop;
    ApplySendSettings(ZelSMTP1, settings);
    if (TStepResult stop = CheckBeforeConnecting(settings, message, run_.Charset.Utf8))
        return stop;
    return SettleCharacters(Fields, run_.Charset, settings, message);
}

// The AUTH password, before anything is sent.
TStepResult TSendFlow::TakePassword(const TSendSettings& settings) {
    auth_ = TSendAuth([this](const char* ident) { return settings_.Read(ident); });
    if (settings.AuthUser.empty()) {
        // Without a user there would be no AUTH at all, which is not what OAuth asked for.
        if (auth_.OAuth())
            throw Exception(Sjis("OAuth を使うときは、認証ユーザー名（メールアドレス）を入れてね"));
        return std::nullopt;
    }
    ZelSMTP1.AuthMethod = auth_.OAuth() ? amOAuth : amPassword;
    ZelSMTP1.OnTokenRefused = nullptr;
    if (auth_.OAuth())
        return TakeAccessToken(settings);
    std::optional<platform::TSecret> secret =
        password_.Take(settings.AuthUser, settings.Smtp, Fields);
    if (!secret || secret->Empty())
        return TSendStop{Outcome::NoPassword, Sjis("パスワードがないので、送信をやめたよ。"), ""};
    // AUTH wipes its password as soon as it is over; the copy for the Sent mailbox comes later.
    if (settings.Copy.Wanted())
        run_.CopyPassword = secret->Copy();
    ZelSMTP1.AuthPassword = secret->Text();
    return std::nullopt;
}

// The access token in place of the password; the server may ask for a fresh one once, which
// then serves the Sent copy too.
TStepResult TSendFlow::TakeAccessToken(const TSendSettings& settings) {
    try {
        ZelSMTP1.AuthPassword = auth_.AccessToken(settings.AuthUser);
    } catch (const ENoAccessToken& e) {
        return TSendStop{Outcome::NoToken,
                         WithCause("アクセストークンがないので、送信をやめたよ。", e.Message()),
                         e.Message()};
    } catch (const std::exception& e) {
        return Failure(e);
    }
    const bool copy = settings.Copy.Wanted();
    ZelSMTP1.OnTokenRefused = [this, user = settings.AuthUser, copy] {
        std::string token = auth_.FreshToken(user);
        if (copy)
            run_.CopyPassword = platform::TSecret(std::string(token));
        return token;
    };
    if (copy)
        run_.CopyPassword = platform::TSecret(std::string(ZelSMTP1.AuthPassword));
    return std::nullopt;
}

TStepResult TSendFlow::Deliver(const TSendSettings& settings, TMessageText& message) {
    try {
        ZelSMTP1.LastReply.clear();
        ZelSMTP1.Connect();
        FillPostMessage(ZelSMTP1, settings, message, run_.Charset.Utf8);
        Fields.ReleaseBody();
        ZelSMTP1.PostMessage.Attachments.Clear();
        for (const std::string& path : Fields.AttachmentPaths())
            ZelSMTP1.PostMessage.Attachments.Add(path);
        ZelSMTP1.Send();
        // Send returns without a word when the client is busy elsewhere: only OnSuccess means sent.
        if (!run_.Accepted)
            throw Exception("Send did not complete");
        if (settings.Copy.Wanted())
            run_.PendingCopy = ZelSMTP1.SentCopy();
    } catch (const std::exception& e) {
        TSendStop stop = Failure(e);
        CloseAfterFailure();
        return stop;
    }
    CloseAfterAcceptance();
    return Delivered();
}

// The server holds the message now: nothing that QUIT meets can make it unsent, and a success
// box left open must not outlast the server's patience with an idle connection.
void TSendFlow::CloseAfterAcceptance() {
    try {
        ZelSMTP1.Disconnect();
    } catch (const std::exception&) {
        // QUIT refused or unanswered; Disconnect has closed the connection all the same.
    }
}

// The fields keep what was not delivered: all are emptied when nothing was refused; otherwise
// subject and body stay and the address fields keep only the refused entries, so that sending
// again reaches no one twice. One box tells both.
TStepResult TSendFlow::Delivered() {
    const std::vector<TRefusedRecipient>& refused = ZelSMTP1.RefusedRecipients;
    std::string text = Sjis("メールを送信したよ。");
    // Said once the message went out, and left in the status panel for the user to read.
    if (run_.Charset.Because != 0) {
        text += "\n" + Utf8Notice(run_.Charset.Because);
        Fields.SetStatusText(Utf8Notice(run_.Charset.Because));
    }
    if (refused.empty()) {
        Fields.ClearFields();
        return TSendStop{Outcome::Sent, text, ""};
    }
    const auto field = [&](TRecipientField f) {
        const std::string kept = RefusedOf(refused, f);
        return run_.Charset.Utf8 ? kept : platform::SjisToUtf8(kept);
    };
    Fields.SetAddressFields(field(TRecipientField::To), field(TRecipientField::CarbonCopy),
                            field(TRecipientField::BlindCarbonCopy));
    return TSendStop{Outcome::SentToSome,
                     text + "\n" + RefusedRecipientsText(refused, run_.Charset.Utf8), ""};
}

// Only a message the server accepted has a copy waiting; the send stays a success whatever
// becomes of it.
void TSendFlow::SaveCopy(const TSendSettings& settings) {
    if (!run_.PendingCopy)
        return;
    const std::string copy = std::move(*run_.PendingCopy);
    run_.PendingCopy.reset();
    // A password given for the run serves every IMAP user (AUTH may have taken it already, or
    // there was no AUTH); another comes from the keyring or the user.
    const platform::TSecret given =
        password_.Given() ? run_.CopyPassword.Copy() : platform::TSecret();
    TSentCopyContext context{settings.Smtp,
                             settings.AuthUser,
                             std::move(run_.CopyPassword),
                             ZelSMTP1.CAFile,
                             ZelSMTP1.TimeOut,
                             ZelSMTP1.ReportLevel,
                             nullptr,
                             nullptr,
                             auth_.OAuth(),
                             [this, user = settings.AuthUser] { return auth_.FreshToken(user); }};
    context.OnStatus = [this](const std::string& status) { ZelSMTP1Status(status); };
    context.PasswordOf = [this, &given](const std::string& user, const std::string& host) {
        return !given.Empty() ? std::optional<platform::TSecret>(given.Copy())
                              : password_.Take(user, host, Fields);
    };
    Fields.SetStatusText(Sjis("送信済みフォルダーに保存しています"));
    run_.CopyWarning = SaveSentCopy(settings.Copy, context, copy);
    if (run_.CopyWarning.empty()) {
        Fields.SetStatusText(Sjis("送信済みフォルダーに保存しました。"));
        return;
    }
    Fields.SetStatusText(Sjis("送信済みフォルダーに保存できませんでした。"));
    platform::ShowMessage(CopyNotSavedText(run_.CopyWarning), platform::MsgIcon::Warning);
}

// A failure after the send began: the server may hold the message already when its reply to
// the end never came, so that failure is told apart from a refusal.
TSendStop TSendFlow::Failure(const std::exception& e) {
    const Outcome outcome =
        dynamic_cast<const ENoReplyError*>(&e) ? Outcome::NoReply : Outcome::Failed;
    return TSendStop{outcome, WithCause("送信に失敗したよ。", FailureCause(e, Scene())),
                     MessageOf(e)};
}

// The one place a send ends early or is told: the outcome for callers, the status and the box.
void TSendFlow::Stop(const TSendStop& stop) {
    run_.Outcome = stop.Outcome;
    run_.Error = stop.Error;
    if (stop.Text.empty())
        return;
    if (IsFailure(stop.Outcome))
        Fields.SetStatusText(Sjis("送信に失敗しました。"));
    // A message that went out to everyone is a plain report; anything else wants mending.
    platform::ShowMessage(stop.Text, stop.Outcome == Outcome::Sent ? platform::MsgIcon::Information
                                                                   : platform::MsgIcon::Warning);
}

// A connection left open would refuse the next send with "Already connected", and a refused or
// timed-out attempt leaves a socket that cannot connect again: start the next send afresh.
void TSendFlow::CloseAfterFailure() {
    if (!ZelSMTP1.IsConnected && !run_.ConnectionFailed)
        return;
    try {
        ZelSMTP1.RequestCloseSocket();
    } catch (const std::exception&) {
        // Nothing more to do: the send is reported as failed.
    }
}

TFailureScene TSendFlow::Scene() const {
    return TFailureScene{ZelSMTP1.Host,         ZelSMTP1.Port,    ZelSMTP1.Security,
                         run_.ConnectionFailed, run_.SessionOpen, ZelSMTP1.RefusedRecipients,
                         run_.Charset.Utf8};
}
