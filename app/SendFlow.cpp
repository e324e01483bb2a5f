#include "app/SendFlow.h"
#include "app/SendChecks.h"
#include "app/SendFlowText.h"
#include "app/SentCopy.h"

#include <fstream>
#include <optional>

#include "jconvert/HeaderWords.h"
#include "jconvert/LongLines.h"
#include "jconvert/jchars.h"
#include "jconvert/jconvert.h"
#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/Credentials.h"
#include "platform/Exception.h"
#include "platform/HostName.h"
#include "platform/MessageBoxes.h"
#include "platform/RegIniFile.h"
#include "platform/Secret.h"
#include "smtp/ZelUtf8.h"
#include "smtp/Zelsmtp.h"

struct TSendFlow::TSendSettings {
    std::string NameUtf8;
    std::string Name;  // Shift_JIS, for a message in ISO-2022-JP
    std::string Email;
    std::string UserID;
    std::string Smtp;
    std::string Port;
    std::string Security;
    std::string AuthUser;
    std::string CAFile;
    TSentCopySettings Copy;
};

namespace {

const char* const kLocalProgram = "もこちゃんのぴこぴこ便";

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

// What the From line holds before "<": the sender's name as a phrase and one blank, or nothing.
std::string FromName(const std::string& name, const TWordCharset& charset) {
    const std::string phrase = EncodePhrase(name, charset);
    return phrase.empty() ? phrase : phrase + ' ';
}

void ShowBox(const char* utf8Text) {
    platform::ShowMessage(platform::Sjis(utf8Text));
}

TSecurity SecurityOf(const std::string& text) {
    if (text.empty() || text == "none")
        return secNone;
    if (text == "starttls")
        return secStartTls;
    if (text == "tls")
        return secTls;
    throw Exception(platform::Sjis("接続の保護 \"") + text +
                    platform::Sjis("\" は none、starttls、tls のどれでもありません"));
}

// What both forms of the message share: the sender, the date, the charset and the BCC entry;
// the lists the texts go into are emptied.
void FillEnvelope(TZelSMTP& client, const std::string& email, const TMessageText& message,
                  const char* charset) {
    client.Charset = charset;
    client.TextIsUtf8 = std::string_view(charset) == "UTF-8";
    TPostMessage& post = client.PostMessage;
    post.FromAddress = email;
    post.Date = Rfc5322Date(std::time(nullptr));
    post.ToAddress.Clear();
    post.ToCarbonCopy.Clear();
    post.ToBlindCarbonCopy.Clear();
    post.ToBlindCarbonCopy.Add(message.ToBlindCarbonCopy);
    post.Body.Clear();
}

}  // namespace

TMessageText TComposeFields::UnicodeText() const {
    TMessageText text{platform::SjisToUtf8(ToAddress()),
                      platform::SjisToUtf8(ToCarbonCopy()),
                      platform::SjisToUtf8(ToBlindCarbonCopy()),
                      platform::SjisToUtf8(Subject()),
                      {}};
    for (const std::string& line : BodyLines())
        text.Body.push_back(platform::SjisToUtf8(line));
    return text;
}

bool TComposeFields::ConfirmMachineDependent(const std::vector<std::string>& characters) {
    return platform::CurrentMessageBoxes().Show(
               platform::Sjis("確認"), MachineDependentQuestion(characters),
               platform::MsgIcon::Question,
               platform::MsgButtons::OkCancel) == platform::MsgResult::Ok;
}

void TComposeFields::OfferOptions(const std::string& missing) {
    const auto answer = platform::CurrentMessageBoxes().Show(
        platform::Sjis("確認"), MissingSettingsQuestion(missing), platform::MsgIcon::Question,
        platform::MsgButtons::OkCancel);
    if (answer == platform::MsgResult::Ok)
        OpenOptions();
}

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
}

void TSendFlow::SetInstanceProperties() {
    ZelSMTP1.Port = 25;
    ZelSMTP1.TimeOut = 5000;
    ZelSMTP1.ReportLevel = 0;
    ZelSMTP1.EncodeType = uuMime;
    ZelSMTP1.ClearParams = true;
    ZelSMTP1.SubType = mtPlain;
    ZelSMTP1.Charset = "iso-2022-jp";
    ZelSMTP1.PostMessage.LocalProgram = platform::Sjis(kLocalProgram);
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
    overrides_ = std::move(overrides);
}

