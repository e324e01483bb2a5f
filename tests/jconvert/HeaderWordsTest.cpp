// Typed header text against the header bytes it must give. The expected encoded-words are made
// by glibc iconv and Qt's base64, independently of the converter under test.
#include <gtest/gtest.h>

#include <QByteArray>
#include <string>

#include "jconvert/HeaderWords.h"
#include "platform/CodePage.h"
#include "tests/jconvert/Decode.h"

using platform::Sjis;

namespace {

// One encoded-word of UTF-8 text.
std::string W(const std::string& utf8) {
    const std::string jis = Iconv("ISO-2022-JP", "UTF-8", utf8).value_or("<not encodable>");
    return "=?ISO-2022-JP?B?" + QByteArray::fromStdString(jis).toBase64().toStdString() + "?=";
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

const std::string Kanji18 = Repeat("議", 18);

}  // namespace

TEST(HeaderWords, TextAsEncodedWords) {
    struct Case {
        std::string typed, header;
    } cases[] = {
        {"", ""},
        {"Re: hello, world  (ASCII stays)", "Re: hello, world  (ASCII stays)"},
        {"テスト", "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?="},
        // Blanks between Japanese words go inside the word; an ASCII word glued to kanji too.
        {"山田 太郎", W("山田 太郎")},
        {"11月 定例会議 (Zoom) のお知らせ", W("11月 定例会議") + " (Zoom) " + W("のお知らせ")},
        {"Re:  会議\t資料", "Re:  " + W("会議\t資料")},
        {"資料 http://example.jp/~taro/ C:\\Users",
         W("資料") + " http://example.jp/~taro/ C:\\Users"},
        {"  会議  ", "  " + W("会議") + "  "},
        // 18 kanji fill a word of 74 characters; the next character starts a new word.
        {Kanji18, W(Kanji18)},
        {Repeat("議", 40), W(Kanji18) + " " + W(Kanji18) + " " + W("議議議議")},
        {Kanji18 + "a", W(Kanji18) + " " + W("a")},
        // Half-width katakana travel as their full-width forms, a mark absorbed.
        {"ｶﾞｲﾄﾞ test", W("ガイド") + " test"},
        // 表 ends in the byte of a backslash.
        {"表\\示", W("表\\示")},
    };
    for (const auto& c : cases) {
        const std::string typed = Sjis(c.typed.c_str());
        EXPECT_EQ(EncodeHeaderText(typed, Iso2022JpWords), c.header) << c.typed;
    }
}

TEST(HeaderWords, DisplayNamesAsPhrases) {
    struct Case {
        std::string (*rule)(std::string_view, const TWordCharset&);
        std::string typed, header;
    } cases[] = {
        {EncodePhrase, "", ""},
        {EncodePhrase, "  Taro  Yamada ", "Taro  Yamada"},
        {EncodePhrase, "Yamada, Taro", "\"Yamada, Taro\""},
        {EncodePhrase, "\"Jiro, J\" Jr", "\"Jiro, J\" Jr"},
        {EncodePhrase, "J. Smith", "\"J. Smith\""},
        {EncodePhrase, "say \"hi\" \\o/", "\"say \\\"hi\\\" \\\\o/\""},
        {EncodePhrase, "\"unclosed", "\"\\\"unclosed\""},
        {EncodePhrase, "営業部 <sales>", W("営業部 <sales>")},
        {EncodePhrase, "山田 太郎", W("山田 太郎")},
        {EncodePhrase, "山田 Taro", W("山田") + " Taro"},
        {EncodePhrase, "Re: 山田 Taro", W("Re: 山田") + " Taro"},
        {EncodePhrase, "\"山田, 太郎\"", W("山田, 太郎")},
        {EncodePhrase, "\"表\" 示", W("\"表\" 示")},
        {EncodePhrase, "\"表\\\" 示\"", W("表\" 示")},
    };
    for (const auto& c : cases) {
        const std::string typed = Sjis(c.typed.c_str());
        EXPECT_EQ(c.rule(typed, Iso2022JpWords), c.header) << c.typed;
    }
}
