// tidemark-send as a script runs it, against a real SMTP server on loopback; the stored message is
// read back with Python's email package.
#include <gtest/gtest.h>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "ChildProcess.h"
#include "platform/CodePage.h"
#include "platform/Version.h"
#include "tests/support/ScriptedPeer.h"
#include "tests/support/ScriptedSmtp.h"
#include "tests/support/SinkProcess.h"

namespace {

using namespace std::chrono_literals;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// The decoded text part as a reader sees it, with plain line ends.
std::string Body(const QJsonObject& mail) {
    return mail["text"].toString().replace("\r\n", "\n").toStdString();
}

std::string Text(const QJsonObject& o, const char* key) {
    return o[key].toString().toStdString();
}

class SendCommandEndToEnd : public testing::Test {
  protected:
    // Each run sees a settings store of its own, empty unless the test fills it.
    ChildResult Send(std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin(), TIDEMARK_SEND);
        return RunChild(args, input, {"XDG_CONFIG_HOME=" + config_.path().toStdString()});
    }
    std::vector<std::string> To(const std::string& port) {
        return {"--to", "to@example.jp", "--smtp", "127.0.0.1", "--port",
                port,   "--user-id",     "tester", "--email",   "me@example.jp"};
    }
    QString SettingsFile() const { return config_.filePath("Orvane/Tidemark.conf"); }

    QTemporaryDir config_;
    SinkProcess sink_;
    const std::string port_ = std::to_string(sink_.Port);
};

TEST_F(SendCommandEndToEnd, DeliversAJapaneseMessageThatAReaderDecodes) {
    ASSERT_NE(sink_.Port, 0);
    const ChildResult r =
        Send({"--to", "to@example.jp", "--cc", "CC Person <cc@example.jp>", "--bcc",
              "bcc@example.jp", "--subject", "ｶﾞｲﾄﾞの件名 test", "--smtp", "127.0.0.1", "--port",
              port_, "--user-id", "tester", "--name", "ﾓｺ Yamada", "--email", "me@example.jp"},
             "一行目\r\n.dot line\nｶﾞｷﾞ\rlast line\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "メールを送信したよ。\n");
    EXPECT_TRUE(Contains(r.err, "接続しました\n")) << r.err;
    EXPECT_TRUE(Contains(r.err, "送信しました。\n")) << r.err;
    EXPECT_TRUE(Contains(r.err, "接続は解除されました\n")) << r.err;
    EXPECT_FALSE(Contains(r.err, "バイト送信しました")) << "progress only with --verbose";

    EXPECT_EQ(sink_.Envelope(1).toStdString(),
              "me@example.jp\nto@example.jp\ncc@example.jp\nbcc@example.jp\n");
    const QJsonObject mail = SinkProcess::Decode(sink_.Message(1));
    EXPECT_EQ(Text(mail, "subject"), "ガイドの件名 test");
    EXPECT_EQ(Text(mail, "from_name"), "モコ Yamada");
    EXPECT_EQ(Text(mail, "from_address"), "me@example.jp");
    EXPECT_EQ(Text(mail, "x_mailer"), "もこちゃんのぴこぴこ便");
    EXPECT_EQ(Text(mail, "to"), "to@example.jp");
    EXPECT_EQ(Text(mail, "cc"), "CC Person <cc@example.jp>");
    EXPECT_EQ(Text(mail, "content_type"), "text/plain");
    EXPECT_EQ(Text(mail, "charset"), "iso-2022-jp");
    // Every body starts with one empty line; the period is unstuffed by the server.
    EXPECT_EQ(Body(mail), "\n一行目\n.dot line\nガギ\nlast line\n");
    EXPECT_NEAR(mail["date_stamp"].toDouble(), static_cast<double>(std::time(nullptr)), 300)
        << Text(mail, "date");
    EXPECT_TRUE(QRegularExpression("^<[^<>@\\s]+@example\\.jp>$")
                    .match(mail["message_id"].toString())
                    .hasMatch())
        << Text(mail, "message_id");
    EXPECT_TRUE(mail["defects"].toArray().isEmpty());
    EXPECT_FALSE(mail["eight_bit_header"].toBool());
}

TEST_F(SendCommandEndToEnd, DeliversToEveryAddressOfAField) {
    ASSERT_NE(sink_.Port, 0);
    const std::string to = "hanako@example.jp, \"Jiro, J\" <jiro@example.jp>";
    std::vector<std::string> args = To(port_);
    args[1] = to;
    const ChildResult r = Send(args, "hi\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(sink_.Envelope(1).toStdString(),
              "me@example.jp\nhanako@example.jp\njiro@example.jp\n");
    EXPECT_EQ(Text(SinkProcess::Decode(sink_.Message(1)), "to"), to);
}

TEST_F(SendCommandEndToEnd, NoReplyToTheEndOfTheMessageIsStatusThree) {
    testsupport::ScriptedPeer peer;
    // No reply to the final ".".
    peer.Send("220 hi\r\n").ReplyEach(testsupport::SmtpReplies({{".", ""}}));
    peer.Start();
    std::vector<std::string> args = To(std::to_string(peer.Port()));
    args.insert(args.end(), {"--timeout", "1", "--data-timeout", "2"});
    const auto started = std::chrono::steady_clock::now();
    const ChildResult r = Send(args, "hi\n");
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out,
              "送信に失敗したよ。\n"
              "サーバーから応答がありませんでした。メールは届いている可能性があります。\n");
    EXPECT_TRUE(Contains(r.err, "サーバーの応答を待っています ")) << r.err;
    EXPECT_TRUE(Contains(r.err, "No reply to the end of the message")) << r.err;
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
}

