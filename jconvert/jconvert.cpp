#include "jconvert/jconvert.h"

#include <array>
#include <cstring>
#include <stdexcept>

namespace {

using Byte = unsigned char;

constexpr char KanjiIn[] = "\x1B$B";
constexpr char RomanIn[] = "\x1B(J";
constexpr size_t EscapeLength = 3;
constexpr std::string_view WordPrefix = "=?ISO-2022-JP?B?";
constexpr std::string_view WordSuffix = "?=";
constexpr char Base64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr Byte VoicedMark = 0xDE;
constexpr Byte SemiVoicedMark = 0xDF;

bool IsLeadByte(Byte b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool IsHankakuKana(Byte b) {
    return b >= 0xA1 && b <= 0xDF;
}

// Cells of the full-width counterparts of 0xA0-0xDF (0xA0 unused).
constexpr Byte KanaCell[64] = {
    0x00, 0x23, 0x56, 0x57, 0x22, 0x26, 0x72, 0x21, 0x23, 0x25, 0x27, 0x29, 0x63, 0x65, 0x67, 0x43,
    0x3C, 0x22, 0x24, 0x26, 0x28, 0x2A, 0x2B, 0x2D, 0x2F, 0x31, 0x33, 0x35, 0x37, 0x39, 0x3B, 0x3D,
    0x3F, 0x41, 0x44, 0x46, 0x48, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x52, 0x55, 0x58, 0x5B, 0x5E,
    0x5F, 0x60, 0x61, 0x62, 0x64, 0x66, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6F, 0x73, 0x2B, 0x2C,
};

// Punctuation, the long vowel mark and the two marks live in the symbols row.
bool IsKanaSymbol(Byte b) {
    return b <= 0xA5 || b == 0xB0 || b == VoicedMark || b == SemiVoicedMark;
}

// Converts the half-width katakana at p (p < end) and the mark it absorbs; returns the byte
// after them.
const Byte* KanaToJis(const Byte* p, const Byte* end, TJisChar& out) {
    const Byte b = *p++;
    Byte cell = KanaCell[b - 0xA0];
    const Byte mark = p < end ? *p : 0;
    if (b == 0xB3 && mark == VoicedMark) {
        cell = 0x74;
        ++p;
    } else if (((b >= 0xB6 && b <= 0xC4) || (b >= 0xCA && b <= 0xCE)) && mark == VoicedMark) {
        cell += 1;
        ++p;
    } else if (b >= 0xCA && b <= 0xCE && mark == SemiVoicedMark) {
        cell += 2;
        ++p;
    }
    out = {IsKanaSymbol(b) ? Byte{0x21} : Byte{0x25}, cell};
    return p;
}

// The arithmetic of SjisCharToJis as tables: row from the lead byte, then one row down and the
// cell from the trail byte.
struct DoubleByteTables {
    std::array<Byte, 256> row{}, rowDown{}, cell{};
    constexpr DoubleByteTables() {
        for (int b = 0; b < 256; ++b) {
            row[b] = static_cast<Byte>((b < 0xA0 ? b - 0x70 : b - 0xB0) * 2);
            rowDown[b] = b >= 0x9F ? 0 : 1;
            cell[b] = static_cast<Byte>(b >= 0x9F ? b - 0x7E : b <= 0x7F ? b - 0x1F : b - 0x20);
        }
    }
};
constexpr DoubleByteTables Tables;

// The converter runs twice over the text: first with a Counter to learn the exact output size,
// then with a Filler that writes into a string of that size. One allocation of the final size
// keeps large texts from being copied and from touching fresh memory twice.
class Counter {
  public:
    void Put(const char*, size_t n) { size_ += n; }
    void Put(TJisChar) { size_ += 2; }
    size_t Size() const { return size_; }

  private:
    size_t size_ = 0;
};

class Filler {
  public:
    explicit Filler(char* to) : p_(to) {}
    void Put(const char* bytes, size_t n) {
        std::memcpy(p_, bytes, n);
        p_ += n;
    }
    void Put(TJisChar c) {
        p_[0] = static_cast<char>(c.Row);
        p_[1] = static_cast<char>(c.Cell);
        p_ += 2;
    }

  private:
    char* p_;
};

// Copies single bytes up to the next one of 0x80 or above; returns where it stopped.
template <class Out>
const Byte* CopyRoman(const Byte* p, const Byte* end, Out& out) {
    const Byte* start = p;
    while (p < end && *p < 0x80)
        ++p;
    out.Put(reinterpret_cast<const char*>(start), p - start);
    return p;
}

// Converts bytes of 0x80 and above up to the next single byte; returns where it stopped. A lead
// byte without its trail byte at the end of the text is dropped.
template <class Out>
const Byte* ConvertKanji(const Byte* p, const Byte* end, Out& out) {
    while (p < end && *p >= 0x80) {
        TJisChar c;
        if (IsHankakuKana(*p)) {
            p = KanaToJis(p, end, c);
        } else if (end - p >= 2) {
            c = {static_cast<Byte>(Tables.row[p[0]] - Tables.rowDown[p[1]]), Tables.cell[p[1]]};
            p += 2;
        } else {
            return end;
        }
        out.Put(c);
    }
    return p;
}

bool StartsCharacter(const Byte* p, const Byte* end) {
    return IsHankakuKana(*p) || end - p >= 2;
}

template <class Out>
void Convert(std::string_view text, Out& out) {
    const Byte* p = reinterpret_cast<const Byte*>(text.data());
    const Byte* end = p + text.size();
    while (p < end) {
        p = CopyRoman(p, end, out);
        if (p == end || !StartsCharacter(p, end))
            break;
        out.Put(KanjiIn, EscapeLength);
        p = ConvertKanji(p, end, out);
        out.Put(RomanIn, EscapeLength);
    }
}

}  // namespace

std::string SjisToJis(std::string_view text) {
    Counter counter;
    Convert(text, counter);
    std::string jis(counter.Size(), '\0');
    Filler filler(jis.data());
    Convert(text, filler);
    return jis;
}

TJisChar SjisCharToJis(unsigned char lead, unsigned char trail) {
    Byte row = static_cast<Byte>((lead < 0xA0 ? lead - 0x70 : lead - 0xB0) * 2);
    if (trail >= 0x9F)
        return {row, static_cast<Byte>(trail - 0x7E)};
    --row;
    return {row, static_cast<Byte>(trail <= 0x7F ? trail - 0x1F : trail - 0x20)};
}

TJisChar HankakuKanaToJis(std::string_view text, size_t& position) {
    if (position >= text.size() || !IsHankakuKana(static_cast<Byte>(text[position]))) {
        throw std::out_of_range("HankakuKanaToJis: no half-width katakana at the position");
    }
    const Byte* start = reinterpret_cast<const Byte*>(text.data());
    TJisChar c;
    position = KanaToJis(start + position, start + text.size(), c) - start;
    return c;
}

std::string Base64Encode(std::string_view bytes) {
    const Byte* in = reinterpret_cast<const Byte*>(bytes.data());
    const size_t n = bytes.size();
    std::string text(4 * (n / 3) + (n % 3 ? 4 : 0), '=');
    char* out = text.data();
    size_t i = 0;
    for (; i + 3 <= n; i += 3, out += 4) {
        out[0] = Base64Alphabet[in[i] >> 2];
        out[1] = Base64Alphabet[((in[i] & 3) << 4) | (in[i + 1] >> 4)];
        out[2] = Base64Alphabet[((in[i + 1] & 0x0F) << 2) | (in[i + 2] >> 6)];
        out[3] = Base64Alphabet[in[i + 2] & 0x3F];
    }
    if (n - i == 1) {
        out[0] = Base64Alphabet[in[i] >> 2];
        out[1] = Base64Alphabet[(in[i] & 3) << 4];
    } else if (n - i == 2) {
        out[0] = Base64Alphabet[in[i] >> 2];
        out[1] = Base64Alphabet[((in[i] & 3) << 4) | (in[i + 1] >> 4)];
        out[2] = Base64Alphabet[(in[i + 1] & 0x0F) << 2];
    }
    return text;
}

std::string EncodeMimeHeader(std::string_view text) {
    std::string header;
    size_t i = 0;
    while (i < text.size()) {
        const size_t start = i;
        if (IsLeadByte(static_cast<Byte>(text[i]))) {
            while (i < text.size() && IsLeadByte(static_cast<Byte>(text[i])))
                i += 2;
            std::string_view run = text.substr(start, i - start);
            if (i > text.size()) {
                // A lead byte cut off at the end is dropped rather than sent half.
                run.remove_suffix(1);
                i = text.size();
            }
            if (run.empty())
                continue;
            header += WordPrefix;
            header += Base64Encode(SjisToJis(run));
            header += WordSuffix;
        } else {
            while (i < text.size() && !IsLeadByte(static_cast<Byte>(text[i])))
                ++i;
            header += text.substr(start, i - start);
        }
    }
    return header;
}

std::string HankakuToZenkaku(std::string_view text) {
    const Byte* p = reinterpret_cast<const Byte*>(text.data());
    const Byte* end = p + text.size();
    std::string wide;
    wide.reserve(text.size() * 2);
    while (p < end) {
        if (IsHankakuKana(*p)) {
            TJisChar c;
            p = KanaToJis(p, end, c);
            // Back to Shift_JIS; the kana land only in rows 0x21 and 0x25.
            wide += static_cast<char>((c.Row + 1) / 2 + 0x70);
            wide += static_cast<char>(c.Cell + (c.Row % 2 ? (c.Cell >= 0x60 ? 0x20 : 0x1F) : 0x7E));
        } else {
            const size_t n = IsLeadByte(*p) && end - p >= 2 ? 2 : 1;
            wide.append(reinterpret_cast<const char*>(p), n);
            p += n;
        }
    }
    return wide;
}
