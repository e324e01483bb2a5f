// A panel of ordinary Japanese messages, sent by tidemark-send through a real SMTP server on
// loopback and read back by Python's email package as a strict reader: each reader must see
// exactly what was typed.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <string>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "tests/support/SinkProcess.h"

namespace {

using Addresses = std::vector<std::pair<std::string, std::string>>;

Addresses Read(const QJsonValue& list) {
    Addresses read;
    for (const QJsonValue& pair : list.toArray()) {
        read.emplace_back(pair[0].toString().toStdString(), pair[1].toString().toStdString());
    }
    return read;
}

std::string Text(const QJsonObject& o, const char* key) {
    return o[key].toString().toStdString();
}

std::string Kanji(int count) {
    const char* cycle[] = {"定", "例", "会", "議", "資", "料", "確", "認"};
    std::string text;
    for (int i = 0; i < count; ++i)
        text += cycle[i % 8];
    return text;
}

// What the writer typed; left out, a field holds an ordinary value.
struct Typed {
    std::string to = "taro@example.com", cc = {}, name = {}, subject = "hi", body = "x\n";
};

const Addresses Taro = {{"", "taro@example.com"}};

// The message as typed, and the To and CC addresses a reader must see, which also name the
// envelope's recipients.
struct PanelRow {
    const char* what;
    Typed typed;
    Addresses toRead = Taro, ccRead = {};
};

std::string Recipients(const PanelRow& row) {
    std::string lines = "me@example.jp\n";
    for (const Addresses* list : {&row.toRead, &row.ccRead}) {
        for (const auto& [name, address] : *list)
            lines += address + "\n";
    }
    return lines;
}

TEST(HeaderPanelEndToEnd, ReadersSeeWhatTheWriterTyped) {
    SinkProcess sink;
    ASSERT_NE(sink.Port, 0) << "the SMTP sink did not start";
    QTemporaryDir config;
    const std::string yamada = "山田太郎 <taro@example.com>";
    const Addresses yamadaRead = {{"山田太郎", "taro@example.com"}};
    const PanelRow rows[] = {
        {"CC with a Japanese name",
         {.to = yamada, .cc = yamada, .subject = "ご挨拶"},
         yamadaRead,
         yamadaRead},
        {"name with a comma", {.name = "Yamada, Taro"}},
        {"name with angle brackets", {.name = "営業部 <sales>"}},
        {"name with a blank", {.name = "山田 太郎"}},
        {"subject with blanks and an ASCII word", {.subject = "11月 定例会議 (Zoom) のお知らせ"}},
        {"tilde and backslash after kanji",
         {.body = "資料はhttp://example.jp/~taro/ です\nパスはC:\\Users\\taro\\資料\n漢~\\ "}},
        {"addresses separated by a semicolon",
         {.to = "a@example.jp; 佐藤 <b@example.jp>", .cc = "c@example.jp;d@example.jp"},
         {{"", "a@example.jp"}, {"佐藤", "b@example.jp"}},
         {{"", "c@example.jp"}, {"", "d@example.jp"}}},
        {"40-kanji subject", {.name = "山田 太郎", .subject = Kanji(40)}},
    };
    int stored = 0;
    for (const PanelRow& row : rows) {
        SCOPED_TRACE(row.what);
        const Typed& typed = row.typed;
        const ChildResult r =
            RunChild({TIDEMARK_SEND, "--to", typed.to, "--cc", typed.cc, "--subject", typed.subject,
                      "--name", typed.name, "--email", "me@example.jp", "--smtp", "127.0.0.1",
                      "--port", std::to_string(sink.Port), "--user-id", "tester"},
                     typed.body, {"XDG_CONFIG_HOME=" + config.path().toStdString()});
        ASSERT_EQ(r.status, 0) << r.out << r.err;
        ++stored;
        EXPECT_EQ(sink.Envelope(stored).toStdString(), Recipients(row));

        const QJsonObject mail = SinkProcess::Decode(sink.Message(stored));
        const QJsonObject reader = mail["reader"].toObject();
        EXPECT_EQ(Read(reader["from"]), (Addresses{{typed.name, "me@example.jp"}}));
        EXPECT_EQ(Read(reader["to"]), row.toRead);
        EXPECT_EQ(Read(reader["cc"]), row.ccRead);
        EXPECT_EQ(Text(reader, "subject"), typed.subject);
        EXPECT_EQ(Text(mail, "subject"), typed.subject) << "decode_header";
        EXPECT_EQ(Text(reader, "x_mailer"), "もこちゃんのぴこぴこ便");
        EXPECT_EQ(mail["text"].toString().replace("\r\n", "\n").toStdString(),
                  "\n" + typed.body + (typed.body.ends_with('\n') ? "" : "\n"));
        EXPECT_TRUE(reader["defects"].toArray().isEmpty())
            << QJsonDocument(reader["defects"].toArray()).toJson().toStdString();
        EXPECT_TRUE(mail["defects"].toArray().isEmpty());
        EXPECT_LE(reader["longest_word"].toInt(), 75);
        EXPECT_FALSE(mail["eight_bit_header"].toBool());
    }
}

}  // namespace