void TSendFlow::SetPasswordOverride(std::optional<std::string> password) {
    passwordGiven_ = password.has_value();
    passwordOverride_ = std::move(password);
    // A short string's bytes stay behind in the one it was moved from.
    if (password)
        platform::WipeSecret(*password);
}

void TSendFlow::SpeedButton3Click() {
    // The client keeps the message loop running while it waits, so the button can be pressed
    // again in the middle of a send; such a press is ignored rather than starting a second
    // connection on the same client.
    if (sending_)
        return;
    TFlagScope sending(sending_);
    lastOutcome_ = Outcome::None;
    lastError_.clear();
    copyWarning_.clear();
    connectionFailed_ = false;

    if (Fields.ToAddressEmpty()) {
        lastOutcome_ = Outcome::EmptyTo;
        ShowBox("宛先を設定してね。");
        return;
    }
    utf8_ = false;
    unencodable_ = 0;
    const TCharset charset = CharsetOf(ReadSetting("Charset"));
    TMessageText message;
    if (!ReadFields(charset, message))
        return;
    TSendSettings settings = ReadSettings();
    if (!HasServerAndSender(settings) || !SettleName(charset, settings, message))
        return;
    ApplySettings(settings);
    if (!PassesChecks(settings, message))
        return;
    if (utf8_ ? !SettleUnicodeCharacters(settings, message) : !SettleCharacters(settings, message))
        return;
    if (unencodable_ != 0)
        Fields.SetStatusText(Utf8Notice(unencodable_));
    // The password lives only as long as the send, out of reach of a core dump.
    platform::SecretScope password(ZelSMTP1.AuthPassword);
    platform::SecretScope copyPassword(copyPassword_);
    std::optional<platform::NonDumpableScope> noDump;
    if (!settings.AuthUser.empty())
        noDump.emplace();
    if (!TakePassword(settings))
        return;
    try {
        Deliver(settings, message);
    } catch (const ENoReplyError& e) {
        FailWithoutReply(e);
        return;
    } catch (const std::exception& e) {
        Fail(e);
        return;
    }
    Report(message);
    SaveCopy(settings);
}

TStringList TSendFlow::BlindCopies(const std::string& field) {
    TStringList list;
    if (!field.empty())
        list.Add(field);
    return list;
}

std::string TSendFlow::ReadSetting(const char* ident) {
    const auto given = overrides_.find(ident);
    return given != overrides_.end() ? given->second
                                     : TRegIniFile().ReadUtf8String("Settings", ident, "");
}

// Reads every field before anything is sent. A character that code page 932 cannot hold never
// reaches the server mangled: it sends the message in UTF-8, or, when the setting asks for
// ISO-2022-JP, stops the send with the fields untouched.
bool TSendFlow::ReadFields(TCharset charset, TMessageText& message) {
    const char* field = "宛先";
    if (charset == TCharset::Utf8)
        return ReadUnicodeFields(field, message);
    try {
        message.ToAddress = Fields.ToAddress();
        field = "ＣＣ";
        message.ToCarbonCopy = Fields.ToCarbonCopy();
        field = "ＢＣＣ";
        message.ToBlindCarbonCopy = Fields.ToBlindCarbonCopy();
        field = "件名";
        message.Subject = Fields.Subject();
        field = "本文";
        message.Body = Fields.BodyLines();
        return true;
    } catch (const ECodePageError& e) {
        if (charset == TCharset::Iso2022Jp) {
            RefuseUnencodable(field, e);
            return false;
        }
        unencodable_ = e.Character;
        return ReadUnicodeFields(field, message);
    }
}

bool TSendFlow::ReadUnicodeFields(const char* field, TMessageText& message) {
    try {
        message = Fields.UnicodeText();
        utf8_ = true;
        return true;
    } catch (const ECodePageError& e) {
        RefuseUnencodable(field, e);
        return false;
    }
}

