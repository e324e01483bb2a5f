// The send flow's handlers of the client's events: status texts, progress, the failed
// connection, the question when the client finds itself without a connection.
#include <string>

#include "app/SendFlow.h"
#include "app/SendFlowText.h"
#include "app/SendOutcome.h"
#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"
#include "smtp/Zelsmtp.h"

void TSendFlow::ZelSMTP1Connect() {
    // The session is open once the server has said yes to HELO, EHLO or AUTH.
    sessionOpen_ = !ZelSMTP1.LastReply.empty() && ZelSMTP1.LastReply[0] == '2';
    Fields.SetStatusText(platform::Sjis("接続しました"));
}

void TSendFlow::ZelSMTP1Disconnect() {
    Fields.SetStatusText(platform::Sjis("接続は解除されました"));
}

void TSendFlow::ZelSMTP1Status(const std::string& Status) {
    Fields.SetStatusText(Status);
}

void TSendFlow::ZelSMTP1ConnectionFailed() {
    connectionFailed_ = true;
    platform::ShowMessage(WithCause("接続は失敗しました", ConnectionCause(Scene())),
                          platform::MsgIcon::Warning);
}

void TSendFlow::ZelSMTP1PacketSent() {
    Fields.SetProgressText(std::to_string(ZelSMTP1.SentBytes) +
                           platform::Sjis(" バイト送信しました（総バイト数 ") +
                           std::to_string(ZelSMTP1.TotalBytes) + platform::Sjis(" バイト）"));
}

void TSendFlow::ZelSMTP1ConnectionRequired(bool& Handled) {
    const auto answer = platform::CurrentMessageBoxes().Show(
        platform::Sjis("確認"), platform::Sjis("接続が必要です。接続しますか?"),
        platform::MsgIcon::Question, platform::MsgButtons::OkCancel);
    if (answer != platform::MsgResult::Ok)
        return;
    Handled = true;
    ZelSMTP1.Connect();
}

void TSendFlow::ZelSMTP1Success() {
    accepted_ = true;
    Fields.SetStatusText(platform::Sjis("送信しました。"));
}

// HELO was refused; it is not tried again.
void TSendFlow::ZelSMTP1AuthenticationFailed(bool& Handled) {
    Handled = false;
    heloReply_ = ZelSMTP1.LastReply;
}

// The first notice is a status; the counts after it, like the byte counts, are progress.
void TSendFlow::ZelSMTP1ReplyWait(int Seconds) {
    const std::string text = platform::Sjis("サーバーの応答を待っています ") +
                             std::to_string(Seconds) + platform::Sjis(" 秒");
    if (!replyWaitShown_)
        Fields.SetStatusText(text);
    else
        Fields.SetProgressText(text);
    replyWaitShown_ = true;
}

// Receiving servers refuse mail without a Message-ID; the header list is rebuilt by every Send,
// so the line is added here, after the build and before the header goes out.
void TSendFlow::ZelSMTP1SendStart() {
    ZelSMTP1.FinalHeader.PutHeader("Message-ID", NewMessageId(ZelSMTP1.PostMessage.FromAddress));
}
