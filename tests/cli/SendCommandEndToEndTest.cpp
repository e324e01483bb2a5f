// tidemark-send as a script runs it, against a real SMTP server on loopback; the stored message is
// read back with Python's email package.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <ctime>
#include <fstream>

#include "ChildProcess.h"
#include "platform/CodePage.h"

namespace {

using namespace std::chrono_literals;

const std::string kPython = "/usr/bin/python3";

std::string SourcePath(const std::string& relative) {
    return std::string(TIDEMARK_SOURCE) + "/" + relative;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// A port on 127.0.0.1 where nothing listens.
std::string ClosedPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return std::to_string(ntohs(address.sin_port));
}

// The SMTP sink, started on a free loopback port for one test.
class Sink {
  public:
    Sink() : process_({kPython, SourcePath("tests/support/smtp_sink.py"), Dir()}) {
        const std::string line = process_.ReadLine(20s);
        if (line.starts_with("PORT "))
            port_ = line.substr(5);
    }
    std::string Port() const { return port_; }
    std::string Dir() const { return dir_.path().toStdString(); }
    QString Stored(int number, const char* suffix) const {
        return dir_.filePath(QString::asprintf("%04d.%s", number, suffix));
    }
    int MessageCount() const {
        return static_cast<int>(QDir(dir_.path()).entryList({"*.eml"}, QDir::Files).size());
    }

  private:
    QTemporaryDir dir_;
    ChildProcess process_;
    std::string port_;
};

QJsonObject Inspect(const QString& eml) {
    const ChildResult r =
        RunChild({kPython, SourcePath("tests/cli/inspect_mail.py"), eml.toStdString()}, "");
    EXPECT_EQ(r.status, 0) << r.err;
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).object();
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
    Sink sink_;
};

TEST_F(SendCommandEndToEnd, DeliversAJapaneseMessageThatAReaderDecodes) {
    ASSERT_FALSE(sink_.Port().empty());
    const ChildResult r = Send(
        {"--to", "to@example.jp", "--cc", "CC Person <cc@example.jp>", "--bcc", "bcc@example.jp",
         "--subject", "ｶﾞｲﾄﾞの件名 test", "--smtp", "127.0.0.1", "--port", sink_.Port(),
         "--user-id", "tester", "--name", "ﾓｺ Yamada", "--email", "me@example.jp"},
        "一行目\r\n.dot line\nｶﾞｷﾞ\rlast line\n");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "メールを送信したよ。\n");
    EXPECT_TRUE(Contains(r.err, "接続しました\n")) << r.err;
    EXPECT_TRUE(Contains(r.err, "送信しました。\n")) << r.err;
    EXPECT_TRUE(Contains(r.err, "接続は解除されました\n")) << r.err;
    EXPECT_FALSE(Contains(r.err, "バイト送信しました")) << "progress only with --verbose";

    EXPECT_EQ(ReadFile(sink_.Stored(1, "env")),
              "me@example.jp\nto@example.jp\ncc@example.jp\nbcc@example.jp\n");
    const QJsonObject mail = Inspect(sink_.Stored(1, "eml"));
    EXPECT_EQ(Text(mail, "subject"), "ガイドの件名 test");
    EXPECT_EQ(Text(mail, "from_name"), "モコ Yamada");
    EXPECT_EQ(Text(mail, "from_address"), "me@example.jp");
    EXPECT_EQ(Text(mail, "x_mailer"), "もこちゃんのぴこぴこ便");
    EXPECT_EQ(Text(mail, "to"), "to@example.jp");
    EXPECT_EQ(Text(mail, "cc"), "CC Person <cc@example.jp>");
    EXPECT_EQ(Text(mail, "content_type"), "text/plain");
    EXPECT_EQ(Text(mail, "charset"), "iso-2022-jp");
    // Every body starts with one empty line; the period is unstuffed by the server.
    EXPECT_EQ(Text(mail, "body"), "\n一行目\n.dot line\nガギ\nlast line\n");
    EXPECT_NEAR(mail["date_stamp"].toDouble(), static_cast<double>(std::time(nullptr)), 300)
        << Text(mail, "date");
    EXPECT_TRUE(QRegularExpression("^<[^<>@\\s]+@example\\.jp>$")
                    .match(mail["message_id"].toString())
                    .hasMatch())
        << Text(mail, "message_id");
    EXPECT_TRUE(mail["defects"].toArray().isEmpty());
    EXPECT_FALSE(mail["eight_bit_header"].toBool());
}

