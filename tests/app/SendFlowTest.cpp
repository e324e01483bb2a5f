// The send flow with a stand-in for the compose fields, recorded message boxes, the real settings
// store in a temporary place and a scripted SMTP peer on loopback.
#include "app/SendFlow.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QTimer>
#include <algorithm>
#include <map>
#include <memory>
#include <regex>
#include <thread>

#include "jconvert/HeaderWords.h"
#include "jconvert/jconvert.h"
#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/MessageLoop.h"
#include "platform/RegIniFile.h"
#include "smtp/Zelsmtp.h"
#include "tests/support/RecordingMessageBoxes.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/TempSettings.h"

namespace {

using namespace std::chrono_literals;
using testsupport::RefusingPort;
using testsupport::ScriptedPeer;

std::string U(const std::string& sjis) {
    return platform::SjisToUtf8(sjis);
}

// The five fields and the status panel; every status and the clearing go into one log.
class StandInFields : public TComposeFields {
  public:
    explicit StandInFields(std::vector<std::string>& log) : log_(log) {}

    std::string To, Cc, Bcc, SubjectText;
    std::vector<std::string> Body;
    std::string Unencodable;  // name of a field whose text code page 932 cannot hold
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
    void ClearFields() override {
        To.clear();
        Cc.clear();
        Bcc.clear();
        SubjectText.clear();
        Body.clear();
        log_.push_back("clear");
    }
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

// Answers like a willing SMTP server; replies maps a command ("HELO", "MAIL", "DATA", ".",
// "QUIT", ...) to another answer where a test wants one.
ScriptedPeer::LineReply Smtp(std::map<std::string, std::string> replies = {}) {
    auto inData = std::make_shared<bool>(false);
    return [replies, inData](const std::string& line) -> std::string {
        const auto answer = [&replies](const std::string& verb, const char* normal) {
            const auto given = replies.find(verb);
            return given != replies.end() ? given->second : std::string(normal);
        };
        if (*inData) {
            if (line != ".\r\n")
                return "";
            *inData = false;
            return answer(".", "250 queued\r\n");
        }
        const std::string verb = line.substr(0, line.find_first_of(" \r"));
        if (verb == "DATA") {
            const std::string reply = answer("DATA", "354 go ahead\r\n");
            *inData = reply.starts_with("3");
            return reply;
        }
        return answer(verb, verb == "QUIT" ? "221 bye\r\n" : "250 ok\r\n");
    };
}

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
            flow.SpeedButton3Click();
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
    peer.Send("220 ready\r\n").ReplyEach(Smtp());
    peer.Start();
    Store(peer);
    bool quitBeforeBox = true;
    boxes.onShow = [&](const RecordedBox& box) {
        log.push_back("box:" + box.text);
        quitBeforeBox = !Commands(peer, "QUIT").empty();
    };
    flow.SpeedButton3Click();
    ASSERT_TRUE(peer.Wait(5s));

    const std::string content =
        "\r\n" + SjisToJis(platform::Sjis("本文です")) + "\r\nsecond line\r\n";
    const std::string progress =
        " バイト送信しました（総バイト数 " + std::to_string(content.size() - 2) + " バイト）";
    ASSERT_GE(log.size(), 6u);
    EXPECT_EQ(log.front(), "status:接続しました");
    const std::vector<std::string> tail(log.end() - 4, log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"status:送信しました。", "clear",
                                              "box:メールを送信したよ。",
                                              "status:接続は解除されました"}));
    for (size_t i = 1; i + 4 < log.size(); ++i) {
        EXPECT_TRUE(log[i].ends_with(progress)) << log[i] << " / " << progress;
    }
    EXPECT_FALSE(quitBeforeBox) << "the box is shown while the connection is still open";
    EXPECT_EQ(boxes.boxes[0].caption, platform::ApplicationTitle());
    EXPECT_EQ(boxes.boxes[0].icon, platform::MsgIcon::None);
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
        {"", "'' は整数ではありません."},
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

TEST_F(SendFlowTest, FailuresShowOneBoxKeepTheFieldsAndCloseTheConnection) {
    const struct {
        const char* name;
        std::string greeting;
        std::map<std::string, std::string> replies;
        std::string email;
        std::string error;
    } cases[] = {
        {"empty Email", "220 hi\r\n", {}, "", "Incomplete Header"},
        {"greeting 421", "421 busy\r\n", {}, "me@x.jp", "421 busy"},
        {"HELO refused",
         "220 hi\r\n",
         {{"HELO", "501 no\r\n"}},
         "me@x.jp",
         "Authentication failed"},
        {"MAIL refused", "220 hi\r\n", {{"MAIL", "550 no\r\n"}}, "me@x.jp", "550 no"},
        {"DATA refused", "220 hi\r\n", {{"DATA", "554 no\r\n"}}, "me@x.jp", "554 no"},
        {"message refused", "220 hi\r\n", {{".", "552 too big\r\n"}}, "me@x.jp", "552 too big"},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        ScriptedPeer peer;
        peer.Send(c.greeting).ReplyEach(Smtp(c.replies));
        peer.Start();
        Store(std::to_string(peer.Port()), c.email);
        Press();
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"送信に失敗したよ。"}) << c.name;
        EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Failed) << c.name;
        EXPECT_TRUE(flow.LastError().starts_with(c.error)) << c.name << ": " << flow.LastError();
        EXPECT_TRUE(FieldsKept()) << c.name;
        // The peer's script ends when the client closes: nothing is left open for the next send.
        EXPECT_TRUE(peer.Wait(3s)) << c.name;
        EXPECT_FALSE(ZelSMTP1.IsConnected) << c.name;
    }
}

