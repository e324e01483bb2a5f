// libFuzzer target: any byte string through the encoders, under AddressSanitizer and
// UndefinedBehaviorSanitizer, with properties that must hold for every input.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "jconvert/HeaderWords.h"
#include "jconvert/jconvert.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

bool Any(std::string_view text, bool (*test)(unsigned char)) {
    for (char c : text) {
        if (test(static_cast<unsigned char>(c)))
            return true;
    }
    return false;
}

bool IsHigh(unsigned char b) {
    return b >= 0x80;
}
bool IsLead(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
// Bytes that the converter takes as lead bytes but code page 932 does not.
bool IsStrayHigh(unsigned char b) {
    return b == 0x80 || b == 0xA0 || b >= 0xFD;
}

// Header values are 7-bit, and every encoded-word in them holds at most 75 characters. Typed text
// that looks like an encoded-word itself is left out of the length check.
void RequireHeaderValue(std::string_view typed, std::string_view value) {
    Require(!Any(value, IsHigh));
    if (typed.find("=?") != std::string_view::npos)
        return;
    for (size_t word = value.find("=?"); word != std::string_view::npos;
         word = value.find("=?", word + 2)) {
        const size_t end = value.find("?=", word + 16);
        Require(end != std::string_view::npos && end + 2 - word <= 75);
        word = end;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::string jis = SjisToJis(text);
    Require(jis == SjisToJisByCharacter(text));
    if (!Any(text, IsHigh))
        Require(jis == text);
    if (!Any(text, IsStrayHigh))
        Require(SjisToJis(HankakuToZenkaku(text)) == jis);

    const std::string header = EncodeMimeHeader(text);
    if (!Any(text, IsLead))
        Require(header == text);

    RequireHeaderValue(text, EncodeHeaderText(text, Iso2022JpWords));
    RequireHeaderValue(text, EncodePhrase(text, Iso2022JpWords));

    const std::string base64 = Base64Encode(text);
    Require(base64.size() == (size + 2) / 3 * 4);

    for (size_t i = 0; i < size; ++i) {
        if (data[i] < 0xA1 || data[i] > 0xDF)
            continue;
        size_t position = i;
        HankakuKanaToJis(text, position);
        Require(position == i + 1 || position == i + 2);
    }
    return 0;
}
