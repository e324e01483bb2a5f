// Messages that ISO-2022-JP cannot carry, sent by tidemark-send through a real SMTP server on
// loopback and read back as a modern reader does (Python's email, policy.default).
#include <gtest/gtest.h>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

#include "ChildProcess.h"
#include "tests/support/SinkProcess.h"

namespace {

std::string Text(const QJsonObject& o, const char* key) {
    return o[key].toString().toStdString();
}

// The decoded text part with plain line ends.
std::string Body(const QJsonObject& mail) {
    return mail["text"].toString().replace("\r\n", "\n").toStdString();
}

// [name, address] pairs of a mailbox list, as "name <address>" texts.
std::vector<std::string> Mailboxes(const QJsonValue& list) {
    std::vector<std::string> found;
    for (const QJsonValue& box : list.toArray()) {
        const QJsonArray pair = box.toArray();
        found.push_back(pair[0].toString().toStdString() + " <" + pair[1].toString().toStdString() +
                        ">");
    }
    return found;
}

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

class CharsetEndToEnd : public testing::Test {
  protected:
    ChildResult Send(const std::vector<std::string>& extra, const std::string& body) {
        std::vector<std::string> args = {TIDEMARK_SEND, "--smtp",  "127.0.0.1",
                                         "--port",      port_,     "--user-id",
                                         "tester",      "--email", "me@example.jp"};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunChild(args, body, {"XDG_CONFIG_HOME=" + config_.path().toStdString()});
    }

    QTemporaryDir config_;
    SinkProcess sink_;
    const std::string port_ = std::to_string(sink_.Port);
};

// Each message holds something ISO-2022-JP lacks, so the automatic setting sends it in UTF-8;
// the half-width katakana stay half-width there.
TEST_F(CharsetEndToEnd, EveryCharacterArrivesAsTypedOverSevenBits) {
    ASSERT_NE(sink_.Port, 0);
    const std::string family = "👨‍👩‍👧";
    const struct {
        std::string name, to, cc, subject, body;
    } cases[] = {
        {"山田 😀 太郎", "ｶﾀｶﾅ 𠮷野家 <to@example.jp>", "", "😀 と ☃ の会議",
         "一行目 😀\n.dot line ｶﾀｶﾅ\n\n" + family + " 𠮷\n"},
        {"José", "Zoë <zoe@example.jp>, 한국어 <kr@example.jp>", "☃ <cc@example.jp>",
         "é, 한국어, ｶﾞｲﾄﾞ and " + family, "Café ☃️\n"},
        {"", "to@example.jp", "", Repeat("😀", 300), Repeat(family, 60) + "\n"},
        // A name fits one encoded-word: this reader puts a blank between two words of a name.
        {Repeat("👍🏽", 4), "to@example.jp", "", "e\xCC\x81" + Repeat("\xCC\x81", 40), "x\n"},
    };
    int n = 0;
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--to", c.to, "--subject", c.subject, "--name", c.name};
        if (!c.cc.empty())
            args.insert(args.end(), {"--cc", c.cc});
        const ChildResult r = Send(args, c.body);
        ASSERT_EQ(r.status, 0) << c.subject << r.out << r.err;
        EXPECT_NE(r.err.find("UTF-8 で送ります"), std::string::npos) << r.err;

        const QJsonObject mail = SinkProcess::Decode(sink_.Message(++n), "read_mail.py");
        EXPECT_EQ(Text(mail, "subject"), c.subject);
        EXPECT_EQ(Mailboxes(QJsonArray{mail["from"]}),
                  std::vector<std::string>{c.name + " <me@example.jp>"});
        EXPECT_EQ(Body(mail), c.body);
        EXPECT_EQ(Text(mail, "charset"), "utf-8");
        EXPECT_EQ(Text(mail, "transfer_encoding"), "base64");
        EXPECT_EQ(Text(mail, "x_mailer"), "もこちゃんのぴこぴこ便");
        EXPECT_TRUE(mail["defects"].toArray().isEmpty()) << c.subject;
        EXPECT_LE(mail["longest_header_line"].toInt(), 78) << c.subject;
        EXPECT_FALSE(mail["eight_bit"].toBool()) << c.subject;
    }
    const QJsonObject second = SinkProcess::Decode(sink_.Message(2), "read_mail.py");
    EXPECT_EQ(Mailboxes(second["to"]),
              (std::vector<std::string>{"Zoë <zoe@example.jp>", "한국어 <kr@example.jp>"}));
    EXPECT_EQ(Mailboxes(second["cc"]), std::vector<std::string>{"☃ <cc@example.jp>"});
    EXPECT_EQ(sink_.Envelope(2).toStdString(),
              "me@example.jp\nzoe@example.jp\nkr@example.jp\ncc@example.jp\n");
}

// What the setting asks for decides; ISO-2022-JP still refuses what it cannot carry, and some
// things no message may carry.
TEST_F(CharsetEndToEnd, TheSettingDecidesAndSomeTextIsRefusedInEveryMode) {
    ASSERT_NE(sink_.Port, 0);
    const struct {
        std::vector<std::string> args;
        int status;
        const char* said;     // in standard output or error
        const char* charset;  // of the stored message; nullptr: none stored
    } cases[] = {
        {{"--charset", "iso-2022-jp", "--subject", "😀"}, 2, "ISO-2022-JP で表せない", nullptr},
        {{"--charset", "iso-2022-jp", "--name", "😀"}, 2, "--name の文字", nullptr},
        {{"--charset", "utf-8", "--subject", "plain"}, 0, "メールを送信したよ。", "utf-8"},
        {{"--charset", "auto", "--subject", "件名"}, 0, "メールを送信したよ。", "iso-2022-jp"},
        {{"--charset", "latin-1"}, 2, "--charset must be", nullptr},
        {{"--subject", "\xEE\x80\x80"}, 2, "外字", nullptr},
        {{"--charset", "utf-8", "--subject", "\xF3\xB0\x80\x80"}, 2, "U+F0000", nullptr},
        {{"--cc", "ü@example.jp"}, 2, "ASCII 以外の文字 (U+00FC)", nullptr},
    };
    int stored = 0;
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--to", "to@example.jp"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ChildResult r = Send(args, "body\n");
        const std::string label = c.args.back();
        EXPECT_EQ(r.status, c.status) << label << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.said), std::string::npos) << label << r.out << r.err;
        if (c.charset == nullptr)
            continue;
        const QJsonObject mail = SinkProcess::Decode(sink_.Message(++stored), "read_mail.py");
        EXPECT_EQ(Text(mail, "charset"), c.charset) << label;
        // Every ISO-2022-JP message's content starts with an empty line; base64 text has none.
        EXPECT_EQ(Body(mail), std::string(c.charset) == "utf-8" ? "body\n" : "\nbody\n") << label;
    }
    EXPECT_EQ(sink_.StoredCount(), stored);
}

}  // namespace
