#include "app/SendOutcome.h"

#include "imap/ImapClient.h"
#include "platform/CodePage.h"
#include "smtp/ZelLines.h"
#include "sock/Psock.h"

namespace {

using platform::Sjis;

// Where the user mends what the server refused.
const char* const kOptionsPath = "ツール → オプション設定";
const char* const kSecurityPath = "ツール → オプション設定 → セキュリティ";

std::string Line(const std::string& reply) {
    return WithoutLineEnd(reply);
}

std::string HostAndPort(const TFailureScene& s) {
    return Sjis("サーバー {1} のポート {2}", {s.Host, std::to_string(s.Port)});
}

std::string RefusedList(const std::vector<TRefusedRecipient>& refused, bool utf8) {
    std::string text;
    for (const TRefusedRecipient& r : refused)
        text += Sjis("\n{1} … {2}",
                     {utf8 ? platform::Utf8ToSjisShown(r.Address) : r.Address, r.Reply});
    return text;
}

// The protection a well-known submission port goes with, secNone when the port has none.
TSecurity UsualSecurity(int32_t port) {
    return port == 465 ? secTls : port == 587 ? secStartTls : secNone;
}

// The reply line of the command the server refused; empty when the failure was no refusal.
std::string RefusalReply(const std::exception& e, const TFailureScene&) {
    const auto* refusal = dynamic_cast<const ESmtpRefusal*>(&e);
    return refusal ? refusal->Reply : std::string();
}

template <class T>
bool Is(const std::exception& e) {
    return dynamic_cast<const T*>(&e) != nullptr;
}

// The rows of the cause table: the first whose test holds gives the text.
struct TCauseRow {
    bool (*Holds)(const std::exception& e, const TFailureScene& s);
    std::string (*Text)(const std::exception& e, const TFailureScene& s);
};

const TCauseRow kCauses[] = {
    {[](const std::exception& e, const TFailureScene&) { return Is<ENoReplyError>(e); },
     [](const std::exception&, const TFailureScene&) {
         return Sjis("サーバーから応答がありませんでした。メールは届いている可能性があります。");
     }},
    // No recipient accepted: each refused address with its reply.
    {[](const std::exception& e, const TFailureScene&) { return Is<ERecipientsRefused>(e); },
     [](const std::exception&, const TFailureScene& s) {
         if (s.Refused.empty())
             return Sjis("宛先にメールアドレスがありません。");
         return Sjis("どの宛先も受け取ってもらえませんでした：") + RefusedList(s.Refused, s.Utf8);
     }},
    // A tenant that switched SMTP AUTH off refuses every password and token alike.
    {[](const std::exception& e, const TFailureScene&) {
         return Is<EAuthError>(e) && MessageOf(e).find("5.7.139") != std::string::npos;
     },
     [](const std::exception& e, const TFailureScene&) {
         return Sjis("認証に失敗しました：") + Line(MessageOf(e)) +
                Sjis(
                    "\nこの組織では SMTP AUTH が無効になっています。管理者に、このメール"
                    "ボックスの SMTP AUTH を許可してもらってね。");
     }},
    // An OAuth access token refused twice (5.7.3, 5.7.8): a fresh one did not help either.
    {[](const std::exception& e, const TFailureScene&) { return Is<ETokenRefused>(e); },
     [](const std::exception& e, const TFailureScene&) {
         return Sjis("アクセストークンが受け付けられませんでした：") + Line(MessageOf(e)) +
                Sjis(
                    "\nサインインし直すか、トークンのコマンドを確かめてね。トークンに"
                    "メール送信の権限（スコープ）があるかも確かめてね。");
     }},
    // Refused before MAIL: the server named its limit.
    {[](const std::exception& e, const TFailureScene&) { return Is<EMessageTooLarge>(e); },
     [](const std::exception& e, const TFailureScene&) {
         const auto& large = dynamic_cast<const EMessageTooLarge&>(e);
         return Sjis("メールの大きさ {1} は、サーバーが受け取れる大きさ {2} を超えています。"
                     "添付ファイルを減らすか、小さくしてね。",
                     {MegaBytes(large.Size, large.Limit), MegaBytes(large.Limit, large.Size)});
     }},
    // Refused for its size after all (552, or the status 5.3.4 "message too big").
    {[](const std::exception& e, const TFailureScene& s) {
         const std::string reply = RefusalReply(e, s);
         return reply.starts_with("552") || reply.find(" 5.3.4 ") != std::string::npos;
     },
     [](const std::exception& e, const TFailureScene& s) {
         return Sjis("メールがサーバーには大きすぎました（too large for the server）。"
                     "サーバーの応答：{1}",
                     {Line(RefusalReply(e, s))});
     }},
    {[](const std::exception& e, const TFailureScene&) { return Is<EAuthError>(e); },
     [](const std::exception& e, const TFailureScene&) {
         return Sjis("認証に失敗しました：{1}\nユーザー名とパスワードは {2} で直してね。",
                     {Line(MessageOf(e)), Sjis(kSecurityPath)});
     }},
    {[](const std::exception& e, const TFailureScene&) { return Is<ECertificateError>(e); },
     [](const std::exception& e, const TFailureScene&) {
         return Sjis("サーバーの証明書を確かめられませんでした：") +
                Sjis(CertificateReason(dynamic_cast<const ECertificateError&>(e).Reason));
     }},
    // A submission port spoken to with the other protection: before the session opened, the
    // connection was reset, fell silent or carried something that was no refusal.
    {[](const std::exception& e, const TFailureScene& s) {
         const TSecurity usual = UsualSecurity(s.Port);
         return usual != secNone && s.Security != usual && !s.ConnectFailed && !s.SessionOpen &&
                (Is<ESockError>(e) || RefusalReply(e, s).empty());
     },
     [](const std::exception&, const TFailureScene& s) {
         return Sjis("ポート {1} のサーバーは、接続の保護に「{2}」を使うことが多いです。{3} で確かめてね。",
                     {std::to_string(s.Port),
                      UsualSecurity(s.Port) == secTls ? "SSL/TLS" : "STARTTLS",
                      Sjis(kSecurityPath)});
     }},
    {[](const std::exception&, const TFailureScene& s) { return s.ConnectFailed; },
     [](const std::exception&, const TFailureScene& s) {
         return Sjis("{1} に接続できませんでした。サーバー名とポートは {2} で確かめてね。",
                     {HostAndPort(s), Sjis(kOptionsPath)});
     }},
    // Socket errors: time-outs, resets, a host that cannot be looked up.
    {[](const std::exception& e, const TFailureScene&) { return Is<ESockError>(e); },
     [](const std::exception& e, const TFailureScene& s) {
         return Sjis("{1} との通信に失敗しました：{2}", {HostAndPort(s), MessageOf(e)});
     }},
    // A command the server refused: its reply line.
    {[](const std::exception& e, const TFailureScene& s) { return !RefusalReply(e, s).empty(); },
     [](const std::exception& e, const TFailureScene& s) {
         return Sjis("サーバーの応答：") + Line(RefusalReply(e, s));
     }},
};

// The rows of the Sent copy's causes: the first whose test holds gives the text.
struct TCopyCauseRow {
    bool (*Holds)(const std::exception& e);
    std::string (*Text)(const std::exception& e, const std::string& folder);
};

const TCopyCauseRow kCopyCauses[] = {
    {[](const std::exception& e) { return Is<EImapLoginError>(e); },
     [](const std::exception& e, const std::string&) {
         return Sjis("IMAP サーバーがログインを拒否しました（{1}）", {MessageOf(e)});
     }},
    {[](const std::exception& e) { return Is<EImapAppendError>(e); },
     [](const std::exception& e, const std::string& folder) {
         return Sjis("フォルダー \"{1}\" に保存できませんでした（{2}）",
                     {folder.empty() ? std::string("Sent") : folder, MessageOf(e)});
     }},
    {[](const std::exception& e) { return Is<ECertificateError>(e); },
     [](const std::exception& e, const std::string&) {
         return Sjis("IMAP サーバーの証明書を確かめられませんでした: ") +
                Sjis(CertificateReason(dynamic_cast<const ECertificateError&>(e).Reason));
     }},
    {[](const std::exception& e) { return Is<EImapNoAnswer>(e); },
     [](const std::exception&, const std::string&) {
         return Sjis("IMAP サーバーから応答がありませんでした");
     }},
};

}  // namespace

