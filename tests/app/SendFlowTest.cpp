// The send flow with a stand-in for the compose fields, recorded message boxes, the real settings
// store in a temporary place and a scripted SMTP peer on loopback.
#include "app/SendFlow.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QTimer>
#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <thread>

#include "jconvert/HeaderWords.h"
#include "jconvert/jconvert.h"
#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/HostName.h"
#include "platform/MessageLoop.h"
#include "platform/RegIniFile.h"
#include "smtp/Zelsmtp.h"
#include "tests/support/RecordingMessageBoxes.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/ScriptedSmtp.h"
#include "tests/support/TempSettings.h"

namespace {

using namespace std::chrono_literals;
using testsupport::RefusingPort;
using testsupport::ScriptedPeer;
using testsupport::SmtpReplies;

std::string U(const std::string& sjis) {
    return platform::SjisToUtf8(sjis);
}

// The five fields and the status panel; every status and the clearing go into one log.
class StandInFields : public TComposeFields {
  public:
    explicit StandInFields(std::vector<std::string>& log) : log_(log) {}

    std::string To, Cc, Bcc, SubjectText;
    std::vector<std::string> Body;
    std::string Unencodable;              // name of a field whose text code page 932 cannot hold
    std::optional<TMessageText> Unicode;  // the fields as typed, when they hold more
    std::function<void(const std::string&)> onStatus;

    bool ToAddressEmpty() const override { return To.empty(); }
    std::string ToAddress() const override { return Read("To", To); }
    std::string ToCarbonCopy() const override { return Read("Cc", Cc); }
    std::string ToBlindCarbonCopy() const override { return Read("Bcc", Bcc); }
    std::string Subject() const override { return Read("Subject", SubjectText); }
    std::vector<std::string> BodyLines() const override {
        Read("Body", "");
        return Body;
    }
    TMessageText UnicodeText() const override {
        return Unicode ? *Unicode : TComposeFields::UnicodeText();
    }
    void ClearFields() override {
        To.clear();
        Cc.clear();
        Bcc.clear();
        SubjectText.clear();
        Body.clear();
        log_.push_back("clear");
    }
    void SetAddressFields(const std::string& to, const std::string& cc,
                          const std::string& bcc) override {
        To = platform::Utf8ToSjis(to);
        Cc = platform::Utf8ToSjis(cc);
        Bcc = platform::Utf8ToSjis(bcc);
    }
    void OpenOptions() override { log_.push_back("options"); }
    void SetStatusText(const std::string& text) override {
        log_.push_back("status:" + U(text));
        if (onStatus)
            onStatus(U(text));
    }

  private:
    std::string Read(const char* name, const std::string& text) const {
        if (Unencodable == name)
            throw ECodePageError("U+1F600", 0x1F600);
        return text;
    }
    std::vector<std::string>& log_;
};

// Lines of the header block the peer received after DATA.
std::vector<std::string> HeaderLines(const std::string& received) {
    const size_t start = received.find("DATA\r\n") + 6;
    const size_t end = received.find("\r\n\r\n", start);
    std::vector<std::string> lines;
    for (size_t at = start; at < end;) {
        const size_t next = received.find("\r\n", at);
        lines.push_back(received.substr(at, next - at));
        at = next + 2;
    }
    return lines;
}

std::vector<std::string> Commands(const ScriptedPeer& peer, const std::string& verb) {
    std::vector<std::string> found;
    for (const auto& line : peer.ReceivedLines()) {
        if (line.starts_with(verb))
            found.push_back(line);
    }
    return found;
}

class SendFlowTest : public testing::Test {
  protected:
    SendFlowTest() {
        boxes.onShow = [this](const RecordedBox& box) { log.push_back("box:" + box.text); };
        fields.To = "to@example.jp";
        fields.SubjectText = platform::Sjis("件名");
        fields.Body = {platform::Sjis("本文です"), "second line"};
    }

    void Store(const std::string& port, const std::string& email = "me@example.jp") {
        TRegIniFile ini;
        ini.WriteString("Settings", "Name", platform::Sjis("送信者"));
        ini.WriteString("Settings", "Email", email);
        ini.WriteString("Settings", "UserID", "tester");
        ini.WriteString("Settings", "Smtp", "127.0.0.1");
        ini.WriteString("Settings", "Port", port);
    }
    void Store(const ScriptedPeer& peer) { Store(std::to_string(peer.Port())); }

    // What the compose window's handler wrapper does with an exception: the general display.
    void Press() {
        try {
            flow.Send();
        } catch (const std::exception& e) {
            platform::HandleException(e);
        }
    }

    bool FieldsKept() const { return fields.To == "to@example.jp" && fields.Body.size() == 2; }

    TempSettings settings;
    RecordingMessageBoxes boxes;
    std::vector<std::string> log;
    StandInFields fields{log};
    TZelSMTP ZelSMTP1{nullptr};
    TSendFlow flow{ZelSMTP1, fields};
};

TEST_F(SendFlowTest, SuccessShowsEachStepInOrderAndEmptiesTheFields) {
    ScriptedPeer peer;
    peer.Send("220 ready\r\n").ReplyEach(SmtpReplies());
    peer.Start();
    Store(peer);
    bool quitBeforeBox = true;
    boxes.onShow = [&](const RecordedBox& box) {
        log.push_back("box:" + box.text);
        quitBeforeBox = !Commands(peer, "QUIT").empty();
    };
    flow.Send();
    ASSERT_TRUE(peer.Wait(5s));

    const std::string content =
        "\r\n" + SjisToJis(platform::Sjis("本文です")) + "\r\nsecond line\r\n";
    const std::string progress =
        " バイト送信しました（総バイト数 " + std::to_string(content.size() - 2) + " バイト）";
    ASSERT_GE(log.size(), 6u);
    EXPECT_EQ(log.front(), "status:接続しました");
    // The connection is closed before the box: a box left open cannot outlast the server.
    const std::vector<std::string> tail(log.end() - 4, log.end());
    EXPECT_EQ(tail,
              (std::vector<std::string>{"status:送信しました。", "status:接続は解除されました",
                                        "clear", "box:メールを送信したよ。"}));
    for (size_t i = 1; i + 4 < log.size(); ++i) {
        EXPECT_TRUE(log[i].ends_with(progress)) << log[i] << " / " << progress;
    }
    EXPECT_TRUE(quitBeforeBox) << "the box is shown while the connection is still open";
    EXPECT_EQ(boxes.boxes[0].caption, platform::ApplicationTitle());
    EXPECT_EQ(boxes.boxes[0].icon, platform::MsgIcon::Information);
    EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Sent);
    EXPECT_TRUE(fields.To.empty() && fields.SubjectText.empty() && fields.Body.empty());

