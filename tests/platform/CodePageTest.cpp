#include <gtest/gtest.h>

#include "platform/CodePage.h"

using platform::SjisToUtf8;
using platform::Utf8ToSjis;

TEST(CodePage, RoundTripsJapaneseText) {
    struct Case {
        const char* utf8;
        const char* sjis;
    } cases[] = {
        {"", ""},           {"abc", "abc"},     {"テスト", "\x83\x65\x83\x58\x83\x67"},
        {"漢", "\x8A\xBF"}, {"ｶﾞ", "\xB6\xDE"}, {"～", "\x81\x60"},
        {"①", "\x87\x40"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToSjis(c.utf8), c.sjis) << c.utf8;
        EXPECT_EQ(SjisToUtf8(c.sjis), c.utf8) << c.utf8;
    }
}

TEST(CodePage, JisMappedCharactersReachTheirCodePage932Form) {
    EXPECT_EQ(Utf8ToSjis("\u301C"), "\x81\x60");  // wave dash as an input method types it
    EXPECT_EQ(Utf8ToSjis("\u2212"), "\x81\x7C");  // minus sign
    // Not the ASCII backslash and tilde, which the recipient would see instead.
    EXPECT_EQ(Utf8ToSjis("a\u00A5\u203E"), "a\x81\x8F\x81\x50");
}

TEST(CodePage, UnmappableCharacterIsNamedNeverReplaced) {
    for (const char* text : {"a\U0001F600b", "\u00E9", "漢字\u4E02", "x\U000E0041"}) {
        try {
            Utf8ToSjis(text);
            FAIL() << text;
        } catch (const ECodePageError& e) {
            EXPECT_NE(SjisToUtf8(e.Message()).find(platform::CodePointName(e.Character)),
                      std::string::npos);
        }
    }
}

// Malformed UTF-8 whose bits spell a character with a code page 932 form (a bad continuation
// byte, an overlong form) is refused, never read as that character.
TEST(CodePage, MalformedUtf8IsRefusedNotReadAsAnotherCharacter) {
    for (const char* text : {"\xE3\xC0\x9C", "\xF0\x82\x80\x96", "a\xED\xA0\x80", "\xE3\x80"}) {
        try {
            Utf8ToSjis(text);
            FAIL() << "converted";
        } catch (const ECodePageError& e) {
            EXPECT_EQ(e.Character, U'\uFFFD');
        }
    }
}

TEST(CodePage, InvalidShiftJisShowsReplacementCharacterAndGoesOn) {
    EXPECT_EQ(SjisToUtf8("a\xA0"
                         "b"),
              "a\uFFFDb");
    EXPECT_EQ(SjisToUtf8("x\x82"), "x\uFFFD");
    EXPECT_EQ(SjisToUtf8(std::string("\0z", 2)), std::string("\0z", 2));
}

TEST(CodePage, LeadBytesOfCodePage932) {
    int leads = 0;
    for (int b = 0; b < 256; ++b)
        leads += platform::IsDBCSLeadByte(static_cast<unsigned char>(b));
    EXPECT_EQ(leads, (0x9F - 0x81 + 1) + (0xFC - 0xE0 + 1));
    EXPECT_FALSE(platform::IsDBCSLeadByte(0xA0));
    EXPECT_TRUE(platform::IsDBCSLeadByte(0xFC));
}