const char* CertificateReason(platform::TlsVerifyFailure reason) {
    switch (reason) {
        case platform::TlsVerifyFailure::UnknownIssuer:
            return "証明書の発行元が信頼されていません";
        case platform::TlsVerifyFailure::SelfSigned:
            return "自己署名の証明書です";
        case platform::TlsVerifyFailure::NameMismatch:
            return "証明書の名前がサーバー名と一致しません";
        case platform::TlsVerifyFailure::Expired:
            return "証明書の有効期限が切れています";
        case platform::TlsVerifyFailure::NotYetValid:
            return "証明書はまだ有効になっていません";
        default:
            return "証明書を検証できません";
    }
}

std::string FailureCause(const std::exception& e, const TFailureScene& scene) {
    for (const TCauseRow& row : kCauses) {
        if (row.Holds(e, scene))
            return row.Text(e, scene);
    }
    return Line(MessageOf(e));
}

std::string ConnectionCause(const TFailureScene& scene) {
    return Sjis("{1} に接続できませんでした。", {HostAndPort(scene)});
}

std::string RefusedRecipientsText(const std::vector<TRefusedRecipient>& refused, bool utf8) {
    return Sjis("次の宛先には送れませんでした：") + RefusedList(refused, utf8) +
           Sjis("\n宛先欄には送れなかった宛先だけを残したので、直して送り直してね。");
}

std::string WithCause(const char* firstLineUtf8, const std::string& cause) {
    return cause.empty() ? Sjis(firstLineUtf8) : Sjis(firstLineUtf8) + "\n" + cause;
}

std::string Utf8Notice(char32_t character) {
    return Sjis("ISO-2022-JP で表せない文字 {1} があるので、UTF-8 で送ります",
                {platform::CodePointName(character)});
}

std::string SentCopyCause(const std::exception& e, const std::string& folder) {
    for (const TCopyCauseRow& row : kCopyCauses) {
        if (row.Holds(e))
            return row.Text(e, folder);
    }
    return MessageOf(e);
}

std::string CopyNotSavedText(const std::string& cause) {
    return Sjis("メールは送信しましたが、送信済みフォルダーにコピーを保存できませんでした: {1}",
                {cause});
}