    // Empty CC and BCC fields give no RCPT, and the CC line stays empty.
    EXPECT_EQ(Commands(peer, "RCPT"), std::vector<std::string>{"RCPT TO:<to@example.jp>\r\n"});
    EXPECT_EQ(Commands(peer, "HELO"), std::vector<std::string>{"HELO tester\r\n"});
    const std::string received = peer.Received();
    EXPECT_NE(received.find("\r\nCC: \r\n"), std::string::npos);
    EXPECT_NE(received.find("\r\n\r\n" + content + ".\r\nQUIT\r\n"), std::string::npos);
}

TEST_F(SendFlowTest, EmptyToStopsBeforeAnySettingIsRead) {
    // A value of the wrong type: reading it fails, so a flow that reads it shows an error.
    QSettings("Orvane", "Tidemark").setValue("Settings/Name", QStringList{"a", "b"});
    const struct {
        const char* to;
        std::vector<std::string> shown;
    } cases[] = {
        {"", {"宛先を設定してね。"}},
        {" ", {"'Name' のデータ型が不正です."}},  // spaces are not empty
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        fields.To = c.to;
        Press();
        EXPECT_EQ(boxes.Texts(), c.shown) << "'" << c.to << "'";
        EXPECT_EQ(fields.To, c.to);
    }
    EXPECT_TRUE(ZelSMTP1.Host.empty()) << "nothing was set up for a connection";
}

TEST_F(SendFlowTest, UnusablePortReachesTheGeneralErrorDisplay) {
    RefusingPort nobody;
    const struct {
        std::string port;
        std::string shown;
    } cases[] = {
        {"abc", "'abc' は整数ではありません."},
        {"25 ", "'25 ' は整数ではありません."},
        {"70000", "ポート番号 70000 は 1 から 65535 の範囲にありません."},
        {"0", "ポート番号 0 は 1 から 65535 の範囲にありません."},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        Store(c.port);
        Press();
        ASSERT_EQ(boxes.Texts(), std::vector<std::string>{c.shown}) << c.port;
        EXPECT_EQ(boxes.boxes[0].icon, platform::MsgIcon::Error);
        EXPECT_EQ(boxes.boxes[0].caption, platform::ApplicationTitle());
        EXPECT_TRUE(FieldsKept());
    }
    EXPECT_EQ(ZelSMTP1.Host, "127.0.0.1");
    EXPECT_EQ(ZelSMTP1.UserID, "tester");
}

TEST_F(SendFlowTest, FailuresShowOneBoxWithTheCauseKeepTheFieldsAndCloseTheConnection) {
    const struct {
        const char* name;
        std::string greeting;
        testsupport::Overrides replies;
        std::string cause;
        std::string error;
    } cases[] = {
        {"greeting 421", "421 busy\r\n", {}, "サーバーの応答：421 busy", "421 busy"},
        {"HELO refused",
         "220 hi\r\n",
         {{"HELO", "501 Syntax: HELO hostname\r\n"}},
         "サーバーの応答：501 Syntax: HELO hostname",
         "Authentication failed"},
        {"MAIL refused",
         "220 hi\r\n",
         {{"MAIL", "550 no\r\n"}},
         "サーバーの応答：550 no",
         "550 no"},
        {"every recipient refused: no DATA",
         "220 hi\r\n",
         {{"RCPT", "550 5.1.1 User unknown\r\n"}},
         "どの宛先も受け取ってもらえませんでした：\nto@example.jp … 550 5.1.1 User unknown",
         "No recipient was accepted"},
        {"DATA refused",
         "220 hi\r\n",
         {{"DATA", "554 no\r\n"}},
         "サーバーの応答：554 no",
         "554 no"},
        {"message refused",
         "220 hi\r\n",
         {{".", "554 rejected\r\n"}},
         "サーバーの応答：554 rejected",
         "554 rejected"},
        {"message refused for its size",
         "220 hi\r\n",
         {{".", "552 too big\r\n"}},
         "メールがサーバーには大きすぎました（too large for the server）。サーバーの応答：552 too "
         "big",
         "552 too big"},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        ScriptedPeer peer;
        peer.Send(c.greeting).ReplyEach(SmtpReplies(c.replies));
        peer.Start();
        Store(peer);
        Press();
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"送信に失敗したよ。\n" + c.cause})
            << c.name;
        EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Failed) << c.name;
        EXPECT_TRUE(flow.LastError().starts_with(c.error)) << c.name << ": " << flow.LastError();
        EXPECT_TRUE(FieldsKept()) << c.name;
        // The peer's script ends when the client closes: nothing is left open for the next send.
        EXPECT_TRUE(peer.Wait(3s)) << c.name;
        if (std::ranges::any_of(c.replies, [](const auto& r) { return r.first == "RCPT"; })) {
            EXPECT_TRUE(Commands(peer, "DATA").empty()) << c.name;
        }
        EXPECT_FALSE(ZelSMTP1.IsConnected) << c.name;
    }
}

