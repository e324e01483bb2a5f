// Long body lines broken at the mail line limit and long header texts as short encoded-words,
// each piece checked with iconv on its own.
#include <gtest/gtest.h>

#include <QByteArray>
#include <string>
#include <vector>

#include "jconvert/HeaderWords.h"
#include "jconvert/LongLines.h"
#include "jconvert/jconvert.h"
#include "platform/CodePage.h"
#include "tests/jconvert/Decode.h"

using platform::Sjis;

namespace {

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

size_t OnWire(const std::string& line) {
    return line.size() + (line.starts_with('.') ? 1 : 0);
}

std::string Utf8(const std::string& sjis) {
    return IconvToUtf8("CP932", sjis).value_or("<invalid cp932>");
}

}  // namespace

TEST(LongLines, BodyLinesAroundTheLimit) {
    const std::string a = "a", kanji = Sjis("漢"), kana = Sjis("ｶﾞ");
    struct Case {
        const char* name;
        std::string sjis;
        std::vector<size_t> wire;  // bytes of each line on the wire, dot rule counted
    };
    const Case cases[] = {
        {"ASCII 997", Repeat(a, 997), {997}},
        {"ASCII 998", Repeat(a, 998), {998}},
        {"ASCII 999", Repeat(a, 999), {998, 1}},
        {"dot, 997 on the wire", "." + Repeat(a, 995), {997}},
        {"dot, 998 on the wire", "." + Repeat(a, 996), {998}},
        {"dot, 999 on the wire", "." + Repeat(a, 997), {998, 1}},
        {"kanji 997 with escapes", a + Repeat(kanji, 495), {997}},
        {"kanji 998 with escapes", Repeat(kanji, 496), {998}},
        {"kanji 999 with escapes", a + Repeat(kanji, 496), {997, 8}},
        {"kanji 1000: the break closes and reopens kanji", Repeat(kanji, 497), {998, 8}},
        {"dot and kanji, 998 on the wire", "." + Repeat(kanji, 495), {998}},
        {"dot and kanji, 1000 on the wire", "." + Repeat(kanji, 496), {998, 8}},
        {"break in ASCII after kanji", Repeat(kanji, 490) + Repeat(a, 20), {998, 8}},
        {"half-width kana widened", Repeat(kana, 497), {998, 8}},
        {"a broken-off line starting with a dot",
         Repeat(a, 998) + "." + Repeat(a, 997),
         {998, 998, 1}},
        {"700 kanji", Repeat(kanji, 700), {998, 414}},
        {"empty", "", {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string jis = SjisToJis(c.sjis);
        const std::vector<std::string> lines = BreakJisLine(jis);
        std::vector<size_t> wire;
        std::string decoded;
        for (const std::string& line : lines) {
            wire.push_back(OnWire(line));
            // Each line decodes on its own and ends in the single-byte set.
            const auto text = IconvToUtf8("ISO-2022-JP", line);
            ASSERT_TRUE(text) << line;
            decoded += *text;
            const size_t escape = line.rfind('\x1B');
            if (escape != std::string::npos) {
                EXPECT_EQ(line.substr(escape, 3), "\x1B(B") << line;
            }
        }
        EXPECT_EQ(wire, c.wire);
        EXPECT_EQ(decoded, Utf8(HankakuToZenkaku(c.sjis)));
        if (lines.size() == 1) {
            EXPECT_EQ(lines[0], jis) << "a line that fits stays as it is";
        }
    }
}

// Each word of a long header text within 75 characters and decoding on its own, whatever
// characters fall at its ends.
TEST(LongLines, HeaderTextAsWordsOfAtMost75Characters) {
    struct Case {
        const char* name;
        std::string text;
        size_t words;  // 0: not counted
    };
    const Case cases[] = {
        {"short subject", Sjis("会議"), 1},
        {"400 kanji", Repeat(Sjis("件"), 400), 23},
        {"mixed text with blanks",
         Repeat(Sjis("会議の資料 (第2版) について、ご確認ください。"), 40) + " end", 0},
        {"half-width kana with marks", Repeat(Sjis("ｶﾞﾊﾟ"), 30), 4},
        {"ASCII between kanji at every offset", Repeat(Sjis("漢") + "a b", 50), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string> words = EncodeWords(c.text, Iso2022JpWords);
        std::string decoded;
        for (const std::string& word : words) {
            EXPECT_LE(word.size(), 75u);
            ASSERT_TRUE(word.starts_with("=?ISO-2022-JP?B?") && word.ends_with("?=")) << word;
            const QByteArray jis = QByteArray::fromBase64(
                QByteArray::fromStdString(word.substr(16, word.size() - 18)));
            // Back in ASCII at its end, so that the next word starts afresh.
            const qsizetype escape = jis.lastIndexOf('\x1B');
            EXPECT_TRUE(escape < 0 || jis.mid(escape, 3) == "\x1B(B") << word;
            const auto text = IconvToUtf8("ISO-2022-JP", jis.toStdString());
            ASSERT_TRUE(text) << word;
            decoded += *text;
        }
        if (c.words != 0) {
            EXPECT_EQ(words.size(), c.words);
        }
        EXPECT_EQ(decoded, Utf8(HankakuToZenkaku(c.text)));
    }
}