void TSendFlow::RefuseUnencodable(const char* field, const ECodePageError& e) {
    lastOutcome_ = Outcome::Unencodable;
    lastError_ = e.Message();
    platform::ShowMessage(platform::Sjis(field) + platform::Sjis("に、シフトJISで表せない文字 ") +
                          platform::CodePointName(e.Character) +
                          platform::Sjis(" があります。この文字を直してから送信してね。"));
}

// Values in the store's Unicode; those the message needs in Shift_JIS are converted as the
// store's own reading would, raising ECodePageError for a character code page 932 lacks.
TSendFlow::TSendSettings TSendFlow::ReadSettings() {
    const auto read = [this](const char* ident) {
        return platform::Utf8ToSjis(ReadSetting(ident));
    };
    TSendSettings values;
    values.NameUtf8 = ReadSetting("Name");
    values.Email = read("Email");
    values.UserID = read("UserID");
    values.Smtp = read("Smtp");
    values.Port = read("Port");
    values.Security = read("Security");
    values.AuthUser = read("AuthUser");
    values.CAFile = read("CAFile");
    values.Copy = {read("SaveSent"),     read("ImapHost"), read("ImapPort"),
                   read("ImapSecurity"), read("ImapUser"), read("SentFolder")};
    return values;
}

// Without a server or a sender there is nothing to connect to or to send from.
bool TSendFlow::HasServerAndSender(const TSendSettings& settings) {
    std::string missing;
    if (settings.Smtp.empty())
        missing += platform::Sjis("ＳＭＴＰサーバ");
    if (settings.Email.empty())
        missing += (missing.empty() ? "" : platform::Sjis("、")) + platform::Sjis("メールアドレス");
    if (missing.empty())
        return true;
    lastOutcome_ = Outcome::MissingSettings;
    Fields.OfferOptions(missing);
    return false;
}

// An empty user id would make "HELO " with no name, which servers refuse.
void TSendFlow::ApplySettings(const TSendSettings& settings) {
    ZelSMTP1.UserID = settings.UserID.empty() ? platform::HeloName() : settings.UserID;
    ZelSMTP1.Host = settings.Smtp;
    ZelSMTP1.Port = PortNumber(settings.Port);
    ZelSMTP1.Security = SecurityOf(settings.Security);
    if (!settings.AuthUser.empty() && ZelSMTP1.Security == secNone) {
        throw Exception(
            platform::Sjis("認証を使うときは、接続の保護を starttls か tls にしてね"
                           "（パスワードは暗号化しない接続では送りません）"));
    }
    ZelSMTP1.AuthUser = settings.AuthUser;
    if (settings.Copy.Wanted())
        CheckSentCopySettings(settings.Copy);
    ZelSMTP1.CAFile = platform::SjisToUtf8(settings.CAFile);
    if (!ZelSMTP1.CAFile.empty() && !std::ifstream(ZelSMTP1.CAFile).is_open()) {
        throw Exception(platform::Sjis("証明書ファイル ") + settings.CAFile +
                        platform::Sjis(" を読めません"));
    }
}

// The sender's name belongs to the message: one that ISO-2022-JP cannot carry sends the whole
// message in UTF-8 as well, unless the setting asks for ISO-2022-JP, where it stays the setting
// that cannot be read.
bool TSendFlow::SettleName(TCharset charset, TSendSettings& settings, TMessageText& message) {
    if (utf8_)
        return true;
    try {
        settings.Name = platform::Utf8ToSjis(settings.NameUtf8);
        return true;
    } catch (const ECodePageError& e) {
        if (charset == TCharset::Iso2022Jp)
            throw;
        unencodable_ = e.Character;
        return ReadUnicodeFields("宛先", message);
    }
}