// Settings the send cannot go without, and fields that would break the dialogue or the header:
// a box says what is wrong, and nothing connects.
TEST_F(SendFlowTest, StopsBeforeConnecting) {
    RefusingPort nobody;
    const std::string missing = "\nオプション設定を開きますか?";
    const std::string mend = "直してから送信してね。";
    const struct {
        const char* name;
        std::string smtp, email, name_, to, subject;
        std::vector<std::string> body;
        platform::MsgResult answer;
        std::string shown;
        TSendFlow::Outcome outcome;
    } cases[] = {
        {"no server: OK opens the options",
         "",
         "me@x.jp",
         "",
         "to@x.jp",
         "s",
         {"b"},
         platform::MsgResult::Ok,
         "送信するには、オプション設定の ＳＭＴＰサーバ が必要です。" + missing,
         TSendFlow::Outcome::MissingSettings},
        {"neither: Cancel opens nothing",
         "",
         "",
         "",
         "to@x.jp",
         "s",
         {"b"},
         platform::MsgResult::Cancel,
         "送信するには、オプション設定の ＳＭＴＰサーバ、メールアドレス が必要です。" + missing,
         TSendFlow::Outcome::MissingSettings},
        {"LF in subject",
         "127.0.0.1",
         "me@x.jp",
         "",
         "to@x.jp",
         "s\nBcc: x@y",
         {"b"},
         platform::MsgResult::Ok,
         "件名に改行またはNUL文字が含まれています。" + mend,
         TSendFlow::Outcome::Rejected},
        {"CR in To",
         "127.0.0.1",
         "me@x.jp",
         "",
         "to@x.jp\r",
         "s",
         {"b"},
         platform::MsgResult::Ok,
         "宛先に改行またはNUL文字が含まれています。" + mend,
         TSendFlow::Outcome::Rejected},
        {"NUL in name",
         "127.0.0.1",
         "me@x.jp",
         std::string("a\0b", 3),
         "to@x.jp",
         "s",
         {"b"},
         platform::MsgResult::Ok,
         "オプション設定の名前に改行またはNUL文字が含まれています。" + mend,
         TSendFlow::Outcome::Rejected},
        {"NUL in body",
         "127.0.0.1",
         "me@x.jp",
         "",
         "to@x.jp",
         "s",
         {std::string("a\0", 2)},
         platform::MsgResult::Ok,
         "本文にNUL文字が含まれています。" + mend,
         TSendFlow::Outcome::Rejected},
        {"ESMTP parameter after the address",
         "127.0.0.1",
         "me@x.jp",
         "",
         "a@x.jp, <to@x.jp NOTIFY=NEVER>",
         "s",
         {"b"},
         platform::MsgResult::Ok,
         "宛先のアドレス「to@x.jp NOTIFY=NEVER」に、空白、< > や制御文字など、アドレスに使えない"
         "文字があります。" +
             mend,
         TSendFlow::Outcome::Rejected},
        {"blank in the sender",
         "127.0.0.1",
         "me@x.jp SIZE=1",
         "",
         "to@x.jp",
         "s",
         {"b"},
         platform::MsgResult::Ok,
         "オプション設定のメールアドレスのアドレス「me@x.jp SIZE=1」に、空白、< > や制御文字など、"
         "アドレスに使えない文字があります。" +
             mend,
         TSendFlow::Outcome::Rejected},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        log.clear();
        TRegIniFile ini;
        ini.WriteString("Settings", "Smtp", c.smtp);
        ini.WriteString("Settings", "Email", c.email);
        ini.WriteString("Settings", "Name", c.name_);
        // Never stored, as on a first run: the port reads as 25.
        QSettings("Orvane", "Tidemark").remove("Settings/Port");
        fields.To = c.to;
        fields.SubjectText = c.subject;
        fields.Body = c.body;
        boxes.answers = {c.answer};
        Press();
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{c.shown}) << c.name;
        EXPECT_EQ(flow.LastOutcome(), c.outcome) << c.name;
        const bool opened = std::find(log.begin(), log.end(), "options") != log.end();
        EXPECT_EQ(opened, c.outcome == TSendFlow::Outcome::MissingSettings &&
                              c.answer == platform::MsgResult::Ok)
            << c.name;
        EXPECT_EQ(fields.To, c.to) << c.name;
        EXPECT_FALSE(ZelSMTP1.IsConnected) << c.name;
        if (c.outcome == TSendFlow::Outcome::Rejected) {
            EXPECT_EQ(ZelSMTP1.Port, 25) << c.name;
        }
    }
}

// With nothing stored but server, port and sender, the first send names the machine in HELO:
// its fully qualified name, or "localhost" when the system knows none.
TEST_F(SendFlowTest, FirstSendNamesTheMachineInHelo) {
    const struct {
        std::string hostName;
        std::string helo;
    } cases[] = {
        {"box.example.jp", "HELO box.example.jp\r\n"},
        {"box", "HELO localhost\r\n"},
        {"", "HELO localhost\r\n"},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        fields.To = "to@example.jp";
        platform::SetHostNameSource([&c] { return c.hostName; });
        ScriptedPeer peer;
        peer.Send("220 hi\r\n").ReplyEach([usual = SmtpReplies()](const std::string& line) {
            return line == "HELO \r\n" ? std::string("501 Syntax: HELO hostname\r\n") : usual(line);
        });
        peer.Start();
        TRegIniFile ini;
        ini.WriteString("Settings", "Smtp", "127.0.0.1");
        ini.WriteString("Settings", "Port", std::to_string(peer.Port()));
        ini.WriteString("Settings", "Email", "me@example.jp");
        Press();
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"メールを送信したよ。"}) << c.hostName;
        EXPECT_TRUE(peer.Wait(3s));
        EXPECT_EQ(Commands(peer, "HELO"), std::vector<std::string>{c.helo}) << c.hostName;
    }
    platform::SetHostNameSource([] { return std::string(); });
}

