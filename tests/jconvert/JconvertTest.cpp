#include <gtest/gtest.h>

#include <QByteArray>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>

#include "jconvert/jconvert.h"
#include "platform/CodePage.h"

using platform::Sjis;

namespace {

const std::string KanjiIn = "\x1B$B", AsciiIn = "\x1B(B";

std::string Word(const std::string& base64) {
    return "=?ISO-2022-JP?B?" + base64 + "?=";
}

std::string Pair(TJisChar c) {
    return {static_cast<char>(c.Row), static_cast<char>(c.Cell)};
}

// The input in a heap block of exactly its size, so that reading past it trips the sanitizer.
template <class F>
std::string OnExactBuffer(const std::string& input, F convert) {
    std::unique_ptr<char[]> copy(new char[input.size()]);
    std::copy(input.begin(), input.end(), copy.get());
    return convert(std::string_view(copy.get(), input.size()));
}

}  // namespace

TEST(Jconvert, EncodeMimeHeaderWordsAndPlainText) {
    const std::string kanji3 = Sjis("漢字列"), kanji300 = [] {
        std::string s;
        for (int i = 0; i < 300; ++i)
            s += Sjis("漢");
        return s;
    }();
    const std::string word3 = Word(Base64Encode(SjisToJis(kanji3)));
    struct Case {
        std::string input, expected;
    } cases[] = {
        {"", ""},
        {"Re: hello, world", "Re: hello, world"},
        {Sjis("テスト"), Word("GyRCJUYlOSVIGyhC")},
        {"abc" + kanji3, "abc" + word3},
        {"Subject text " + kanji3, "Subject text " + word3},
        {kanji3 + "abc" + kanji3, word3 + "abc" + word3},
        {kanji3 + " " + kanji3, word3 + " " + word3},
        {Sjis("ｶﾀｶﾅ"), Sjis("ｶﾀｶﾅ")},
        {Sjis("ｶﾀ漢字"), Sjis("ｶﾀ") + Word(Base64Encode(SjisToJis(Sjis("漢字"))))},
        {kanji300, Word(Base64Encode(SjisToJis(kanji300)))},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EncodeMimeHeader(c.input), c.expected) << c.input;
}

TEST(Jconvert, SjisToJisEscapesAroundDoubleByteRuns) {
    struct Case {
        std::string input, expected;
    } cases[] = {
        {"abc", "abc"},
        {"", ""},
        {Sjis("漢abc"), KanjiIn + "\x34\x41" + AsciiIn + "abc"},
        {Sjis("漢"), KanjiIn + "\x34\x41" + AsciiIn},
        {Sjis("漢\r\n"), KanjiIn + "\x34\x41" + AsciiIn + "\r\n"},
        {Sjis("テスト"), KanjiIn + "\x25\x46\x25\x39\x25\x48" + AsciiIn},
        {Sjis("a亜\nあ"),
         "a" + KanjiIn + "\x30\x21" + AsciiIn + "\n" + KanjiIn + "\x24\x22" + AsciiIn},
        {"\xB6\xDE", KanjiIn + "\x25\x2C" + AsciiIn},
        {"\xCA\xDF", KanjiIn + "\x25\x51" + AsciiIn},
        {"\xB3\xDE", KanjiIn + "\x25\x74" + AsciiIn},
        {"\xB1\xDE", KanjiIn + "\x25\x22\x21\x2B" + AsciiIn},
        {"\xB6\xDF", KanjiIn + "\x25\x2B\x21\x2C" + AsciiIn},
        {"\xB0\xA1", KanjiIn + "\x21\x3C\x21\x23" + AsciiIn},
        {Sjis("ｶ漢"), KanjiIn + "\x25\x2B\x34\x41" + AsciiIn},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SjisToJis(c.input), c.expected) << c.input;
}

TEST(Jconvert, SjisCharToJisExamplesAndUncheckedBytes) {
    struct Case {
        unsigned char lead, trail, row, cell;
    } cases[] = {
        {0x81, 0x40, 0x21, 0x21}, {0x82, 0xA0, 0x24, 0x22}, {0x88, 0x9F, 0x30, 0x21},
        {0x8A, 0xBF, 0x34, 0x41}, {0xE0, 0x40, 0x5F, 0x21}, {0x81, 0x80, 0x21, 0x60},
        {0x81, 0x7E, 0x21, 0x5F}, {0x80, 0x41, 0x1F, 0x22}, {0xFF, 0xFF, 0x9E, 0x81},
        {0x82, 0x0D, 0x23, 0xEE},
    };
    for (const auto& c : cases) {
        const TJisChar got = SjisCharToJis(c.lead, c.trail);
        EXPECT_EQ(got.Row, c.row) << std::hex << +c.lead << " " << +c.trail;
        EXPECT_EQ(got.Cell, c.cell) << std::hex << +c.lead << " " << +c.trail;
    }
}