// The AUTH password, before anything is sent; false when there is none to be had.
bool TSendFlow::TakePassword(const TSendSettings& settings) {
    if (settings.AuthUser.empty())
        return true;
    std::optional<std::string> password = Password(settings.AuthUser, settings.Smtp);
    if (!password || password->empty()) {
        lastOutcome_ = Outcome::NoPassword;
        ShowBox("パスワードがないので、送信をやめたよ。");
        return false;
    }
    ZelSMTP1.AuthPassword = std::move(*password);
    platform::WipeSecret(*password);
    // AUTH wipes its password as soon as it is over; the copy for the Sent mailbox comes later.
    if (settings.Copy.Wanted())
        copyPassword_ = ZelSMTP1.AuthPassword;
    return true;
}

// The one given for this run first, then the keyring's for the user and server, then the user's
// answer.
std::optional<std::string> TSendFlow::Password(const std::string& user, const std::string& host) {
    // Handed over, not copied: one copy of the password at a time.
    if (passwordOverride_) {
        std::optional<std::string> given = std::move(passwordOverride_);
        platform::WipeSecret(*passwordOverride_);
        passwordOverride_.reset();
        return given;
    }
    platform::CredentialStore& store = platform::CurrentCredentialStore();
    if (store.Available()) {
        // The key as the options dialog keeps it: Shift_JIS, as the settings hold the names.
        if (std::optional<std::string> stored =
                store.ReadPassword(platform::CredentialKey(user, host)))
            return stored;
    }
    return Fields.AskPassword(user);
}

// The addresses go to the checks in UTF-8 whatever the message's set, so that one outside ASCII
// is named as the character it is.
bool TSendFlow::PassesChecks(const TSendSettings& settings, const TMessageText& message) {
    const auto unicode = [this](const std::string& text) {
        return utf8_ ? text : platform::SjisToUtf8(text);
    };
    const std::string to = unicode(message.ToAddress);
    const std::string cc = unicode(message.ToCarbonCopy);
    const std::string bcc = unicode(message.ToBlindCarbonCopy);
    const std::string email = platform::SjisToUtf8(settings.Email);
    const std::string refusal =
        RefusalBeforeConnecting({{"宛先", to, TCheckedField::Recipients},
                                 {"ＣＣ", cc, TCheckedField::Recipients},
                                 {"ＢＣＣ", bcc, TCheckedField::Recipients},
                                 {"件名", message.Subject, TCheckedField::Text},
                                 {"オプション設定の名前", settings.NameUtf8, TCheckedField::Text},
                                 {"オプション設定のメールアドレス", email, TCheckedField::Sender}},
                                message.Body);
    if (refusal.empty())
        return true;
    lastOutcome_ = Outcome::Rejected;
    platform::ShowMessage(refusal);
    return false;
}

// ISO-2022-JP has no room for code page 932's own extensions, so before connecting: IBM codes
// become their twins, a user-defined character stops the send, and machine-dependent characters
// go only when the user agrees. The fields themselves stay as typed.
bool TSendFlow::SettleCharacters(TSendSettings& settings, TMessageText& message) {
    std::vector<std::pair<const char*, std::string*>> texts = {
        {"宛先", &message.ToAddress},
        {"ＣＣ", &message.ToCarbonCopy},
        {"件名", &message.Subject},
        {"オプション設定の名前", &settings.Name}};
    for (auto& line : message.Body)
        texts.emplace_back("本文", &line);
    std::vector<std::string> machineDependent;
    for (const auto& [field, text] : texts) {
        *text = ReplaceIbmExtensions(*text);
        if (const std::string character = FindUserDefinedChar(*text); !character.empty()) {
            lastOutcome_ = Outcome::Unencodable;
            platform::ShowMessage(UserDefinedCharMessage(field, character));
            return false;
        }
        CollectMachineDependentChars(*text, machineDependent);
    }
    if (machineDependent.empty() || Fields.ConfirmMachineDependent(machineDependent)) {
        return true;
    }
    lastOutcome_ = Outcome::Declined;
    return false;
}