TEST_F(SendFlowTest, FailedConnectionShowsOneBoxAndTheNextSendWorks) {
    RefusingPort refusing;
    testsupport::FullListener silent;
    ASSERT_TRUE(silent.Full());
    ZelSMTP1.TimeOut = 300;  // the program's 5 s would only slow the test down
    for (const uint16_t port : {refusing.Port(), silent.Port()}) {
        boxes.boxes.clear();
        Store(std::to_string(port));
        Press();
        const std::string server = "サーバー 127.0.0.1 のポート " + std::to_string(port);
        EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{
                                     "送信に失敗したよ。\n" + server +
                                     " に接続できませんでした。サーバー名とポートは ツール → "
                                     "オプション設定 で確かめてね。"}));
        EXPECT_EQ(boxes.boxes[0].icon, platform::MsgIcon::Warning);
        EXPECT_TRUE(FieldsKept());

        boxes.boxes.clear();
        ScriptedPeer peer;
        peer.Send("220 hi\r\n").ReplyEach(SmtpReplies());
        peer.Start();
        Store(peer);
        Press();
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"メールを送信したよ。"}) << port;
        fields.To = "to@example.jp";
        fields.Body = {"again", "two"};
    }
}

TEST_F(SendFlowTest, ALateReplyIsWaitedForAndNoReplyIsNoRefusal) {
    const struct {
        const char* name;
        std::chrono::milliseconds delay;  // before the reply to ".", when there is one
        std::string reply;
        std::vector<std::string> shown;
        TSendFlow::Outcome outcome;
    } cases[] = {
        {"late", 1500ms, "250 queued\r\n", {"メールを送信したよ。"}, TSendFlow::Outcome::Sent},
        {"never",
         0ms,
         "",
         {"送信に失敗したよ。\nサーバーから応答がありませんでした。メールは届いている可能性があります。"},
         TSendFlow::Outcome::NoReply},
    };
    ZelSMTP1.TimeOut = 300;
    ZelSMTP1.DataTimeOut = 2500;
    for (const auto& c : cases) {
        boxes.boxes.clear();
        log.clear();
        fields.To = "to@example.jp";
        fields.Body = {"one", "two"};
        ScriptedPeer peer;
        const auto usual = SmtpReplies({{".", c.reply}});
        peer.Send("220 hi\r\n").ReplyEach([&c, usual](const std::string& line) {
            if (line == ".\r\n")
                std::this_thread::sleep_for(c.delay);
            return usual(line);
        });
        peer.Start();
        Store(peer);
        Press();
        EXPECT_EQ(boxes.Texts(), c.shown) << c.name;
        EXPECT_EQ(flow.LastOutcome(), c.outcome) << c.name;
        EXPECT_EQ(fields.To.empty(), c.outcome == TSendFlow::Outcome::Sent) << c.name;
        EXPECT_NE(std::find(log.begin(), log.end(), "status:サーバーの応答を待っています 1 秒"),
                  log.end())
            << c.name;
        EXPECT_TRUE(peer.Wait(3s)) << c.name;
    }
    EXPECT_NE(std::find(log.begin(), log.end(), "status:サーバーの応答を待っています 2 秒"),
              log.end());
}

TEST_F(SendFlowTest, SendThatDoesNothingIsNoSuccess) {
    ScriptedPeer peer;
    peer.Send("220 hi\r\n").ReplyEach(SmtpReplies());
    peer.Start();
    Store(peer);
    // Another user of the client holds it busy: its Send then returns without sending.
    fields.onStatus = [this](const std::string&) { ZelSMTP1.Busy = true; };
    Press();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"送信に失敗したよ。\nSend did not complete"});
    EXPECT_TRUE(FieldsKept());
    EXPECT_TRUE(Commands(peer, "MAIL").empty());
}

// Once the server has the message, what QUIT meets is no failure.
TEST_F(SendFlowTest, QuitRefusedOrUnansweredAfterAcceptanceIsStillSent) {
    ZelSMTP1.TimeOut = 300;
    for (const char* quitReply : {"340 what\r\n", "500 no\r\n", ""}) {
        boxes.boxes.clear();
        fields.To = "to@example.jp";
        ScriptedPeer peer;
        peer.Send("220 hi\r\n").ReplyEach(SmtpReplies({{"QUIT", quitReply}}));
        peer.Start();
        Store(peer);
        Press();
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"メールを送信したよ。"}) << quitReply;
        EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Sent) << quitReply;
        EXPECT_TRUE(fields.To.empty()) << quitReply;
        EXPECT_FALSE(ZelSMTP1.IsConnected) << quitReply;
        EXPECT_TRUE(peer.Wait(3s)) << quitReply;
    }
}

// Some recipients refused: the others get the message once, and the address fields keep only
// the refused entries so that sending again reaches no one twice.
TEST_F(SendFlowTest, RefusedRecipientsAreNamedAndKeptForTheNextSend) {
    ScriptedPeer peer;
    peer.Send("220 hi\r\n").ReplyEach([usual = SmtpReplies()](const std::string& line) {
        if (line.starts_with("RCPT TO:<jiro@") || line.starts_with("RCPT TO:<bad@"))
            return std::string("550 5.1.1 User unknown\r\n");
        return usual(line);
    });
    peer.Start();
    Store(peer);
    fields.To = "to@example.jp, Jiro <jiro@example.jp>";
    fields.Cc = "cc@example.jp";
    fields.Bcc = "bad@example.jp";
    Press();
    ASSERT_TRUE(peer.Wait(5s));
    EXPECT_EQ(boxes.Texts(),
              (std::vector<std::string>{
                  "メールを送信したよ。\n"
                  "次の宛先には送れませんでした：\nJiro <jiro@example.jp> … 550 5.1.1 User "
                  "unknown\nbad@example.jp … 550 5.1.1 User unknown\n"
                  "宛先欄には送れなかった宛先だけを残したので、直して送り直してね。"}));
    EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::SentToSome);
    EXPECT_EQ(Commands(peer, "DATA").size(), 1u);
    EXPECT_EQ(fields.To, "Jiro <jiro@example.jp>");
    EXPECT_EQ(fields.Cc, "");
    EXPECT_EQ(fields.Bcc, "bad@example.jp");
    EXPECT_EQ(fields.SubjectText, platform::Sjis("件名"));
    EXPECT_EQ(fields.Body.size(), 2u);
}

