// Text in UTF-8: encoded-words that keep what a reader sees as one character whole, and the
// base64 body of the SMTP client's message.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <regex>

#include "jconvert/HeaderWords.h"
#include "smtp/ZelUtf8.h"
#include "smtp/Zelsmtp.h"

namespace {

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

// The UTF-8 bytes inside one word; fails the test for a word of another form.
std::string Decoded(const std::string& word) {
    static const std::regex form(R"(=\?UTF-8\?B\?([A-Za-z0-9+/]+=*)\?=)");
    std::smatch m;
    EXPECT_TRUE(std::regex_match(word, m, form)) << word;
    return QByteArray::fromBase64(QByteArray::fromStdString(m[1])).toStdString();
}

bool ValidUtf8(const std::string& bytes) {
    const QByteArray raw = QByteArray::fromStdString(bytes);
    return QString::fromUtf8(raw).toUtf8() == raw;
}

// Code points that only continue the character before them.
bool Continues(char32_t c) {
    return (c >= 0x300 && c <= 0x36F) || c == 0x200D || (c >= 0xFE00 && c <= 0xFE0F) ||
           (c >= 0x1F3FB && c <= 0x1F3FF) || c == 0xFF9E;
}

TEST(Utf8Words, WordsKeepEveryCharacterWholeAndFitBesideTheName) {
    const std::string family = "👨‍👩‍👧";  // 18 bytes: a word of 39 bytes holds two
    const struct {
        const char* what;
        std::string text;
        size_t words;  // 0: not counted
    } cases[] = {
        {"empty", "", 0},
        {"one short word", "☃ snow", 1},
        {"300 emoji", Repeat("😀", 300), 34},
        {"ZWJ families", Repeat(family, 7), 4},
        {"combining accents", Repeat("e\xCC\x81", 40), 0},
        {"variation selectors", Repeat("☃\xEF\xB8\x8F", 20), 0},
        {"skin tones", Repeat("👍🏽", 12), 3},
        {"flags", Repeat("🇯🇵", 10), 0},
        {"half-width kana with marks", Repeat("ｶﾞ", 20), 0},
        {"Korean and 𠮷", Repeat("한국어 𠮷野家 ", 6), 0},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> words = EncodeWords(c.text, Utf8Words);
        if (c.words != 0 || c.text.empty()) {
            EXPECT_EQ(words.size(), c.words) << c.what;
        }
        std::string joined;
        for (size_t i = 0; i < words.size(); ++i) {
            EXPECT_LE(words[i].size(), 66u) << c.what << " word " << i;
            const std::string bytes = Decoded(words[i]);
            ASSERT_TRUE(ValidUtf8(bytes)) << c.what << " word " << i;
            const std::u32string chars = QString::fromStdString(bytes).toStdU32String();
            EXPECT_FALSE(Continues(chars.front())) << c.what << " word " << i;
            EXPECT_NE(chars.back(), U'\u200D') << c.what << " word " << i;
            joined += bytes;
        }
        EXPECT_EQ(joined, c.text) << c.what;
    }
}

TEST(Utf8Words, ACharacterLongerThanAWordIsCutBetweenCodePoints) {
    // One base letter with 40 accents: 81 bytes, more than any word holds.
    const std::string text = "a" + Repeat("\xCC\x81", 40);
    const std::vector<std::string> words = EncodeWords(text, Utf8Words);
    ASSERT_EQ(words.size(), 3u);
    std::string joined;
    for (const std::string& word : words) {
        EXPECT_LE(word.size(), 66u);
        EXPECT_TRUE(ValidUtf8(Decoded(word)));
        joined += Decoded(word);
    }
    EXPECT_EQ(joined, text);
}

TEST(Utf8Words, Base64LinesHold76Characters) {
    for (const size_t size : {0u, 1u, 57u, 58u, 1000u}) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>(i * 7);
        const std::vector<std::string> lines = Base64Lines(bytes);
        EXPECT_EQ(lines.size(), (size + 56) / 57) << size;
        std::string joined;
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].size() == 76, i + 1 < lines.size() || size % 57 == 0) << size;
            joined += lines[i];
        }
        EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(joined)).toStdString(), bytes);
    }
}

// The client with UTF-8 texts: a base64 body of CR LF lines, the transfer encoding declared.
TEST(Utf8Message, BodyGoesOutAsBase64OfCrLfLines) {
    TZelSMTP smtp(nullptr);
    smtp.Charset = "UTF-8";
    smtp.TextIsUtf8 = true;
    smtp.PostMessage.FromAddress = "me@example.jp";
    smtp.PostMessage.Subject = EncodeHeaderText(Repeat("😀", 40), Utf8Words);
    smtp.PostMessage.Body.Add("一行目 😀");
    smtp.PostMessage.Body.Add(".dot\nnext");
    smtp.BuildMessage();
    const std::vector<std::string> header = smtp.FinalHeader.Lines();
    EXPECT_EQ(header[header.size() - 2], "Content-Type: text/plain; charset=UTF-8");
    EXPECT_EQ(header.back(), "Content-Transfer-Encoding: base64");
    EXPECT_EQ(smtp.ContentStream.Data(),
              QByteArray("一行目 😀\r\n.dot\r\nnext\r\n").toBase64().toStdString() + "\r\n");

    // A body far longer than one piece of the encoding reads as the base64 of the whole.
    smtp.PostMessage.Body.Clear();
    std::string plain;
    for (int i = 0; i < 5000; ++i) {
        const std::string line = Repeat("行", i % 13) + std::to_string(i);
        smtp.PostMessage.Body.Add(line);
        plain += line + "\r\n";
    }
    smtp.BuildMessage();
    std::string expected;
    for (const std::string& line : Base64Lines(plain))
        expected += line + "\r\n";
    EXPECT_EQ(smtp.ContentStream.Data(), expected);
}

// The Sent copy's Bcc line of a UTF-8 message: UTF-8 words that read back as typed, never
// ISO-2022-JP words of UTF-8 bytes.
TEST(Utf8Message, SentCopyBccLineReadsBackAsTyped) {
    TZelSMTP smtp(nullptr);
    smtp.Charset = "UTF-8";
    smtp.TextIsUtf8 = true;
    smtp.PostMessage.FromAddress = "me@example.jp";
    smtp.PostMessage.ToAddress.Add("to@example.jp");
    smtp.PostMessage.ToBlindCarbonCopy.Add("\"山田, 太郎😀\" <a@example.jp>; b@example.jp");
    smtp.BuildMessage();
    const std::string copy = smtp.SentCopy();
    const size_t at = copy.find("\r\nBcc: =?UTF-8?B?");
    ASSERT_NE(at, std::string::npos) << copy;
    const size_t text = at + 17, end = copy.find("?=", text);
    EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(copy.substr(text, end - text)))
                  .toStdString(),
              "山田, 太郎😀");
    EXPECT_EQ(copy.substr(end, copy.find("\r\n", end) - end), "?= <a@example.jp>, b@example.jp");
}

}  // namespace