// UTF-8 carries every other character as typed; a character of the writer's own font still
// reaches no reader.
bool TSendFlow::SettleUnicodeCharacters(const TSendSettings& settings,
                                        const TMessageText& message) {
    std::vector<std::pair<const char*, const std::string*>> texts = {
        {"宛先", &message.ToAddress},
        {"ＣＣ", &message.ToCarbonCopy},
        {"ＢＣＣ", &message.ToBlindCarbonCopy},
        {"件名", &message.Subject},
        {"オプション設定の名前", &settings.NameUtf8}};
    for (const auto& line : message.Body)
        texts.emplace_back("本文", &line);
    for (const auto& [field, text] : texts) {
        if (const char32_t c = FindPrivateUseChar(*text)) {
            lastOutcome_ = Outcome::Unencodable;
            platform::ShowMessage(UserDefinedCharMessage(field, c));
            return false;
        }
    }
    return true;
}

void TSendFlow::Deliver(const TSendSettings& settings, TMessageText& message) {
    sessionOpen_ = false;
    heloReply_.clear();
    ZelSMTP1.LastReply.clear();
    ZelSMTP1.Connect();
    if (utf8_)
        FillUtf8PostMessage(settings, message);
    else
        FillPostMessage(settings, message);
    accepted_ = false;
    replyWaitShown_ = false;
    ZelSMTP1.Send();
    // Send returns without a word when the client is busy elsewhere: only OnSuccess means sent.
    if (!accepted_)
        throw Exception("Send did not complete");
    if (settings.Copy.Wanted())
        pendingCopy_ = ZelSMTP1.SentCopy(BlindCopies(EncodeAddressList(message.ToBlindCarbonCopy)));
    CloseAfterAcceptance();
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
// subject and body stay and the address fields keep only the refused entries, so that sending again
// reaches no one twice.
void TSendFlow::Report(const TMessageText& message) {
    const std::vector<TRefusedRecipient>& refused = ZelSMTP1.RefusedRecipients;
    if (refused.empty()) {
        Fields.ClearFields();
        lastOutcome_ = Outcome::Sent;
        ShowBox("メールを送信したよ。");
        return;
    }
    // The client names each refused entry in the header's encoded form; its address is the
    // same as the typed entry's.
    size_t next = 0;
    const auto keepRefused = [&](const std::string& field) {
        std::string kept;
        for (const std::string& piece : TZelSMTP::SplitRecipients(field, utf8_)) {
            if (next < refused.size() && TZelSMTP::ExtractAddress(refused[next].Address) ==
                                             TZelSMTP::ExtractAddress(piece)) {
                kept += (kept.empty() ? "" : ", ") + piece;
                ++next;
            }
        }
        return utf8_ ? kept : platform::SjisToUtf8(kept);
    };
    const std::string to = keepRefused(message.ToAddress);
    const std::string cc = keepRefused(message.ToCarbonCopy);
    Fields.SetAddressFields(to, cc, keepRefused(message.ToBlindCarbonCopy));
    lastOutcome_ = Outcome::SentToSome;
    ShowBox("メールを送信したよ。");
    platform::ShowMessage(RefusedRecipientsText(refused));
}

void TSendFlow::FillPostMessage(const TSendSettings& settings, TMessageText& message) {
    TPostMessage& post = ZelSMTP1.PostMessage;
    FillEnvelope(ZelSMTP1, settings.Email, message, "iso-2022-jp");
    post.FromName = FromName(settings.Name, Iso2022JpWords);
    post.Subject = EncodeHeaderText(message.Subject);
    post.LocalProgram = EncodeHeaderText(platform::Sjis(kLocalProgram));
    // The header's form of each field names the same addresses, so the envelope comes from it
    // too; BCC never reaches the header and goes as typed.
    post.ToAddress.Add(EncodeAddressList(message.ToAddress));
    post.ToCarbonCopy.Add(EncodeAddressList(message.ToCarbonCopy));
    // Each body line passes to the client's record and goes: the body is never held twice.
    post.Body.Reserve(post.Body.Count() + static_cast<int>(message.Body.size()));
    for (std::string& line : message.Body) {
        for (std::string& wireLine : BreakJisLine(SjisToJis(line)))
            post.Body.Add(std::move(wireLine));
        std::string().swap(line);
    }
    std::vector<std::string>().swap(message.Body);
}

// Every text as typed, in UTF-8: the header texts under the same rules as in ISO-2022-JP, with
// UTF-8 words, the body lines as the client's base64 takes them.
void TSendFlow::FillUtf8PostMessage(const TSendSettings& settings, TMessageText& message) {
    TPostMessage& post = ZelSMTP1.PostMessage;
    FillEnvelope(ZelSMTP1, settings.Email, message, "UTF-8");
    post.FromName = FromName(settings.NameUtf8, Utf8Words);
    post.Subject = EncodeHeaderText(message.Subject, Utf8Words);
    post.LocalProgram = EncodeHeaderText(kLocalProgram, Utf8Words);
    post.ToAddress.Add(EncodeAddressList(message.ToAddress, Utf8Words));
    post.ToCarbonCopy.Add(EncodeAddressList(message.ToCarbonCopy, Utf8Words));
    post.Body.Reserve(post.Body.Count() + static_cast<int>(message.Body.size()));
    for (std::string& line : message.Body)
        post.Body.Add(std::move(line));
    std::vector<std::string>().swap(message.Body);
}

// Only a message the server accepted has a copy waiting; the send stays a success whatever
// becomes of it.
void TSendFlow::SaveCopy(const TSendSettings& settings) {
    if (!pendingCopy_)
        return;
    const std::string copy = std::move(*pendingCopy_);
    pendingCopy_.reset();
    TSentCopyContext context{settings.Smtp,
                             settings.AuthUser,
                             copyPassword_,
                             ZelSMTP1.CAFile,
                             ZelSMTP1.TimeOut,
                             ZelSMTP1.ReportLevel,
                             nullptr,
                             nullptr};
    context.OnStatus = [this](const std::string& status) { ZelSMTP1Status(status); };
    // The password given for the run serves the IMAP user too, though AUTH took it first.
    context.PasswordOf = [this](const std::string& user, const std::string& host) {
        if (passwordGiven_ && !passwordOverride_)
            return std::optional<std::string>(copyPassword_);
        return Password(user, host);
    };
    Fields.SetStatusText(platform::Sjis("送信済みフォルダーに保存しています"));
    copyWarning_ = SaveSentCopy(settings.Copy, context, copy);
    if (copyWarning_.empty()) {
        Fields.SetStatusText(platform::Sjis("送信済みフォルダーに保存しました。"));
        return;
    }
    Fields.SetStatusText(platform::Sjis("送信済みフォルダーに保存できませんでした。"));
    platform::ShowMessage(CopyNotSavedText(copyWarning_));
}

void TSendFlow::RecordFailure(const std::exception& e, TSendOutcome outcome) {
    lastOutcome_ = outcome;
    const auto* own = dynamic_cast<const Exception*>(&e);
    lastError_ = own ? own->Message() : std::string(e.what());
}

void TSendFlow::Fail(const std::exception& e) {
    RecordFailure(e, Outcome::Failed);
    platform::ShowMessage(WithCause("送信に失敗したよ。", FailureCause(e, Scene())));
    CloseAfterFailure();
}

// The server may hold the message already: the user must not take the failure for a refusal
// and send it twice.
void TSendFlow::FailWithoutReply(const std::exception& e) {
    RecordFailure(e, Outcome::NoReply);
    platform::ShowMessage(FailureCause(e, Scene()));
    ShowBox("送信に失敗したよ。");
    CloseAfterFailure();
}

// A connection left open would refuse the next send with "Already connected", and a refused or
// timed-out attempt leaves a socket that cannot connect again: start the next send afresh.
void TSendFlow::CloseAfterFailure() {
    if (!ZelSMTP1.IsConnected && !connectionFailed_)
        return;
    try {
        ZelSMTP1.RequestCloseSocket();
    } catch (const std::exception&) {
        // Nothing more to do: the send has already been reported as failed.
    }
}

TFailureScene TSendFlow::Scene() const {
    TFailureScene scene{
        ZelSMTP1.Host, ZelSMTP1.Port,      ZelSMTP1.Security,         connectionFailed_,
        sessionOpen_,  ZelSMTP1.LastReply, ZelSMTP1.RefusedRecipients};
    if (!heloReply_.empty())
        scene.LastReply = heloReply_;
    return scene;
}