TEST_F(SendFlowTest, RecipientsOfAFailedSendDoNotReachTheNext) {
    ScriptedPeer refusing;
    refusing.Send("220 hi\r\n").ReplyEach(SmtpReplies({{"DATA", "554 no\r\n"}}));
    refusing.Start();
    Store(refusing);
    fields.To = "first@example.jp";
    fields.Cc = "first-cc@example.jp";
    Press();
    ASSERT_EQ(boxes.Texts(),
              std::vector<std::string>{"送信に失敗したよ。\nサーバーの応答：554 no"});

    ScriptedPeer accepting;
    accepting.Send("220 hi\r\n").ReplyEach(SmtpReplies());
    accepting.Start();
    Store(accepting);
    fields.To = "second@example.jp";
    fields.Cc = "";
    Press();
    ASSERT_TRUE(accepting.Wait(5s));
    EXPECT_EQ(Commands(accepting, "RCPT"),
              std::vector<std::string>{"RCPT TO:<second@example.jp>\r\n"});
    EXPECT_NE(accepting.Received().find("\r\nTo: second@example.jp\r\nCC: \r\n"),
              std::string::npos);
}

TEST_F(SendFlowTest, ConnectionRequiredAsksAndConnectsOnlyOnOk) {
    const struct {
        platform::MsgResult answer;
        std::vector<std::string> shown;
    } cases[] = {
        {platform::MsgResult::Ok, {"接続が必要です。接続しますか?", "メールを送信したよ。"}},
        {platform::MsgResult::Cancel,
         {"接続が必要です。接続しますか?", "送信に失敗したよ。\nNot Connected"}},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        fields.To = "to@example.jp";
        // The first server closes right after HELO; the close arrives while the window repaints.
        ScriptedPeer closing;
        closing.Send("220 hi\r\n").Replies({{"HELO", "250 hi\r\n"}}).Close();
        closing.Start();
        ScriptedPeer second;
        second.Send("220 again\r\n").ReplyEach(SmtpReplies());
        second.Start();
        Store(closing);
        fields.onStatus = [&](const std::string& text) {
            for (int i = 0; i < 500 && text == "接続しました" && ZelSMTP1.IsConnected; ++i) {
                platform::ProcessMessages();
                platform::Sleep(2);
            }
        };
        boxes.answers = {c.answer};
        boxes.onShow = [&](const RecordedBox&) { ZelSMTP1.Port = second.Port(); };
        Press();
        EXPECT_EQ(boxes.Texts(), c.shown);
        ASSERT_FALSE(boxes.boxes.empty());
        EXPECT_EQ(boxes.boxes[0].caption, "確認");
        EXPECT_EQ(boxes.boxes[0].icon, platform::MsgIcon::Question);
        EXPECT_EQ(boxes.boxes[0].buttons, platform::MsgButtons::OkCancel);
        const bool ok = c.answer == platform::MsgResult::Ok;
        EXPECT_EQ(Commands(second, "RCPT").size(), ok ? 1u : 0u);
        if (!ok) {
            EXPECT_EQ(flow.LastError(), "Not Connected");
        }
        EXPECT_EQ(fields.To.empty(), ok);
        fields.onStatus = nullptr;
    }
}

TEST_F(SendFlowTest, SecondPressDuringASendIsIgnored) {
    ScriptedPeer peer;
    peer.Pause(300ms).Send("220 hi\r\n").ReplyEach(SmtpReplies());
    peer.Start();
    Store(peer);
    // One press while the first waits for the greeting, one while its result box is shown.
    QTimer::singleShot(50, [this] { flow.Send(); });
    boxes.onShow = [this](const RecordedBox& box) {
        log.push_back("box:" + box.text);
        if (boxes.boxes.size() == 1)
            flow.Send();
    };
    flow.Send();
    ASSERT_TRUE(peer.Wait(5s));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"メールを送信したよ。"});
    EXPECT_EQ(Commands(peer, "HELO").size(), 1u);
    EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Sent);
}

TEST_F(SendFlowTest, HeadersCarryDateMessageIdAndNoRawEightBitByte) {
    ScriptedPeer peer;
    peer.Send("220 hi\r\n").ReplyEach(SmtpReplies());
    peer.Start();
    Store(peer);
    TRegIniFile().WriteString("Settings", "Name", platform::Sjis("ﾓｺ"));
    TRegIniFile().WriteString("Settings", "Email", "me@mail.example.jp");
    fields.SubjectText = platform::Sjis("ｶﾀｶﾅ subject");
    Press();
    ASSERT_TRUE(peer.Wait(5s));
    const std::vector<std::string> header = HeaderLines(peer.Received());

    const auto line = [&header](const std::string& name) {
        for (const auto& l : header) {
            if (l.starts_with(name + ": "))
                return l.substr(name.size() + 2);
        }
        return std::string("(missing)");
    };
    EXPECT_EQ(line("Subject"), EncodeHeaderText(platform::Sjis("カタカナ subject"), Iso2022JpWords));
    EXPECT_EQ(line("From"), EncodePhrase(platform::Sjis("モコ"), Iso2022JpWords) + " <me@mail.example.jp>");
    EXPECT_EQ(line("X-Mailer"), EncodeHeaderText(platform::Sjis("もこちゃんのぴこぴこ便"), Iso2022JpWords));
    EXPECT_TRUE(std::regex_match(line("Date"),
                                 std::regex(R"((Mon|Tue|Wed|Thu|Fri|Sat|Sun), \d\d )"
                                            R"((Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) )"
                                            R"(\d{4} \d\d:\d\d:\d\d [+-]\d{4})")))
        << line("Date");
    EXPECT_TRUE(std::regex_match(line("Message-ID"), std::regex(R"(<[^<>@ ]+@mail\.example\.jp>)")))
        << line("Message-ID");
    for (const auto& l : header) {
        for (const unsigned char b : l)
            EXPECT_LT(b, 0x80) << l;
    }
}

