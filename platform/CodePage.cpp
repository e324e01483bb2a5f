#include "platform/CodePage.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <stdexcept>

namespace platform {
namespace {

// iconv descriptor for one direction, opened once per thread.
class Converter {
  public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("iconv_open failed");
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as it can; returns the number of input bytes consumed.
    size_t Run(std::string_view in, std::string& out) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        char* src = const_cast<char*>(in.data());
        size_t left = in.size();
        char chunk[4096];
        while (left > 0) {
            char* dst = chunk;
            size_t room = sizeof chunk;
            const size_t r = iconv(cd_, &src, &left, &dst, &room);
            out.append(chunk, dst - chunk);
            if (r == static_cast<size_t>(-1) && errno != E2BIG)
                break;
        }
        return in.size() - left;
    }

  private:
    iconv_t cd_;
};

Converter& ToCp932() {
    thread_local Converter c("CP932", "UTF-8");
    return c;
}
Converter& FromCp932() {
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

// Decodes the UTF-8 character at the start of s; returns its length. A byte that starts no
// well-formed character (a stray continuation, a cut-off or overlong sequence, a surrogate)
// decodes as U+FFFD with length 1, so that it is reported rather than read as another character.
size_t DecodeUtf8(std::string_view s, char32_t& c) {
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    const auto b = static_cast<unsigned char>(s[0]);
    const size_t n = b < 0x80 ? 1 : b < 0xC0 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF8 ? 4 : 0;
    c = 0xFFFD;
    if (n == 0 || n > s.size())
        return 1;
    char32_t value = n == 1 ? b : b & (0x7F >> n);
    for (size_t i = 1; i < n; ++i) {
        const auto t = static_cast<unsigned char>(s[i]);
        if ((t & 0xC0) != 0x80)
            return 1;
        value = (value << 6) | (t & 0x3F);
    }
    if (value < kSmallest[n] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 1;
    c = value;
    return n;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The same characters under the JIS-based Unicode mapping that input methods and other
// programs use; code page 932 holds them under the code points on the right.
char32_t Cp932Equivalent(char32_t c) {
    switch (c) {
        case 0x301C:
            return 0xFF5E;  // wave dash
        case 0x2016:
            return 0x2225;  // double vertical line
        case 0x2212:
            return 0xFF0D;  // minus sign
        case 0x00A2:
            return 0xFFE0;  // cent sign
        case 0x00A3:
            return 0xFFE1;  // pound sign
        case 0x00AC:
            return 0xFFE2;  // not sign
        case 0x2014:
            return 0x2015;  // em dash
        case 0x00A5:
            return 0xFFE5;  // yen sign
        case 0x203E:
            return 0xFFE3;  // overline
        default:
            return c;
    }
}

// Where iconv would not refuse a character it cannot hold but change it into another (the yen
// sign and the overline into ASCII) or drop it (tag characters). These sequences start with a
// lead byte, so in UTF-8 they can only be those characters.
size_t NextChangedCharacter(std::string_view utf8) {
    size_t first = std::string_view::npos;
    for (std::string_view sequence : {"\xC2\xA5", "\xE2\x80\xBE", "\xF3\xA0\x80", "\xF3\xA0\x81"})
        first = std::min(first, utf8.find(sequence));
    return first;
}

// Code page 932 bytes of the character under its other code point; raises ECodePageError for
// one it does not hold at all.
std::string EquivalentOf(char32_t c) {
    const char32_t equivalent = Cp932Equivalent(c);
    if (equivalent != c) {
        std::string u;
        AppendUtf8(u, equivalent);
        std::string mapped;
        if (ToCp932().Run(u, mapped) == u.size())
            return mapped;
    }
    throw ECodePageError(Sjis("文字 ") + CodePointName(c) + Sjis(" はシフトJISで表せません"), c);
}

}  // namespace

std::string CodePointName(char32_t c) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
    return name;
}

namespace {

std::string ConvertToSjis(std::string_view utf8, bool lossy) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        const size_t done = ToCp932().Run(utf8.substr(0, NextChangedCharacter(utf8)), out);
        utf8.remove_prefix(done);
        if (utf8.empty())
            break;
        char32_t c;
        const size_t len = DecodeUtf8(utf8, c);
        try {
            out += EquivalentOf(c);
        } catch (const ECodePageError&) {
            if (!lossy)
                throw;
            out += '?';
        }
        utf8.remove_prefix(len);
    }
    return out;
}

}  // namespace

std::string Utf8ToSjis(std::string_view utf8) {
    return ConvertToSjis(utf8, false);
}

std::string Utf8ToSjisLossy(std::string_view utf8) {
    return ConvertToSjis(utf8, true);
}

bool IsUtf8(std::string_view text) {
    while (!text.empty()) {
        char32_t c;
        const size_t len = DecodeUtf8(text, c);
        if (c == 0xFFFD && len == 1)
            return false;
        text.remove_prefix(len);
    }
    return true;
}

std::string ToSjis(const QString& text) {
    return Utf8ToSjis(text.toStdString());
}

std::string Sjis(std::string_view utf8) {
    return Utf8ToSjis(utf8);
}

std::string SjisToUtf8(std::string_view sjis) {
    std::string out;
    out.reserve(sjis.size() * 3 / 2);
    while (!sjis.empty()) {
        const size_t done = FromCp932().Run(sjis, out);
        sjis.remove_prefix(done);
        if (sjis.empty())
            break;
        AppendUtf8(out, 0xFFFD);  // a byte that starts no character
        sjis.remove_prefix(1);
    }
    return out;
}

QString FromSjis(std::string_view sjis) {
    return QString::fromStdString(SjisToUtf8(sjis));
}

std::string Sjis(std::string_view utf8, std::initializer_list<std::string_view> values) {
    std::string out;
    // Split in UTF-8: a Shift_JIS second byte may look like a brace.
    for (size_t at = 0; at < utf8.size();) {
        const size_t open = utf8.find('{', at);
        const size_t close = open == std::string_view::npos ? open : utf8.find('}', open);
        const std::string_view number =
            close == std::string_view::npos ? std::string_view() : utf8.substr(open + 1, close - open - 1);
        const size_t index = number.size() == 1 && number[0] >= '1' && number[0] <= '9'
                                 ? static_cast<size_t>(number[0] - '1')
                                 : values.size();
        if (index >= values.size()) {
            const size_t end = open == std::string_view::npos ? utf8.size() : open + 1;
            out += Sjis(utf8.substr(at, end - at));
            at = end;
            continue;
        }
        out += Sjis(utf8.substr(at, open - at));
        out += *(values.begin() + index);
        at = close + 1;
    }
    return out;
}

std::string Utf8ToSjisShown(std::string_view utf8) {
    try {
        return Utf8ToSjis(utf8);
    } catch (const ECodePageError&) {
        std::string shown;
        const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        for (const char32_t c : text.toStdU32String()) {
            try {
                shown += Utf8ToSjis(QString::fromUcs4(&c, 1).toStdString());
            } catch (const ECodePageError&) {
                shown += CodePointName(c);
            }
        }
        return shown;
    }
}

}  // namespace platform
