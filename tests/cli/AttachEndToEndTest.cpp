// tidemark-send --attach against a real server over STARTTLS with AUTH and SIZE: every file
// arrives with its bytes and its name as two independent readers see them (Python's email with
// both of its policies, and mailparser), the text part first; a message over the server's limit
// is refused before MAIL.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <fstream>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "SendArgs.h"
#include "tests/support/SinkProcess.h"
#include "tests/support/TestCertificates.h"

namespace {

struct File {
    std::string name, bytes;
};

struct Message {
    const char* what;
    std::vector<File> files;
    const char* charset;  // of the text part
};

const char* const kBody = "添付ファイルを送ります。";

std::string Bytes(size_t count, int seed) {
    std::string bytes;
    for (size_t i = 0; i < count; ++i)
        bytes += static_cast<char>((i * 131 + seed * 7 + i / 256) & 0xFF);
    return bytes;
}

// 66 characters of Japanese and ".pdf".
std::string SeventyCharacterName() {
    const QString text = QString::fromUtf8(
        "令和八年度第三四半期における新製品開発計画および市場調査報告書の最終版について関係各位"
        "へ送付いたしますのでご確認のほどよろしくお願い申し上げます");
    return (text.left(66) + ".pdf").toStdString();
}

std::vector<std::string> SendArgs(int port) {
    return LocalSendArgs(static_cast<uint16_t>(port),
                         {"--security", "starttls", "--ca-file", TestCertificates::Path("ca.pem"),
                          "--auth-user", kAuthUser, "--password-command",
                          "cat '" + TestCertificates::Path("password") + "'", "--subject", "資料"});
}

// Sends one message with its files written into a directory of their own.
ChildResult SendWithFiles(int port, const Message& m, const QString& dir,
                          const std::string& config) {
    QDir().mkpath(dir);
    std::vector<std::string> args = SendArgs(port);
    args.insert(args.end(), {"--charset", m.charset});
    for (const File& f : m.files) {
        const std::string path = QDir(dir).filePath(QString::fromStdString(f.name)).toStdString();
        std::ofstream(path, std::ios::binary) << f.bytes;
        args.insert(args.end(), {"--attach", path});
    }
    return RunChild(args, std::string(kBody) + "\n", {"XDG_CONFIG_HOME=" + config});
}

QJsonArray RunReader(const QString& program, const QStringList& args) {
    QProcess reader;
    reader.start(program, args);
    reader.waitForFinished(60000);
    EXPECT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
}

std::string Text(const QJsonValue& v) {
    return v.toString().toStdString();
}

std::string Decoded(const QJsonValue& base64) {
    return QByteArray::fromBase64(base64.toString().toLatin1()).toStdString();
}

// The directory where npm has put mailparser, or "" when npm is absent.
QString NodeReaderDir() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                        "/tidemark-tests/node";
    QProcess install;
    install.start("/bin/sh", {SinkProcess::Script("node/install.sh"), dir});
    install.waitForFinished(300000);
    if (install.exitCode() == 77)
        return "";
    EXPECT_EQ(install.exitCode(), 0) << install.readAllStandardError().toStdString();
    return dir;
}