TEST_F(SendFlowTest, TextCodePage932CannotHoldStopsBeforeConnecting) {
    RefusingPort nobody;
    Store(std::to_string(nobody.Port()));
    const struct {
        const char* field;
        const char* label;
    } cases[] = {{"To", "宛先"}, {"Subject", "件名"}, {"Body", "本文"}};
    for (const auto& c : cases) {
        boxes.boxes.clear();
        fields.Unencodable = c.field;
        Press();
        ASSERT_EQ(boxes.Texts().size(), 1u) << c.field;
        const std::string shown = boxes.Texts()[0];
        EXPECT_TRUE(shown.starts_with(c.label)) << shown;
        EXPECT_NE(shown.find("U+1F600"), std::string::npos) << shown;
        EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Unencodable);
        EXPECT_TRUE(FieldsKept());
    }
}

namespace {

// The IBM extension codes FA40-FC4B, every one a character.
std::vector<std::string> IbmExtensionCodes() {
    std::vector<std::string> codes;
    for (int lead = 0xFA; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= (lead == 0xFC ? 0x4B : 0xFC); ++trail) {
            if (trail != 0x7F)
                codes.push_back({static_cast<char>(lead), static_cast<char>(trail)});
        }
    }
    return codes;
}

// ISO-2022-JP off the wire back to what the user typed: each JIS X 0208 pair by the inverse of
// the conversion's arithmetic, then code page 932.
std::string FromJis(const std::string& jis) {
    std::string sjis;
    bool kanji = false;
    for (size_t i = 0; i < jis.size();) {
        if (jis[i] == '\x1B' && i + 2 < jis.size()) {
            kanji = jis.compare(i, 3, "\x1B$B") == 0;
            i += 3;
        } else if (kanji && i + 1 < jis.size()) {
            const unsigned row = static_cast<unsigned char>(jis[i]);
            const unsigned cell = static_cast<unsigned char>(jis[i + 1]);
            sjis += static_cast<char>((row + 1) / 2 + (row < 0x5F ? 0x70 : 0xB0));
            sjis += static_cast<char>(cell + (row % 2 ? (cell >= 0x60 ? 0x20 : 0x1F) : 0x7E));
            i += 2;
        } else {
            sjis += jis[i++];
        }
    }
    return U(sjis);
}

// A header's value, unfolded, with every encoded-word decoded and the blanks between words
// dropped.
std::string DecodedHeader(const std::string& received, const std::string& name) {
    const size_t start = received.find("\r\n" + name + ": ") + name.size() + 4;
    size_t end = start;
    while ((end = received.find("\r\n", end)) != std::string::npos &&
           (received[end + 2] == ' ' || received[end + 2] == '\t'))
        end += 2;
    const std::string value = received.substr(start, end - start);
    static const std::regex word(R"(\s*=\?ISO-2022-JP\?B\?([A-Za-z0-9+/=]*)\?=)");
    std::string text;
    std::smatch m;
    for (auto at = value.cbegin(); at != value.cend(); at = m[0].second) {
        if (!std::regex_search(at, value.cend(), m, word))
            return text + std::string(at, value.cend());
        text += std::string(at, m[0].first);
        text += FromJis(QByteArray::fromBase64(QByteArray::fromStdString(m[1])).toStdString());
    }
    return text;
}

}  // namespace

TEST_F(SendFlowTest, EveryIbmExtensionReachesTheReaderAsTypedOverSevenBits) {
    ScriptedPeer peer;
    peer.Send("220 hi\r\n").ReplyEach(SmtpReplies());
    peer.Start();
    Store(peer);
    const std::vector<std::string> codes = IbmExtensionCodes();
    ASSERT_EQ(codes.size(), 388u);
    std::string all, lines = "\n";  // every body starts with an empty line
    fields.Body.clear();
    for (size_t i = 0; i < codes.size(); i += 20) {
        std::string line;
        for (size_t j = i; j < std::min(i + 20, codes.size()); ++j)
            line += codes[j];
        fields.Body.push_back(line);
        all += line;
        lines += U(line) + "\n";
    }
    fields.SubjectText = all;
    // The Unicode of those codes, not through the settings store.
    flow.SetSettingOverrides({{"Name", U(all)}});
    Press();
    ASSERT_TRUE(peer.Wait(5s));
    ASSERT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Sent);

    const std::string received = peer.Received();
    for (const unsigned char b : received)
        ASSERT_LT(b, 0x80);
    const std::string typed = U(all);
    EXPECT_EQ(DecodedHeader(received, "Subject"), typed);
    EXPECT_EQ(DecodedHeader(received, "From"), typed + " <me@example.jp>");
    const size_t body = received.find("\r\n\r\n") + 4;
    std::string text = FromJis(received.substr(body, received.find("\r\n.\r\n") + 2 - body));
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    EXPECT_EQ(text, lines);
}