TEST_F(SendCommandEndToEnd, VerboseShowsProgressAndSocketStatus) {
    ASSERT_NE(sink_.Port, 0);
    std::vector<std::string> args = To(port_);
    args.push_back("--verbose");
    std::string body;
    for (int i = 0; i < 100; ++i)
        body += std::string(70, 'x') + "\n";
    const ChildResult r = Send(args, body);
    ASSERT_EQ(r.status, 0) << r.err;
    // 100 lines of 70 characters and CR LF: the header block is counted in neither number.
    EXPECT_TRUE(Contains(r.err, " バイト送信しました（総バイト数 7200 バイト）")) << r.err;
    EXPECT_TRUE(Contains(r.err, "Connecting")) << r.err;
}

TEST_F(SendCommandEndToEnd, UsesStoredSettingsAndWritesNoOverride) {
    ASSERT_NE(sink_.Port, 0);
    {
        QSettings stored(SettingsFile(), QSettings::IniFormat);
        stored.setValue("Settings/Smtp", "127.0.0.1");
        stored.setValue("Settings/Port", QString::fromStdString(port_));
        stored.setValue("Settings/Name", QString::fromUtf8("保存した名前"));
        stored.setValue("Settings/Email", "stored@example.jp");
        stored.setValue("Settings/UserID", "stored");
    }
    const std::string before = ReadFile(SettingsFile());
    const ChildResult r = Send({"--to", "to@example.jp", "--email", "override@example.jp"}, "hi\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sink_.Envelope(1).toStdString(), "override@example.jp\nto@example.jp\n");
    EXPECT_EQ(Text(SinkProcess::Decode(sink_.Message(1)), "from_name"), "保存した名前");
    EXPECT_EQ(ReadFile(SettingsFile()), before);
}

TEST_F(SendCommandEndToEnd, TakesShiftJisArgumentsAndBodyFile) {
    ASSERT_NE(sink_.Port, 0);
    const QString bodyPath = config_.filePath("body.txt");
    std::ofstream(bodyPath.toStdString(), std::ios::binary) << platform::Sjis("本文ｶﾅ\r\n二行目");
    std::vector<std::string> args = To(port_);
    // 表 and ソ carry a backslash as their trail byte.
    args.insert(args.end(), {"--encoding", "cp932", "--body-file", bodyPath.toStdString(),
                             "--subject", platform::Sjis("表示テスト")});
    const ChildResult r = Send(args, "standard input is not read");
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject mail = SinkProcess::Decode(sink_.Message(1));
    EXPECT_EQ(Text(mail, "subject"), "表示テスト");
    EXPECT_EQ(Body(mail), "\n本文カナ\n二行目\n");
}

TEST_F(SendCommandEndToEnd, ExitStatusTellsWhatHappened) {
    ASSERT_NE(sink_.Port, 0);
    const testsupport::RefusingPort refusing;
    const std::string refused = std::to_string(refusing.Port());
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } cases[] = {
        {{"--help"}, 0, "usage: tidemark-send", ""},
        {{"--version"}, 0, std::string("tidemark-send ") + platform::kVersion + "\n", ""},
        {{}, 2, "", "--to is required"},
        {{"--to", "a@x", "--colour", "red"}, 2, "", "unknown argument"},
        {{"--to", "a@x", "--encoding", "latin1"}, 2, "", "utf-8 or cp932"},
        {{"--to", "a@x", "--body-file", "/nonexistent/body.txt"}, 2, "", "body file"},
        {{"--to", "", "--port", port_}, 2, "宛先を設定してね。\n", ""},
        {{"--to", "a@x", "--smtp", "127.0.0.1", "--email", "me@x", "--port", "abc"},
         2,
         "",
         "'abc' は整数ではありません"},
        {{"--to", "a@x", "--smtp", "127.0.0.1", "--email", "me@x", "--port", "70000"},
         2,
         "",
         "65535"},
        {{"--to", "a@x", "--charset", "iso-2022-jp", "--subject", "絵文字😀"},
         2,
         "件名に、ISO-2022-JP で表せない文字 (U+1F600)",
         ""},
        {{"--to", "a@x", "--smtp", "127.0.0.1", "--email", "me@x", "--port", port_, "--subject",
          "外字\uE000"},
         2,
         "件名に、外字",
         ""},
        {{"--to", "a@x", "--smtp", "127.0.0.1", "--port", refused, "--email", "me@x", "--user-id",
          "t"},
         1,
         "送信に失敗したよ。\nサーバー 127.0.0.1 のポート " + refused +
             " に接続できませんでした。サーバー名とポートは ツール → オプション設定 で確かめてね。\n",
         "Connection"},
        {{"--to", "a@x", "--smtp", "127.0.0.1", "--port", port_, "--user-id", "t"},
         2,
         "",
         "送信するには、オプション設定の メールアドレス が必要です。"},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const auto& a : c.args)
            joined += a + " ";
        const ChildResult r = Send(c.args, "body\n");
        EXPECT_EQ(r.status, c.status) << joined << "\n" << r.err;
        if (c.out.empty()) {
            EXPECT_EQ(r.out, "") << joined;
        } else {
            EXPECT_TRUE(Contains(r.out, c.out)) << joined << "\nstdout: " << r.out;
        }
        EXPECT_TRUE(Contains(r.err, c.err)) << joined << "\nstderr: " << r.err;
    }
    EXPECT_EQ(sink_.StoredCount(), 0);
}

