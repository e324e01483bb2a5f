// libFuzzer target: the boundary to code page 932. The input is taken once as UTF-8 (window
// text) and once as Shift_JIS bytes (a file or the wire): conversion never crashes and never
// changes text silently; a character it cannot carry is named in the error.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "platform/CodePage.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// Strict UTF-8 decoding: shortest forms only, no surrogates, nothing above U+10FFFF. False for
// anything else.
bool DecodeUtf8(std::string_view s, std::vector<char32_t>& out) {
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        const size_t n = b < 0x80         ? 1
                         : (b >> 5) == 6  ? 2
                         : (b >> 4) == 14 ? 3
                         : (b >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > s.size())
            return false;
        char32_t c = n == 1 ? b : b & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (t & 0x3F);
        }
        static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kSmallest[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        out.push_back(c);
        i += n;
    }
    return true;
}

// Characters that input methods write under another code point than code page 932 holds.
bool SameCharacter(char32_t typed, char32_t held) {
    static constexpr std::pair<char32_t, char32_t> kVariants[] = {
        {0x301C, 0xFF5E}, {0x2016, 0x2225}, {0x2212, 0xFF0D}, {0x00A2, 0xFFE0}, {0x00A3, 0xFFE1},
        {0x00AC, 0xFFE2}, {0x2014, 0x2015}, {0x00A5, 0xFFE5}, {0x203E, 0xFFE3}};
    if (typed == held)
        return true;
    for (const auto& [a, b] : kVariants) {
        if (typed == a && held == b)
            return true;
    }
    return false;
}

void CheckText(std::string_view utf8) {
    std::vector<char32_t> typed;
    const bool valid = DecodeUtf8(utf8, typed);
    std::string sjis;
    try {
        sjis = platform::Utf8ToSjis(utf8);
    } catch (const ECodePageError& e) {
        // Valid text: the error names one of its characters.
        if (valid) {
            bool named = false;
            for (char32_t c : typed)
                named = named || c == e.Character;
            Require(named);
        }
        return;
    }
    // Converted: only from valid text, and every character comes back as itself.
    Require(valid);
    std::vector<char32_t> back;
    Require(DecodeUtf8(platform::SjisToUtf8(sjis), back));
    Require(back.size() == typed.size());
    for (size_t i = 0; i < typed.size(); ++i)
        Require(SameCharacter(typed[i], back[i]));
}

void CheckBytes(std::string_view sjis) {
    const std::string utf8 = platform::SjisToUtf8(sjis);
    std::vector<char32_t> shown;
    Require(DecodeUtf8(utf8, shown));
    for (char32_t c : shown) {
        if (c == 0xFFFD)
            return;  // bytes that start no character: shown as such, never stored back
    }
    // What the screen shows is written back as the same characters.
    const std::string again = platform::Utf8ToSjis(utf8);
    Require(platform::SjisToUtf8(again) == utf8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckText(input);
    CheckBytes(input);
    return 0;
}