TEST_F(SendFlowTest, MachineDependentCharactersAskFirstAndCancelSendsNothing) {
    ScriptedPeer peer;
    peer.Send("220 hi\r\n").ReplyEach(SmtpReplies());
    peer.Start();
    Store(peer);
    TRegIniFile().WriteString("Settings", "Name", platform::Utf8ToSjis("㈱もこ"));
    const std::string subject = platform::Utf8ToSjis("①と髙橋");
    const std::vector<std::string> body = {platform::Utf8ToSjis("山﨑さん①"), "ok"};
    const std::string question = "機種依存文字が含まれています：①髙㈱﨑。このまま送信しますか?";
    const struct {
        platform::MsgResult answer;
        std::vector<std::string> shown;
    } cases[] = {
        {platform::MsgResult::Cancel, {question}},
        {platform::MsgResult::Ok, {question, "メールを送信したよ。"}},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        boxes.answers = {c.answer};
        fields.SubjectText = subject;
        fields.Body = body;
        Press();
        ASSERT_EQ(boxes.Texts(), c.shown);
        EXPECT_EQ(boxes.boxes[0].caption, "確認");
        EXPECT_EQ(boxes.boxes[0].icon, platform::MsgIcon::Question);
        EXPECT_EQ(boxes.boxes[0].buttons, platform::MsgButtons::OkCancel);
        if (c.answer == platform::MsgResult::Cancel) {
            EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Declined);
            EXPECT_EQ(peer.Received(), "") << "nothing connects";
            EXPECT_TRUE(FieldsKept() && fields.SubjectText == subject && fields.Body == body);
        }
    }
    ASSERT_TRUE(peer.Wait(5s));
    EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Sent);
    EXPECT_EQ(Commands(peer, "HELO").size(), 1u);
}

TEST_F(SendFlowTest, UserDefinedCharacterStopsBeforeConnecting) {
    RefusingPort nobody;
    Store(std::to_string(nobody.Port()));
    const struct {
        const char* field;
        std::string text;
        std::string shown;
    } cases[] = {
        {"Subject", "a\xF0\x40", "件名に、外字 \uE000 (U+E000) があります。"},
        {"Name", "\x82\xA0\xF9\xFC", "オプション設定の名前に、外字 \uE757 (U+E757) があります。"},
        {"Body", "\x81\xF0\x40\xF5\x40", "本文に、外字 \uE3AC (U+E3AC) があります。"},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        const std::string field = c.field;
        fields.SubjectText = field == "Subject" ? c.text : "ok";
        fields.Body = {"ok", field == "Body" ? c.text : "ok"};
        TRegIniFile().WriteString("Settings", "Name", field == "Name" ? c.text : "ok");
        Press();
        ASSERT_EQ(boxes.Texts().size(), 1u) << c.field;
        EXPECT_TRUE(boxes.Texts()[0].starts_with(c.shown)) << boxes.Texts()[0];
        EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Unencodable);
        EXPECT_TRUE(FieldsKept());
    }
}

}  // namespace

namespace {

// The header line of the given name the peer received, "" when there is none.
std::string HeaderLine(const std::string& received, const std::string& name) {
    for (const std::string& line : HeaderLines(received)) {
        if (line.starts_with(name + ": "))
            return line;
    }
    return "";
}

}  // namespace

// The "Charset" setting decides how a message goes out: ISO-2022-JP while every text fits it
// (automatic), refusing what it cannot carry (iso-2022-jp), or UTF-8 always.
TEST_F(SendFlowTest, CharsetSettingDecidesHowTheMessageGoesOut) {
    const std::string emoji = "\xF0\x9F\x98\x80";
    const struct {
        const char* what;
        const char* charset;
        std::string name;     // UTF-8, stored
        bool emojiSubject;    // the subject field holds an emoji
        const char* outcome;  // "iso", "utf8", or the start of the one box shown
    } cases[] = {
        {"everything fits", "", "送信者", false, "iso"},
        {"automatic", "auto", "送信者", false, "iso"},
        {"emoji subject", "", "送信者", true, "utf8"},
        {"emoji name", "auto", "送信者" + emoji, false, "utf8"},
        {"always UTF-8", "utf-8", "送信者", false, "utf8"},
        {"only ISO-2022-JP", "iso-2022-jp", "送信者", true,
         "件名に、ISO-2022-JP で表せない文字 (U+1F600)"},
        {"only ISO-2022-JP, name", "iso-2022-jp", emoji, false,
         "文字 U+1F600 はシフトJISで表せません"},
        {"unknown setting", "latin-1", "送信者", false, "文字コード \"latin-1\" は"},
        {"private use", "utf-8", "\xEE\x80\x80", false,
         "オプション設定の名前に、外字 \uE000 (U+E000)"},
    };
    for (const auto& c : cases) {
        ScriptedPeer peer;
        peer.Send("220 hi\r\n").ReplyEach(SmtpReplies());
        peer.Start();
        Store(peer);
        TRegIniFile ini;
        ini.WriteUtf8String("Settings", "Name", c.name);
        ini.WriteUtf8String("Settings", "Charset", c.charset);
        fields.To = "to@example.jp";
        fields.SubjectText = platform::Sjis("件名");
        fields.Body = {platform::Sjis("本文です"), "second line"};
        fields.Unencodable = c.emojiSubject ? "Subject" : "";
        fields.Unicode = TMessageText{"to@example.jp", "", "", "件名" + emoji, {"本文です", "ｶﾅ"}};
        boxes.boxes.clear();
        log.clear();
        Press();
        const std::string outcome = c.outcome;
        if (outcome != "iso" && outcome != "utf8") {
            ASSERT_EQ(boxes.Texts().size(), 1u) << c.what;
            EXPECT_TRUE(boxes.Texts()[0].starts_with(outcome)) << c.what << boxes.Texts()[0];
            EXPECT_TRUE(Commands(peer, "MAIL").empty()) << c.what;
            continue;
        }
        ASSERT_TRUE(peer.Wait(5s)) << c.what;
        ASSERT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Sent) << c.what;
        const std::string received = peer.Received();
        const bool notice = std::any_of(log.begin(), log.end(), [](const std::string& l) {
            return l.find("UTF-8 で送ります") != std::string::npos;
        });
        if (outcome == "iso") {
            EXPECT_EQ(HeaderLine(received, "Content-Type"),
                      "Content-Type: text/plain; charset=iso-2022-jp")
                << c.what;
            EXPECT_EQ(HeaderLine(received, "Content-Transfer-Encoding"), "") << c.what;
            EXPECT_FALSE(notice) << c.what;
            continue;
        }
        EXPECT_EQ(HeaderLine(received, "Content-Type"), "Content-Type: text/plain; charset=UTF-8");
        EXPECT_EQ(HeaderLine(received, "Content-Transfer-Encoding"),
                  "Content-Transfer-Encoding: base64");
        EXPECT_EQ(notice, std::string(c.charset) != "utf-8") << c.what;
        // The texts come from the fields' Unicode, not through Shift_JIS; the empty line that
        // starts every message's content is no part of the base64 text.
        const size_t body = received.find("\r\n\r\n") + 4;
        const std::string encoded = received.substr(body, received.find("\r\n.\r\n") - body);
        EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(encoded)).toStdString(),
                  "本文です\r\nｶﾅ\r\n")
            << c.what;
        for (const unsigned char b : received)
            ASSERT_LT(b, 0x80) << c.what;
    }
}