// A body that is no file, or larger than any body may be, ends the run at once with status 2,
// long before memory or time run out.
TEST(SendCommandBody, NoFileOrAnEndlessBodyIsRefusedQuickly) {
    QTemporaryDir dir;
    const std::string over = dir.filePath("over").toStdString();
    std::ofstream(over).close();
    std::filesystem::resize_file(over, 10 * 1024 * 1024 + 1);
    const std::string send = std::string(TIDEMARK_SEND) + " --to a@x --smtp 127.0.0.1 --port 1 ";
    const struct {
        const char* name;
        std::string command;
        std::string err;
    } cases[] = {
        {"directory", send + "--body-file " + dir.path().toStdString(), "is a directory"},
        {"device", send + "--body-file /dev/zero", "is a device"},
        {"over the cap", send + "--body-file " + over, "longer than 10 MiB (10485760 bytes)"},
        {"endless input", send + "</dev/zero", "standard input is longer than 10 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto started = std::chrono::steady_clock::now();
        const ChildResult r = RunChild({"/bin/sh", "-c", c.command}, "",
                                       {"XDG_CONFIG_HOME=" + dir.path().toStdString()}, 20s);
        EXPECT_EQ(2, r.status) << r.err;
        EXPECT_TRUE(Contains(r.err, c.err)) << r.err;
        EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    }
    EXPECT_TRUE(
        Contains(RunChild({TIDEMARK_SEND, "--help"}, "").out, "up to 10 MiB (10485760 bytes)"));
    rusage children{};
    ::getrusage(RUSAGE_CHILDREN, &children);
    EXPECT_LT(children.ru_maxrss, 512 * 1024) << "kilobytes at most, of any child so far";
}

// A real server refusing recipients: the others get the message (status 4); none accepted is a
// failure (status 1) and nothing is stored.
TEST_F(SendCommandEndToEnd, RefusedRecipientsAreNamed) {
    ASSERT_NE(sink_.Port, 0);
    const std::string unknown = "unknown@example.jp … 550 5.1.1 User unknown\n";
    const struct {
        std::string to;
        int status;
        std::string out;
        int stored;
    } cases[] = {
        {"to@example.jp, unknown@example.jp", 4,
         "メールを送信したよ。\n次の宛先には送れませんでした：\n" + unknown, 1},
        {"unknown@example.jp", 1,
         "送信に失敗したよ。\nどの宛先も受け取ってもらえませんでした：\n" + unknown, 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = To(port_);
        args[1] = c.to;
        const ChildResult r = Send(args, "body\n");
        EXPECT_EQ(r.status, c.status) << c.to << "\n" << r.err;
        EXPECT_TRUE(r.out.starts_with(c.out)) << c.to << "\n" << r.out;
        EXPECT_EQ(sink_.StoredCount(), c.stored) << c.to;
    }
}

// Servers refuse lines over 998 bytes: neither a subject of 400 kanji nor a body line of 700
// may make one, and the reader gets both back whole, the body with line breaks added only.
TEST_F(SendCommandEndToEnd, LongSubjectAndBodyLineArriveWhole) {
    ASSERT_NE(sink_.Port, 0);
    const auto kanji = [](int count) {
        const char* cycle[] = {"会", "議", "資", "料", "確", "認", "漢", "字"};
        std::string text;
        for (int i = 0; i < count; ++i)
            text += cycle[i % 8];
        return text;
    };
    const std::string subject = kanji(400), line = kanji(700);
    std::vector<std::string> args = To(port_);
    args.insert(args.end(), {"--subject", subject});
    const ChildResult r = Send(args, line + "\n二行目\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;

    const QString stored = sink_.Message(1);
    size_t longest = 0;
    for (const QByteArray& wireLine : QByteArray::fromStdString(ReadFile(stored)).split('\n'))
        longest = std::max<size_t>(longest, wireLine.size());
    EXPECT_LE(longest, 999u) << "998 bytes and the CR";

    const QJsonObject mail = SinkProcess::Decode(stored);
    EXPECT_EQ(Text(mail, "subject"), subject);
    const auto withoutBreaks = [](std::string text) {
        std::erase(text, '\n');
        return text;
    };
    const std::string body = Body(mail), sent = "\n" + line + "\n二行目\n";
    EXPECT_GT(std::count(body.begin(), body.end(), '\n'),
              std::count(sent.begin(), sent.end(), '\n'));
    EXPECT_EQ(withoutBreaks(body), withoutBreaks(sent));
    EXPECT_TRUE(mail["defects"].toArray().isEmpty());
    EXPECT_FALSE(mail["eight_bit_header"].toBool());
}

TEST_F(SendCommandEndToEnd, MachineDependentCharactersWarnOrWithStrictRefuse) {
    ASSERT_NE(sink_.Port, 0);
    const std::string warning =
        "機種依存文字が含まれています：髙①﨑。相手の環境では別の文字に見えることがあります。\n";
    const struct {
        bool strict;
        int status;
        std::string out;
        int stored;
    } cases[] = {
        {true, 2, "", 0},
        {false, 0, "メールを送信したよ。\n", 1},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = To(port_);
        args.insert(args.end(), {"--subject", "髙橋", "--name", "①"});
        if (c.strict)
            args.push_back("--strict");
        const ChildResult r = Send(args, "山﨑さん\n");
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_TRUE(Contains(r.err, warning)) << r.err;
        EXPECT_EQ(Contains(r.err, "--strict: 送信しませんでした。"), c.strict) << r.err;
        EXPECT_EQ(sink_.StoredCount(), c.stored);
    }
    const std::string mail = ReadFile(sink_.Message(1));
    EXPECT_TRUE(std::all_of(mail.begin(), mail.end(), [](char b) { return b > 0; }))
        << "7-bit message";
}

}  // namespace
