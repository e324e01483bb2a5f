// The converter against independent decoders: glibc iconv for code page 932 and ISO-2022-JP,
// Qt for base64 and Unicode normalisation.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <random>
#include <string>
#include <vector>

#include "jconvert/jconvert.h"
#include "platform/CodePage.h"
#include "tests/jconvert/Decode.h"

namespace {

// Where code page 932 and JIS X 0208 map the same code to different Unicode characters; the
// converter keeps the code, so these are equal.
QString ToJisMapping(QString text) {
    static const std::pair<char16_t, char16_t> divergent[] = {
        {u'\uFF5E', u'\u301C'}, {u'\u2225', u'\u2016'}, {u'\uFF0D', u'\u2212'},
        {u'\uFFE0', u'\u00A2'}, {u'\uFFE1', u'\u00A3'}, {u'\uFFE2', u'\u00AC'},
    };
    for (auto [cp932, jis] : divergent)
        text.replace(QChar(cp932), QChar(jis));
    return text;
}

QString Cp932(const std::string& sjis) {
    return QString::fromStdString(IconvToUtf8("CP932", sjis).value_or("<invalid>"));
}

QString Iso2022Jp(const std::string& jis) {
    return QString::fromStdString(IconvToUtf8("ISO-2022-JP", jis).value_or("<invalid>"));
}

std::vector<std::string> JisX0208Characters() {
    std::vector<std::string> characters;
    for (int lead = 0x81; lead <= 0xEA; ++lead) {
        if (lead == 0x87 || (lead > 0x9F && lead < 0xE0))
            continue;  // row 13 is NEC's own
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const std::string c{static_cast<char>(lead), static_cast<char>(trail)};
            if (trail != 0x7F && IconvToUtf8("CP932", c))
                characters.push_back(c);
        }
    }
    return characters;
}

}  // namespace

TEST(JconvertCrossCheck, EveryJisX0208CharacterDecodesLikeCodePage932) {
    const std::vector<std::string> characters = JisX0208Characters();
    EXPECT_EQ(characters.size(), 6879u);
    int mismatches = 0;
    for (const std::string& c : characters) {
        const QString expected = ToJisMapping(Cp932(c));
        const QString got = Iso2022Jp(SjisToJis(c));
        if (got != expected && ++mismatches <= 5) {
            ADD_FAILURE() << std::hex << (c[0] & 0xFF) << (c[1] & 0xFF) << ": " << got.toStdString()
                          << " != " << expected.toStdString();
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Half-width katakana, alone and with each mark, against Unicode compatibility composition.
// Marks left alone become the spacing forms; combinations that JIS X 0208 lacks (ﾜﾞ, ｦﾞ) stay
// two characters.
TEST(JconvertCrossCheck, HalfWidthKatakanaWidenLikeNfkc) {
    std::vector<std::string> inputs = {
        "\x83\xA1\xB6\xDE",                  // a double-byte character with a kana-range trail
        "\xB6\xDE\xB7\xDE\xCA\xDF\xCE\xDF",  // ｶﾞｷﾞﾊﾟﾎﾟ
        "a\xB3\xDE"
        "b\xDE\xDE",  // aｳﾞbﾞﾞ
    };
    for (int b = 0xA1; b <= 0xDF; ++b) {
        for (const char* mark : {"", "\xDE", "\xDF"})
            inputs.push_back(std::string(1, char(b)) + mark);
    }
    auto nfkc = [](const QString& text) {
        QString composed = text.normalized(QString::NormalizationForm_KC);
        composed.replace(QChar(0x3099), QChar(0x309B)).replace(QChar(0x309A), QChar(0x309C));
        return composed;
    };
    for (const std::string& input : inputs) {
        const QString unicode = Cp932(input);
        QString expected = nfkc(unicode);
        try {
            platform::Utf8ToSjis(expected.toStdString());
        } catch (const ECodePageError&) {
            expected.clear();
            for (QChar c : unicode)
                expected += nfkc(c);
        }
        EXPECT_EQ(Iso2022Jp(SjisToJis(input)), expected) << input;
        EXPECT_EQ(Cp932(HankakuToZenkaku(input)), expected) << input;
    }
}

namespace {

// Random Shift_JIS text from kanji, kana, ASCII (with 0x5C and 0x7E), line breaks and
// half-width katakana.
class TextMaker {
  public:
    explicit TextMaker(unsigned seed) : random_(seed), kanji_(JisX0208Characters()) {}
    std::string Text(int tokens, bool header) {
        std::string text;
        for (int i = 0; i < tokens; ++i) {
            switch (random_() % (header ? 3 : 5)) {
                case 0:
                    text += kanji_[random_() % kanji_.size()];
                    break;
                case 1:
                    text += static_cast<char>(header ? 'a' + random_() % 26 : ' ' + random_() % 95);
                    break;
                case 2:
                    text += static_cast<char>(0xA1 + random_() % 63);
                    break;
                case 3:
                    text += "\r\n";
                    break;
                default:
                    text += "\\~";
                    break;
            }
        }
        return text;
    }

  private:
    std::mt19937 random_;
    std::vector<std::string> kanji_;
};

// Decodes every "=?ISO-2022-JP?B?...?=" word; the bytes between words are code page 932.
QString DecodeHeader(const std::string& header, int& words) {
    const std::string prefix = "=?ISO-2022-JP?B?", suffix = "?=";
    QString text;
    size_t at = 0;
    for (;;) {
        const size_t open = header.find(prefix, at);
        text += Cp932(header.substr(at, open - at));
        if (open == std::string::npos)
            return text;
        const size_t close = header.find(suffix, open + prefix.size());
        if (close == std::string::npos)
            return text + "<unclosed word>";
        const QByteArray jis = QByteArray::fromBase64(QByteArray::fromStdString(
            header.substr(open + prefix.size(), close - open - prefix.size())));
        if (!jis.startsWith("\x1B$B") || !jis.endsWith("\x1B(B"))
            text += "<bad escapes>";
        text += Iso2022Jp(jis.toStdString());
        ++words;
        at = close + suffix.size();
    }
}

int DoubleByteRuns(const std::string& text) {
    int runs = 0;
    bool inRun = false;
    for (size_t i = 0; i < text.size();) {
        const bool lead = platform::IsDBCSLeadByte(static_cast<unsigned char>(text[i]));
        runs += lead && !inRun;
        inRun = lead;
        i += lead ? 2 : 1;
    }
    return runs;
}

}  // namespace

TEST(JconvertCrossCheck, MixedBodyTextDecodesLikeCodePage932) {
    TextMaker maker(11);
    for (int i = 0; i < 300; ++i) {
        const std::string text = maker.Text(1 + i % 60, false);
        // Back in ASCII after kanji, a backslash and a tilde read as themselves.
        const QString expected = ToJisMapping(Cp932(HankakuToZenkaku(text)));
        ASSERT_EQ(Iso2022Jp(SjisToJis(text)), expected) << i;
    }
}

TEST(JconvertCrossCheck, HeaderWordsDecodeBackToTheText) {
    TextMaker maker(12);
    for (int i = 0; i < 300; ++i) {
        const std::string text = maker.Text(1 + i % 40, true);
        int words = 0;
        ASSERT_EQ(DecodeHeader(EncodeMimeHeader(text), words), ToJisMapping(Cp932(text))) << i;
        EXPECT_EQ(words, DoubleByteRuns(text)) << i;
    }
}