// A server without SMTPUTF8 takes no address outside ASCII, whatever the message's set.
TEST_F(SendFlowTest, AddressOutsideAsciiStopsBeforeConnecting) {
    RefusingPort nobody;
    Store(std::to_string(nobody.Port()));
    const struct {
        std::string to, cc, email;
        const char* shown;
    } cases[] = {
        {platform::Sjis("山田 <やまだ@example.jp>"), "", "me@example.jp",
         "宛先のメールアドレスに、ASCII 以外の文字 や (U+3084)"},
        {"to@example.jp", "a@example.jp, \xC3\xA9@example.jp", "me@example.jp",
         "ＣＣのメールアドレスに、ASCII 以外の文字 (U+00E9)"},
        {"to@example.jp", "", "m\xC3\xA9@example.jp", "文字 U+00E9 はシフトJISで表せません"},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        fields.To = c.to;
        fields.Cc = c.cc;
        fields.Unencodable = c.cc.empty() ? "" : "Cc";  // é: code page 932 lacks it
        fields.Unicode = TMessageText{platform::SjisToUtf8(c.to), c.cc, "", "件名", {}};
        TRegIniFile().WriteUtf8String("Settings", "Email", c.email);
        Press();
        ASSERT_EQ(boxes.Texts().size(), 1u) << c.shown;
        EXPECT_TRUE(boxes.Texts()[0].starts_with(c.shown)) << boxes.Texts()[0];
        EXPECT_EQ(fields.Cc, c.cc);
    }
}

// A message in UTF-8 meets the same checks before connecting as one in ISO-2022-JP: its texts
// are UTF-8 there, and nothing reaches the server.
TEST_F(SendFlowTest, ChecksBeforeConnectingHoldForUtf8Messages) {
    RefusingPort nobody;
    Store(std::to_string(nobody.Port()));
    TRegIniFile().WriteUtf8String("Settings", "Charset", "utf-8");
    const std::string mend = "直してから送信してね。";
    const struct {
        TMessageText text;
        std::string shown;
    } cases[] = {
        {{"to@example.jp", "", "", "件名😀\nBcc: x@y", {"b"}},
         "件名に改行またはNUL文字が含まれています。" + mend},
        {{"😀 <to@example.jp NOTIFY=NEVER>", "", "", "s", {"b"}},
         "宛先のアドレス「to@example.jp NOTIFY=NEVER」に、空白、< > "
         "や制御文字など、アドレスに使えない"
         "文字があります。" +
             mend},
        {{"to@example.jp", "", "", "s", {std::string("😀\0", 5)}},
         "本文にNUL文字が含まれています。" + mend},
        {{"to@example.jp", "", "😀@example.jp", "s", {"b"}},
         "ＢＣＣのメールアドレスに、ASCII 以外の文字 (U+1F600)"},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        fields.Unicode = c.text;
        Press();
        ASSERT_EQ(boxes.Texts().size(), 1u) << c.shown;
        EXPECT_TRUE(boxes.Texts()[0].starts_with(c.shown)) << boxes.Texts()[0];
        EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Rejected) << c.shown;
        EXPECT_TRUE(FieldsKept()) << c.shown;
    }
}

// In UTF-8 the refused entries come back to the fields as typed, display names and all.
TEST_F(SendFlowTest, RefusedRecipientsOfAUtf8MessageAreKeptAsTyped) {
    ScriptedPeer peer;
    peer.Send("220 hi\r\n").ReplyEach([usual = SmtpReplies()](const std::string& line) {
        if (line.starts_with("RCPT TO:<jiro@"))
            return std::string("550 5.1.1 User unknown\r\n");
        return usual(line);
    });
    peer.Start();
    Store(peer);
    TRegIniFile().WriteUtf8String("Settings", "Charset", "utf-8");
    fields.Unicode = TMessageText{"to@example.jp, 次郎 <jiro@example.jp>", "", "", "件名", {"b"}};
    Press();
    ASSERT_TRUE(peer.Wait(5s));
    EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::SentToSome);
    EXPECT_EQ(fields.To, platform::Sjis("次郎 <jiro@example.jp>"));
}