TEST(AttachEndToEndTest, FilesArriveWholeUnderTheirNamesAndOversizeIsRefused) {
    const int limit = 300000;
    SinkProcess sink(TestCertificates::SinkOptions("good", "starttls", "PLAIN") << "--size"
                                                                                << "300000");
    ASSERT_NE(sink.Port, 0);
    QTemporaryDir dir, config;
    const std::vector<Message> messages = {
        {"ASCII name with a blank", {{"report 2026.pdf", Bytes(5000, 1)}}, "iso-2022-jp"},
        {"Japanese name", {{"議事録.txt", "一行目\r\n二行目\n"}}, "iso-2022-jp"},
        {"emoji", {{"旅行🏖️写真 👨‍👩‍👧.jpg", Bytes(777, 2)}}, "utf-8"},
        {"70 characters", {{SeventyCharacterName(), Bytes(100, 3)}}, "iso-2022-jp"},
        {"quotes and a backslash", {{"say \"hi\" \\ back.txt", "x"}}, "iso-2022-jp"},
        {"empty file", {{"empty.dat", ""}}, "iso-2022-jp"},
        {"three at once",
         {{"a.bin", Bytes(57, 4)}, {"ｈａｌｆ＆ﾊﾝｶｸ.txt", "abc"}, {"c d.png", Bytes(58, 5)}},
         "auto"},
    };
    QStringList stored;
    for (size_t i = 0; i < messages.size(); ++i) {
        const ChildResult r = SendWithFiles(
            sink.Port, messages[i], dir.filePath(QString::number(i)), config.path().toStdString());
        ASSERT_EQ(r.status, 0) << messages[i].what << "\n" << r.out << r.err;
        stored << sink.Message(static_cast<int>(i) + 1);
    }

    // What the server counted is what MAIL FROM declared.
    const QStringList sizes =
        QString::fromStdString(sink.SizeLog()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(sizes.size(), static_cast<qsizetype>(messages.size()));
    for (const QString& line : sizes)
        EXPECT_EQ(line.section(' ', 0, 0), "SIZE=" + line.section(' ', 1, 1));

    const QJsonArray python =
        RunReader("/usr/bin/python3", QStringList{SinkProcess::Script("read_parts.py")} + stored);
    ASSERT_EQ(python.size(), static_cast<qsizetype>(messages.size()));
    for (size_t i = 0; i < messages.size(); ++i) {
        const Message& m = messages[i];
        const QJsonObject read = python[static_cast<qsizetype>(i)].toObject();
        EXPECT_LE(read["longest_line"].toInt(), 78) << m.what;
        EXPECT_FALSE(read["eight_bit"].toBool()) << m.what;
        for (const char* policy : {"compat32", "default"}) {
            const QJsonArray parts = read[policy].toArray();
            ASSERT_EQ(parts.size(), static_cast<qsizetype>(m.files.size() + 1)) << m.what;
            const QJsonObject text = parts[0].toObject();
            EXPECT_EQ(Text(text["text"]).substr(0, std::string(kBody).size()), kBody) << m.what;
            EXPECT_EQ(Text(text["charset"]),
                      std::string(m.charset) == "utf-8" ? "utf-8" : "iso-2022-jp")
                << m.what;
            for (size_t f = 0; f < m.files.size(); ++f) {
                const QJsonObject part = parts[static_cast<qsizetype>(f + 1)].toObject();
                EXPECT_EQ(Text(part["filename"]), m.files[f].name) << m.what << " " << policy;
                EXPECT_EQ(Text(part["name"]), m.files[f].name) << m.what << " " << policy;
                EXPECT_EQ(Decoded(part["data"]), m.files[f].bytes) << m.what << " " << policy;
                EXPECT_EQ(Text(part["encoding"]), "base64");
            }
        }
    }

    // A file that takes the message over the limit: refused before MAIL, both sizes named.
    const int mailsBefore = static_cast<int>(QString::fromStdString(sink.MailLog()).count('\n'));
    const ChildResult large =
        SendWithFiles(sink.Port, {"too large", {{"large.bin", Bytes(limit, 6)}}, "auto"},
                      dir.filePath("large"), config.path().toStdString());
    EXPECT_EQ(large.status, 1) << large.out << large.err;
    EXPECT_NE(large.out.find("サーバーが受け取れる大きさ 0.3 MB"), std::string::npos) << large.out;
    EXPECT_NE(large.err.find("MB) is larger than the server takes (0.3 MB)"), std::string::npos)
        << large.err;
    EXPECT_EQ(QString::fromStdString(sink.MailLog()).count('\n'), mailsBefore);
    EXPECT_EQ(sink.StoredCount(), static_cast<int>(messages.size()));

    const QString node = NodeReaderDir();
    if (node.isEmpty())
        GTEST_SKIP() << "npm is not installed: the second reader (mailparser) did not run";
    const QJsonArray second = RunReader("node", QStringList{node + "/read_parts.js"} + stored);
    ASSERT_EQ(second.size(), static_cast<qsizetype>(messages.size()));
    for (size_t i = 0; i < messages.size(); ++i) {
        const Message& m = messages[i];
        const QJsonObject read = second[static_cast<qsizetype>(i)].toObject();
        EXPECT_EQ(Text(read["text"]).substr(0, std::string(kBody).size()), kBody) << m.what;
        const QJsonArray files = read["attachments"].toArray();
        ASSERT_EQ(files.size(), static_cast<qsizetype>(m.files.size())) << m.what;
        for (size_t f = 0; f < m.files.size(); ++f) {
            const QJsonObject file = files[static_cast<qsizetype>(f)].toObject();
            EXPECT_EQ(Text(file["filename"]), m.files[f].name) << m.what;
            EXPECT_EQ(Decoded(file["data"]), m.files[f].bytes) << m.what;
        }
    }
}

}  // namespace
