#include "jconvert/jconvert.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

using Byte = unsigned char;

constexpr char KanjiIn[] = "\x1B$B";
constexpr char AsciiIn[] = "\x1B(B";
constexpr size_t EscapeLength = 3;
constexpr std::string_view WordPrefix = "=?ISO-2022-JP?B?";
constexpr std::string_view WordSuffix = "?=";
constexpr char Base64Alphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr Byte VoicedMark = 0xDE;
constexpr Byte SemiVoicedMark = 0xDF;

constexpr bool IsLeadByte(Byte b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
constexpr bool IsHankakuKana(Byte b) {
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
constexpr bool IsKanaSymbol(Byte b) {
    return b <= 0xA5 || b == 0xB0 || b == VoicedMark || b == SemiVoicedMark;
}

// Converts the half-width katakana at p (p < end) and the mark it absorbs; returns the byte
// after them.
constexpr const Byte* KanaToJis(const Byte* p, const Byte* end, TJisChar& out) {
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
const Byte* CopyAscii(const Byte* p, const Byte* end, Out& out) {
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

// The conversion one character at a time from p, in the mode the text before p left it in.
template <class Out>
void ConvertFrom(const Byte* p, const Byte* end, bool inKanji, Out& out) {
    if (inKanji) {
        p = ConvertKanji(p, end, out);
        out.Put(AsciiIn, EscapeLength);
    }
    while (p < end) {
        p = CopyAscii(p, end, out);
        if (p == end || !StartsCharacter(p, end))
            break;
        out.Put(KanjiIn, EscapeLength);
        p = ConvertKanji(p, end, out);
        out.Put(AsciiIn, EscapeLength);
    }
}

class Appender {
  public:
    explicit Appender(std::string& to) : to_(to) {}
    void Put(const char* bytes, size_t n) { to_.append(bytes, n); }
    void Put(TJisChar c) {
        const char pair[2] = {static_cast<char>(c.Row), static_cast<char>(c.Cell)};
        to_.append(pair, 2);
    }

  private:
    std::string& to_;
};

// ---- the block converter ----
// Characters are converted two at a time without branching on their kind: the second one's
// bytes are taken from the same load by shifting, each character's bytes come from two table
// look-ups, and the escape sequence is stored every time and kept only when the mode changes.
// Runs of single bytes are copied sixteen at a time; the rare half-width katakana that may take
// a mark goes the slow way.

// Room the block converter may write beyond the bytes it reports: two four-byte stores.
constexpr size_t StoreSlack = 8;
// It reads up to 16 bytes from where it stands; the last ones are left to ConvertFrom.
constexpr size_t ReadAhead = 16;

struct BlockTables {
    // A single byte: itself. A double-byte lead: its row, with 0xFFFF above it to let the
    // trail byte in. A half-width katakana: its JIS pair, row first in memory.
    std::array<uint32_t, 256> lead{};
    // A trail byte: its cell in the upper byte, less one when it moves the row down (every
    // lead row is at least 1, so this never borrows from the cell).
    std::array<uint16_t, 256> trail{};
    constexpr BlockTables() {
        for (int b = 0; b < 256; ++b) {
            trail[b] = static_cast<uint16_t>((Tables.cell[b] << 8) - Tables.rowDown[b]);
            if (b < 0x80) {
                lead[b] = static_cast<uint32_t>(b);
            } else if (IsHankakuKana(static_cast<Byte>(b))) {
                lead[b] =
                    KanaCell[b - 0xA0] << 8 | (IsKanaSymbol(static_cast<Byte>(b)) ? 0x21 : 0x25);
            } else {
                lead[b] = 0xFFFF0000u | Tables.row[b];
            }
        }
    }
};
constexpr BlockTables Block;

// The escape sequences as the first three bytes of a little-endian word, by "double-byte".
constexpr uint32_t EscapeWord[2] = {0x42281B, 0x42241B};

// Bytes a character starting with b takes, unless it is a half-width katakana taking a mark.
uint32_t Advance(uint32_t b) {
    return 1 + (b >> 7) - (b - 0xA1 <= 0xDF - 0xA1);
}

// A half-width katakana followed by a mark: the only case where the byte after a character
// changes its length. Also true for some that do not absorb it; the slow way is exact.
uint32_t MayTakeMark(uint32_t b, uint32_t next) {
    const uint32_t kana = b - 0xA1 <= 0xDF - 0xA1, mark = next - VoicedMark <= 1;
    return kana & mark;
}

// Stores one character (and the escape sequence when the mode changes) at to; returns the end.
// Inlined by force: the step is only fast when nothing of it goes through memory.
[[gnu::always_inline]] inline char* Emit(uint32_t b, uint32_t t, uint32_t kanji, char* to) {
    const uint32_t high = b >> 7, lead = Block.lead[b];
    const uint32_t character = lead + (Block.trail[t] & (lead >> 16));
    std::memcpy(to, &EscapeWord[high], 4);
    to += 3 * (high ^ kanji);
    std::memcpy(to, &character, 4);
    return to + 1 + high;
}

// One character the exact way.
const Byte* EmitSlowly(const Byte* p, uint32_t& kanji, char*& to) {
    const uint32_t high = *p >> 7;
    std::memcpy(to, &EscapeWord[high], 4);
    to += 3 * (high ^ kanji);
    kanji = high;
    if (!high) {
        *to++ = static_cast<char>(*p);
        return p + 1;
    }
    TJisChar c{static_cast<Byte>(Tables.row[p[0]] - Tables.rowDown[p[1]]), Tables.cell[p[1]]};
    const Byte* next = IsHankakuKana(*p) ? KanaToJis(p, p + 2, c) : p + 2;
    *to++ = static_cast<char>(c.Row);
    *to++ = static_cast<char>(c.Cell);
    return next;
}

// Whether the 16 bytes at p are all below 0x80.
bool SixteenSingleBytes(const Byte* p) {
#if defined(__SSE2__)
    return _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))) == 0;
#else
    uint64_t a, b;
    std::memcpy(&a, p, 8);
    std::memcpy(&b, p + 8, 8);
    return ((a | b) & 0x8080808080808080u) == 0;
#endif
}

// Copies the run of single bytes at p, stopping at stop at the latest.
const Byte* CopySingleBytes(const Byte* p, const Byte* stop, char*& to) {
    for (; p < stop && SixteenSingleBytes(p); p += 16, to += 16)
        std::memcpy(to, p, 16);
    for (; p < stop && *p < 0x80; ++p)
        *to++ = static_cast<char>(*p);
    return p;
}

// Converts characters starting before stop (at least ReadAhead bytes before the end of the
// text) into o; returns where the next character starts.
const Byte* ConvertBlock(const Byte* p, const Byte* stop, bool& inKanji, char*& o) {
    uint32_t kanji = inKanji;
    char* to = o;
    while (p < stop) {
        uint32_t bytes;
        std::memcpy(&bytes, p, 4);
        const uint32_t b0 = bytes & 0xFF, t0 = bytes >> 8 & 0xFF;
        if ((b0 | t0 | kanji << 7) < 0x80) {
            p = CopySingleBytes(p, stop, to);
            continue;
        }
        const uint32_t a0 = Advance(b0);
        const uint32_t second = bytes >> 8 * a0;
        const uint32_t b1 = second & 0xFF, t1 = second >> 8 & 0xFF;
        if (MayTakeMark(b0, t0) | MayTakeMark(b1, t1)) {
            p = EmitSlowly(p, kanji, to);
            continue;
        }
        to = Emit(b1, t1, b0 >> 7, Emit(b0, t0, kanji, to));
        kanji = b1 >> 7;
        p += a0 + Advance(b1);
    }
    inKanji = kanji != 0;
    o = to;
    return p;
}

// Appends a converted block, growing the string once to the size the text so far predicts for
// the whole (with a margin) rather than by doubling, which would copy a large text again.
void AppendBlock(std::string& jis, const char* block, size_t n, size_t consumed, size_t total) {
    const size_t produced = jis.size() + n;
    if (produced > jis.capacity()) {
        const double perByte = static_cast<double>(produced) / static_cast<double>(consumed);
        const auto rest = static_cast<double>(total - consumed) * perByte * 1.03;
        jis.reserve(produced + static_cast<size_t>(rest) + 64);
    }
    jis.append(block, n);
}

std::string ConvertByBlocks(std::string_view text) {
    constexpr size_t BlockBytes = 4096;
    // At most five output bytes per input byte (a single byte, then a half-width katakana).
    char block[5 * (BlockBytes + ReadAhead) + StoreSlack];
    const Byte* begin = reinterpret_cast<const Byte*>(text.data());
    const Byte* end = begin + text.size();
    const Byte* p = begin;
    bool inKanji = false;
    std::string jis;
    while (static_cast<size_t>(end - p) > ReadAhead) {
        char* o = block;
        p = ConvertBlock(p, std::min(p + BlockBytes, end - ReadAhead), inKanji, o);
        AppendBlock(jis, block, o - block, p - begin, text.size());
    }
    Appender rest(jis);
    ConvertFrom(p, end, inKanji, rest);
    return jis;
}

}  // namespace

std::string SjisToJis(std::string_view text) {
    // The block converter stores words little-end first.
    if constexpr (std::endian::native == std::endian::little)
        return ConvertByBlocks(text);
    return SjisToJisByCharacter(text);
}

std::string SjisToJisByCharacter(std::string_view text) {
    const Byte* begin = reinterpret_cast<const Byte*>(text.data());
    Counter counter;
    ConvertFrom(begin, begin + text.size(), false, counter);
    std::string jis(counter.Size(), '\0');
    Filler filler(jis.data());
    ConvertFrom(begin, begin + text.size(), false, filler);
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
