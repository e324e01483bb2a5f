// The character classes and the IBM extension twins against glibc iconv's code page 932 and
// strict ISO-2022-JP.
#include "jconvert/jchars.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "jconvert/jconvert.h"
#include "tests/jconvert/Decode.h"

namespace {

std::string Code(int lead, int trail) {
    return {static_cast<char>(lead), static_cast<char>(trail)};
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string hex;
    for (const unsigned char b : bytes) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

// Every double-byte code of the given lead bytes that code page 932 decodes, in code order.
std::vector<std::string> Characters(int firstLead, int lastLead) {
    std::vector<std::string> codes;
    for (int lead = firstLead; lead <= lastLead; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail != 0x7F && IconvToUtf8("CP932", Code(lead, trail)))
                codes.push_back(Code(lead, trail));
        }
    }
    return codes;
}

bool IsPrivateUse(const std::string& utf8) {
    return utf8.size() == 3 && static_cast<unsigned char>(utf8[0]) == 0xEE;  // U+E000-U+EFFF
}

}  // namespace

// Each IBM extension code becomes the first code, in JIS X 0208, then the NEC special row, then
// the NEC-selected rows, that the code page decodes to the same character.
TEST(Jchars, EveryIbmExtensionBecomesItsPreferredTwin) {
    std::map<std::string, std::string> preferred;  // character (UTF-8) -> first code holding it
    for (const auto& rows : {Characters(0x81, 0x86), Characters(0x88, 0x9F), Characters(0xE0, 0xEC),
                             Characters(0x87, 0x87), Characters(0xED, 0xEE)}) {
        for (const std::string& code : rows)
            preferred.emplace(*IconvToUtf8("CP932", code), code);
    }
    std::vector<std::string> ibm;
    for (const std::string& code : Characters(0xFA, 0xFC)) {
        if (code <= "\xFC\x4B")
            ibm.push_back(code);
    }
    ASSERT_EQ(ibm.size(), 388u);
    for (const std::string& code : ibm) {
        const std::string twin = preferred[*IconvToUtf8("CP932", code)];
        EXPECT_EQ(Hex(ReplaceIbmExtensions(code)), Hex(twin)) << Hex(code);
    }
}

// Over every code the code page decodes, only the IBM extensions change. After the replacement
// a code is user-defined exactly where the code page gives a private-use character; otherwise
// its conversion is 7-bit, and it is machine-dependent exactly where a strict ISO-2022-JP
// decoder refuses it.
TEST(Jchars, ClassesMatchWhatStrictDecodersRefuse) {
    int userDefined = 0, machineDependent = 0;
    for (const auto& range : {Characters(0x81, 0x9F), Characters(0xE0, 0xFC)}) {
        for (const std::string& code : range) {
            const std::string replaced = ReplaceIbmExtensions(code);
            ASSERT_EQ(replaced == code, code < "\xFA\x40" || code > "\xFC\x4B") << Hex(code);
            const bool isUserDefined = !FindUserDefinedChar(replaced).empty();
            ASSERT_EQ(isUserDefined, IsPrivateUse(*IconvToUtf8("CP932", code))) << Hex(code);
            userDefined += isUserDefined;
            if (isUserDefined)
                continue;
            const std::string jis = SjisToJis(replaced);
            for (const unsigned char b : jis)
                ASSERT_LT(b, 0x80) << Hex(code);
            std::vector<std::string> found;
            CollectMachineDependentChars(replaced, found);
            const bool strictDecodes = IconvToUtf8("ISO-2022-JP", jis).has_value();
            ASSERT_EQ(found.size(), strictDecodes ? 0u : 1u) << Hex(code);
            machineDependent += !strictDecodes;
        }
    }
    EXPECT_EQ(userDefined, 10 * 188);
    EXPECT_GT(machineDependent, 0);
}

// Characters are found at character boundaries only: a trail byte never starts one.
TEST(Jchars, ScansByCharacterAndKeepsTheRest) {
    const struct {
        std::string text, replaced, userDefined;
        std::vector<std::string> machineDependent;
    } cases[] = {
        {"\x81\xFA\x40", "\x81\xFA\x40", "", {}},          // FA as a trail byte
        {"\x88\xF0\x40\xFA", "\x88\xF0\x40\xFA", "", {}},  // F0 as a trail, a cut-off lead
        {"a\xB6\xFA\x40z", "a\xB6\xEE\xEFz", "", {}},      // after half-width katakana
        {"x\x82\xA0\xF0\x40\xF9\xFC", "x\x82\xA0\xF0\x40\xF9\xFC", "\xF0\x40", {}},
        {"\x87\x40\xED\x40\x87\x40\x88\x9F\xEE\xEC\x87\x9C\x87\x9D",
         "\x87\x40\xED\x40\x87\x40\x88\x9F\xEE\xEC\x87\x9C\x87\x9D",
         "",
         {"\x87\x40", "\xED\x40", "\xEE\xEC", "\x87\x9C"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Hex(ReplaceIbmExtensions(c.text)), Hex(c.replaced)) << Hex(c.text);
        EXPECT_EQ(Hex(FindUserDefinedChar(c.text)), Hex(c.userDefined)) << Hex(c.text);
        std::vector<std::string> found;
        CollectMachineDependentChars(c.text, found);
        EXPECT_EQ(found, c.machineDependent) << Hex(c.text);
    }
    // A second text adds only what the first did not have.
    std::vector<std::string> found = {"\x87\x40"};
    CollectMachineDependentChars("\xED\x40\x87\x40", found);
    EXPECT_EQ(found, (std::vector<std::string>{"\x87\x40", "\xED\x40"}));
}