TEST_F(SendFlowTest, FailedConnectionShowsBothBoxesAndTheNextSendWorks) {
    RefusingPort refusing;
    testsupport::FullListener silent;
    ASSERT_TRUE(silent.Full());
    ZelSMTP1.TimeOut = 300;  // the program's 5 s would only slow the test down
    for (const uint16_t port : {refusing.Port(), silent.Port()}) {
        boxes.boxes.clear();
        Store(std::to_string(port));
        Press();
        EXPECT_EQ(boxes.Texts(),
                  (std::vector<std::string>{"接続は失敗しました", "送信に失敗したよ。"}));
        EXPECT_TRUE(FieldsKept());

        boxes.boxes.clear();
        ScriptedPeer peer;
        peer.Send("220 hi\r\n").ReplyEach(Smtp());
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
         {"サーバーから応答がありませんでした。メールは届いている可能性があります。",
          "送信に失敗したよ。"},
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
        const auto usual = Smtp({{".", c.reply}});
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
    peer.Send("220 hi\r\n").ReplyEach(Smtp());
    peer.Start();
    Store(peer);
    // Another user of the client holds it busy: its Send then returns without sending.
    fields.onStatus = [this](const std::string&) { ZelSMTP1.Busy = true; };
    Press();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"送信に失敗したよ。"});
    EXPECT_TRUE(FieldsKept());
    EXPECT_TRUE(Commands(peer, "MAIL").empty());
}

TEST_F(SendFlowTest, QuitRefusedAfterAcceptedMessage) {
    ScriptedPeer peer;
    peer.Send("220 hi\r\n").ReplyEach(Smtp({{"QUIT", "340 what\r\n"}}));
    peer.Start();
    Store(peer);
    Press();
    EXPECT_EQ(boxes.Texts(),
              (std::vector<std::string>{"メールを送信したよ。", "送信に失敗したよ。"}));
    EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::SentQuitRefused);
    EXPECT_TRUE(fields.To.empty());
    EXPECT_TRUE(peer.Wait(3s));
}

TEST_F(SendFlowTest, RecipientsOfAFailedSendDoNotReachTheNext) {
    ScriptedPeer refusing;
    refusing.Send("220 hi\r\n").ReplyEach(Smtp({{"DATA", "554 no\r\n"}}));
    refusing.Start();
    Store(refusing);
    fields.To = "first@example.jp";
    fields.Cc = "first-cc@example.jp";
    Press();
    ASSERT_EQ(boxes.Texts(), std::vector<std::string>{"送信に失敗したよ。"});

    ScriptedPeer accepting;
    accepting.Send("220 hi\r\n").ReplyEach(Smtp());
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
        {platform::MsgResult::Cancel, {"接続が必要です。接続しますか?", "送信に失敗したよ。"}},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        fields.To = "to@example.jp";
        // The first server closes right after HELO; the close arrives while the window repaints.
        ScriptedPeer closing;
        closing.Send("220 hi\r\n").Replies({{"HELO", "250 hi\r\n"}}).Close();
        closing.Start();
        ScriptedPeer second;
        second.Send("220 again\r\n").ReplyEach(Smtp());
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
    peer.Pause(300ms).Send("220 hi\r\n").ReplyEach(Smtp());
    peer.Start();
    Store(peer);
    // One press while the first waits for the greeting, one while its result box is shown.
    QTimer::singleShot(50, [this] { flow.SpeedButton3Click(); });
    boxes.onShow = [this](const RecordedBox& box) {
        log.push_back("box:" + box.text);
        if (boxes.boxes.size() == 1)
            flow.SpeedButton3Click();
    };
    flow.SpeedButton3Click();
    ASSERT_TRUE(peer.Wait(5s));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"メールを送信したよ。"});
    EXPECT_EQ(Commands(peer, "HELO").size(), 1u);
    EXPECT_EQ(flow.LastOutcome(), TSendFlow::Outcome::Sent);
}

TEST_F(SendFlowTest, HeadersCarryDateMessageIdAndNoRawEightBitByte) {
    ScriptedPeer peer;
    peer.Send("220 hi\r\n").ReplyEach(Smtp());
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
    EXPECT_EQ(line("Subject"), EncodeHeaderText(platform::Sjis("カタカナ subject")));
    EXPECT_EQ(line("From"), EncodePhrase(platform::Sjis("モコ")) + " <me@mail.example.jp>");
    EXPECT_EQ(line("X-Mailer"), EncodeHeaderText(platform::Sjis("もこちゃんのぴこぴこ便")));
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
    peer.Send("220 hi\r\n").ReplyEach(Smtp());
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
    // Code page 932 bytes as given, not through the Unicode settings store.
    flow.SetSettingOverrides({{"Name", all}});
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
    peer.Send("220 hi\r\n").ReplyEach(Smtp());
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