TEST_F(SendCommandEndToEnd, VerboseShowsProgressAndSocketStatus) {
    ASSERT_FALSE(sink_.Port().empty());
    std::vector<std::string> args = To(sink_.Port());
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
    ASSERT_FALSE(sink_.Port().empty());
    {
        QSettings stored(SettingsFile(), QSettings::IniFormat);
        stored.setValue("Settings/Smtp", "127.0.0.1");
        stored.setValue("Settings/Port", QString::fromStdString(sink_.Port()));
        stored.setValue("Settings/Name", QString::fromUtf8("保存した名前"));
        stored.setValue("Settings/Email", "stored@example.jp");
        stored.setValue("Settings/UserID", "stored");
    }
    const std::string before = ReadFile(SettingsFile());
    const ChildResult r = Send({"--to", "to@example.jp", "--email", "override@example.jp"}, "hi\n");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(sink_.Stored(1, "env")), "override@example.jp\nto@example.jp\n");
    EXPECT_EQ(Text(Inspect(sink_.Stored(1, "eml")), "from_name"), "保存した名前");
    EXPECT_EQ(ReadFile(SettingsFile()), before);
}

TEST_F(SendCommandEndToEnd, TakesShiftJisArgumentsAndBodyFile) {
    ASSERT_FALSE(sink_.Port().empty());
    const QString bodyPath = config_.filePath("body.txt");
    std::ofstream(bodyPath.toStdString(), std::ios::binary) << platform::Sjis("本文ｶﾅ\r\n二行目");
    std::vector<std::string> args = To(sink_.Port());
    // 表 and ソ carry a backslash as their trail byte.
    args.insert(args.end(), {"--encoding", "cp932", "--body-file", bodyPath.toStdString(),
                             "--subject", platform::Sjis("表示テスト")});
    const ChildResult r = Send(args, "standard input is not read");
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject mail = Inspect(sink_.Stored(1, "eml"));
    EXPECT_EQ(Text(mail, "subject"), "表示テスト");
    EXPECT_EQ(Text(mail, "body"), "\n本文カナ\n二行目\n");
}

TEST_F(SendCommandEndToEnd, ExitStatusTellsWhatHappened) {
    ASSERT_FALSE(sink_.Port().empty());
    const std::string refused = ClosedPort();
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } cases[] = {
        {{"--help"}, 0, "usage: tidemark-send", ""},
        {{}, 2, "", "--to is required"},
        {{"--to", "a@x", "--colour", "red"}, 2, "", "unknown argument"},
        {{"--to", "a@x", "--encoding", "latin1"}, 2, "", "utf-8 or cp932"},
        {{"--to", "a@x", "--body-file", "/nonexistent/body.txt"}, 2, "", "body file"},
        {{"--to", "", "--port", sink_.Port()}, 2, "宛先を設定してね。\n", ""},
        {{"--to", "a@x", "--smtp", "127.0.0.1", "--port", "abc"},
         2,
         "",
         "'abc' は整数ではありません"},
        {{"--to", "a@x", "--smtp", "127.0.0.1", "--port", "70000"}, 2, "", "65535"},
        {{"--to", "a@x", "--subject", "絵文字😀"}, 2, "", "U+1F600"},
        {{"--to", "a@x", "--smtp", "127.0.0.1", "--port", refused, "--email", "me@x"},
         1,
         "接続は失敗しました\n送信に失敗したよ。\n",
         "Connection"},
        {{"--to", "a@x", "--smtp", "127.0.0.1", "--port", sink_.Port(), "--user-id", "t"},
         1,
         "送信に失敗したよ。\n",
         "Incomplete Header"},
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
    EXPECT_EQ(sink_.MessageCount(), 0);
}

}  // namespace
