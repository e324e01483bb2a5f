#include "platform/CodePage.h"

#include <iconv.h>

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

// Decodes the UTF-8 character at the start of s; returns its length (1 for a bad byte).
size_t DecodeUtf8(std::string_view s, char32_t& c) {
    const auto b = static_cast<unsigned char>(s[0]);
    size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    if (n > s.size() || b < 0x80 || (b & 0xC0) == 0x80) {
        c = b < 0x80 ? b : 0xFFFD;
        return 1;
    }
    c = b & (0x7F >> n);
    for (size_t i = 1; i < n; ++i)
        c = (c << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
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
        default:
            return c;
    }
}

}  // namespace

std::string CodePointName(char32_t c) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(c));
    return name;
}

std::string Utf8ToSjis(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        const size_t done = ToCp932().Run(utf8, out);
        utf8.remove_prefix(done);
        if (utf8.empty())
            break;
        char32_t c;
        const size_t len = DecodeUtf8(utf8, c);
        const char32_t equivalent = Cp932Equivalent(c);
        std::string mapped;
        if (equivalent != c) {
            std::string u;
            AppendUtf8(u, equivalent);
            if (ToCp932().Run(u, mapped) == u.size()) {
                out += mapped;
                utf8.remove_prefix(len);
                continue;
            }
        }
        throw ECodePageError(Sjis("文字 ") + CodePointName(c) + Sjis(" はシフトJISで表せません"),
                             c);
    }
    return out;
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

}  // namespace platform