// The converter uses lookup tables; every byte pair must still give the arithmetic's result.
TEST(Jconvert, SjisToJisAgreesWithSjisCharToJisForEveryPair) {
    int mismatches = 0;
    for (int lead = 0x80; lead <= 0xFF; ++lead) {
        if (lead >= 0xA1 && lead <= 0xDF)
            continue;
        for (int trail = 0; trail <= 0xFF; ++trail) {
            const std::string input{static_cast<char>(lead), static_cast<char>(trail)};
            const std::string expected = KanjiIn + Pair(SjisCharToJis(lead, trail)) + AsciiIn;
            if (SjisToJis(input) != expected && ++mismatches < 5) {
                ADD_FAILURE() << std::hex << lead << " " << trail;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Jconvert, HankakuKanaToJisAdvancesPastAbsorbedMarks) {
    struct Case {
        std::string text;
        size_t position;
        std::string expected;
        size_t after;
    } cases[] = {
        {"\xB6\xDE", 0, "\x25\x2C", 2},
        {"\xB6", 0, "\x25\x2B", 1},
        {"\xB6\xDF", 0, "\x25\x2B", 1},
        {"\xCE\xDF", 0, "\x25\x5D", 2},
        {"\xB3\xDE", 0, "\x25\x74", 2},
        {"\xB1\xDE", 0, "\x25\x22", 1},
        {"\xDE", 0, "\x21\x2B", 1},
        {"a\xC4\xDE"
         "b",
         1, "\x25\x49", 3},
        {"\xDC\xDE", 0, "\x25\x6F", 1},
        {"\xA6", 0, "\x25\x72", 1},
    };
    for (const auto& c : cases) {
        size_t position = c.position;
        EXPECT_EQ(OnExactBuffer(c.text,
                                [&](std::string_view text) {
                                    return Pair(HankakuKanaToJis(text, position));
                                }),
                  c.expected)
            << c.text;
        EXPECT_EQ(position, c.after) << c.text;
    }
    size_t position = 0;
    EXPECT_THROW(HankakuKanaToJis("a", position), std::out_of_range);
    position = 1;
    EXPECT_THROW(HankakuKanaToJis("\xB1", position), std::out_of_range);
}

// Input the edit fields never produce still converts, without reading past its end.
TEST(Jconvert, ArbitraryBytesConvertWithoutOverrun) {
    struct Case {
        std::string input, jis, header;
    } cases[] = {
        {"abc\x82", "abc", "abc"},
        {"\x82", "", ""},
        {Sjis("漢") + "\x82", KanjiIn + "\x34\x41" + AsciiIn,
         Word(Base64Encode(SjisToJis(Sjis("漢"))))},
        {"\xB6", KanjiIn + "\x25\x2B" + AsciiIn, "\xB6"},
        {std::string("a\0b", 3), std::string("a\0b", 3), std::string("a\0b", 3)},
        {"\x80\x41", KanjiIn + "\x1F\x22" + AsciiIn, "\x80\x41"},
        {"\xA0\xFD\xFE\xFF", KanjiIn + "\xE0\x7F\x9C\x81" + AsciiIn, "\xA0\xFD\xFE\xFF"},
        {"\x82\r\n", KanjiIn + "\x23\xEE" + AsciiIn + "\n",
         Word(Base64Encode(KanjiIn + "\x23\xEE" + AsciiIn)) + "\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(OnExactBuffer(c.input, SjisToJis), c.jis) << c.input;
        EXPECT_EQ(OnExactBuffer(c.input, EncodeMimeHeader), c.header) << c.input;
        // Widening first changes nothing that the converter produces.
        EXPECT_EQ(SjisToJis(OnExactBuffer(c.input, HankakuToZenkaku)), c.jis) << c.input;
    }
}

// The block converter against the character-at-a-time one, on exact-size buffers: texts of
// every kind of byte, cut anywhere (a lead byte left at the end), with single-byte runs ending
// on both sides of the 16-byte scan and characters across the 4096-byte blocks.
TEST(Jconvert, BlockConverterMatchesCharacterConverter) {
    const std::string pieces[] = {
        "a",
        "ab c",
        std::string(15, 'x'),
        std::string(16, 'y'),
        "\r\n",
        "\x88\x9F",
        "\x82\xA0",
        "\x83\x40",
        "\x81\r",
        "\xB6\xDE",
        "\xCA\xDF",
        "\xB3\xDE",
        "\xB1",
        "\xDE",
        "\xDF",
        "\x80",
        "\xA0\x41",
        "\xFD\xFE",
        "\xFF",
        std::string(33, 'z'),
    };
    std::mt19937 random(11);
    for (int round = 0; round < 400; ++round) {
        const size_t length = round < 100   ? round
                              : round < 200 ? 4096 + round - 150
                                            : random() % 12000;
        std::string text;
        while (text.size() < length)
            text += pieces[random() % std::size(pieces)];
        text.resize(length);
        ASSERT_EQ(OnExactBuffer(text, SjisToJis), SjisToJisByCharacter(text)) << "round " << round;
    }
}

TEST(Jconvert, Base64EncodeMatchesQt) {
    std::mt19937 random(7);
    for (size_t n = 0; n <= 200; ++n) {
        std::string bytes(n, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        const QByteArray reference = QByteArray(bytes.data(), n).toBase64();
        EXPECT_EQ(Base64Encode(bytes), reference.toStdString()) << n;
    }
    EXPECT_EQ(Base64Encode("a"), "YQ==");
    EXPECT_EQ(Base64Encode("ab"), "YWI=");
    EXPECT_EQ(Base64Encode("abc"), "YWJj");
}
