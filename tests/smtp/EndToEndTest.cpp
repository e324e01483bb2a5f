// The client against a real SMTP server on loopback; the stored message is read back with an
// independent parser.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <fstream>
#include <string>
#include <vector>

#include "jconvert/jconvert.h"
#include "platform/CodePage.h"
#include "smtp/Zelsmtp.h"
#include "tests/support/SinkProcess.h"

namespace {

using platform::Sjis;

std::string WriteFile(const QTemporaryDir& dir, const char* name, const std::string& bytes) {
    const std::string path = dir.filePath(name).toStdString();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

std::string AllByteValues() {
    std::string bytes;
    for (int round = 0; round < 40; ++round) {
        for (int b = 0; b < 256; ++b)
            bytes += static_cast<char>((b * 7 + round) & 0xFF);
    }
    return bytes + "\r\n.\r\n";  // the end-of-data sequence inside the file itself
}

QByteArray Bytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<int>(s.size()));
}

TEST(EndToEndTest, JapaneseMessageWithAttachmentsArrivesIntact) {
    SinkProcess sink;
    ASSERT_NE(sink.Port, 0) << "the SMTP sink did not start";
    QTemporaryDir dir;
    const std::string binary = AllByteValues();
    const std::string text = Sjis("添付の本文です。\r\n二行目\r\n");
    const std::string binaryPath = WriteFile(dir, "data.bin", binary);
    const std::string textPath = WriteFile(dir, "memo.txt", text);

    TZelSMTP smtp(nullptr);
    smtp.Host = "127.0.0.1";
    smtp.Port = sink.Port;
    smtp.TimeOut = 5000;
    smtp.ReportLevel = 0;
    smtp.UserID = "tester";
    smtp.Charset = "iso-2022-jp";
    smtp.EncodeType = uuMime;
    TPostMessage& m = smtp.PostMessage;
    m.FromAddress = "sender@localhost";
    m.FromName = EncodeMimeHeader(Sjis("山田太郎"));
    m.Subject = EncodeMimeHeader(Sjis("会議の資料について"));
    m.LocalProgram = Sjis("もこちゃんのぴこぴこ便");
    m.ToAddress.Add("to@localhost");
    m.ToCarbonCopy.Add("Copy <cc@localhost>");
    m.ToBlindCarbonCopy.Add("bcc@localhost");
    for (const char* line : {"漢字とひらがなとカタカナ", "ﾊﾝｶｸｶﾅ ｶﾞｷﾞ ﾊﾟ", "plain ASCII, 123", ".",
                             ".leading dot", ""}) {
        m.Body.Add(SjisToJis(Sjis(line)));
    }
    m.Attachments.Add(binaryPath);
    m.Attachments.Add(textPath);

    bool succeeded = false;
    smtp.OnSuccess = [&](TObject*) { succeeded = true; };
    smtp.Connect();
    smtp.Send();
    smtp.Disconnect();
    EXPECT_TRUE(succeeded);

    const QJsonObject mail = SinkProcess::Decode(sink.Message(1));
    ASSERT_FALSE(mail.isEmpty()) << "no message stored or not parsed";
    const auto field = [&](const char* key) { return mail[key].toString().toStdString(); };
    EXPECT_EQ(field("subject"), "会議の資料について");
    EXPECT_EQ(field("from_name"), "山田太郎");
    EXPECT_EQ(field("from_address"), "sender@localhost");
    EXPECT_EQ(field("text_type"), "text/plain");
    QString body = mail["text"].toString();
    body.replace("\r\n", "\n");
    // Half-width katakana travel as their full-width forms; the line break before a delimiter
    // belongs to the delimiter.
    EXPECT_EQ(
        body.toStdString(),
        "漢字とひらがなとカタカナ\nハンカクカナ ガギ パ\nplain ASCII, 123\n.\n.leading dot\n");
    EXPECT_TRUE(mail["defects"].toArray().isEmpty());

    const QJsonArray files = mail["attachments"].toArray();
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0]["filename"].toString().toStdString(), "data.bin");
    EXPECT_EQ(QByteArray::fromBase64(files[0]["data"].toString().toLatin1()), Bytes(binary));
    EXPECT_EQ(files[1]["filename"].toString().toStdString(), "memo.txt");
    EXPECT_EQ(QByteArray::fromBase64(files[1]["data"].toString().toLatin1()), Bytes(text));

    EXPECT_EQ(sink.Envelope(1), "sender@localhost\nto@localhost\ncc@localhost\nbcc@localhost\n");
    EXPECT_TRUE(smtp.PostMessage.ToAddress.Empty()) << "ClearParams empties the recipients";
}

}  // namespace
