#include "jconvert/jchars.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace {

using Byte = unsigned char;

struct TCodeTwin {
    uint16_t Ibm;
    uint16_t Twin;
};

constexpr TCodeTwin IbmTwins[] = {
#include "jconvert/IbmTwins.inc"
};

bool IsLeadByte(Byte b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Calls visit(position, lead, trail) for every double-byte character; single bytes, and a lead
// byte cut off at the end, are skipped.
template <class Visit>
void ForEachDoubleByte(std::string_view text, Visit visit) {
    for (size_t i = 0; i < text.size();) {
        const Byte lead = static_cast<Byte>(text[i]);
        if (!IsLeadByte(lead) || i + 1 == text.size()) {
            ++i;
            continue;
        }
        if (!visit(i, lead, static_cast<Byte>(text[i + 1])))
            return;
        i += 2;
    }
}

bool IsIbmExtension(uint16_t code) {
    return code >= 0xFA40 && code <= 0xFC4B;
}

}  // namespace

bool IsUserDefinedChar(unsigned char lead) {
    return lead >= 0xF0 && lead <= 0xF9;
}

bool IsMachineDependentChar(unsigned char lead, unsigned char trail) {
    const uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
    return (code >= 0x8740 && code <= 0x879C) || (code >= 0xED40 && code <= 0xEEFC);
}

std::string ReplaceIbmExtensions(std::string_view text) {
    std::string replaced(text);
    ForEachDoubleByte(text, [&replaced](size_t at, Byte lead, Byte trail) {
        const uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
        if (!IsIbmExtension(code))
            return true;
        const auto twin =
            std::lower_bound(std::begin(IbmTwins), std::end(IbmTwins), code,
                             [](const TCodeTwin& t, uint16_t c) { return t.Ibm < c; });
        // A pair in the range that is no character (a trail byte the code page never uses) has no
        // twin and stays.
        if (twin != std::end(IbmTwins) && twin->Ibm == code) {
            replaced[at] = static_cast<char>(twin->Twin >> 8);
            replaced[at + 1] = static_cast<char>(twin->Twin & 0xFF);
        }
        return true;
    });
    return replaced;
}

std::string FindUserDefinedChar(std::string_view text) {
    std::string found;
    ForEachDoubleByte(text, [&](size_t at, Byte lead, Byte) {
        if (IsUserDefinedChar(lead))
            found = text.substr(at, 2);
        return found.empty();
    });
    return found;
}

void CollectMachineDependentChars(std::string_view text, std::vector<std::string>& found) {
    ForEachDoubleByte(text, [&](size_t at, Byte lead, Byte trail) {
        const std::string character(text.substr(at, 2));
        if (IsMachineDependentChar(lead, trail) &&
            std::find(found.begin(), found.end(), character) == found.end()) {
            found.push_back(character);
        }
        return true;
    });
}
