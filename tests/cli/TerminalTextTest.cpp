// Server text on its way to the terminal: control characters shown as "?", text kept.
#include <gtest/gtest.h>

#include <string>

#include "cli/TerminalText.h"
#include "platform/CodePage.h"

namespace {

TEST(TerminalTextTest, ControlCharactersBecomeQuestionMarks) {
    using namespace std::string_literals;
    const struct {
        const char* name;
        std::string text;  // Shift_JIS
        std::string shown;
    } cases[] = {
        {"title and clear", "220 \x1b]0;x\x07\x1b[2J ok", "220 ?]0;x??[2J ok"},
        {"tab and line feed kept", "a\tb\nc", "a\tb\nc"},
        {"CR, BS, NUL and DEL", "a\rb\bc\0d\x7f"s, "a?b?c?d?"},
        {"8-bit control byte", "a\x80z", "a\xEF\xBF\xBDz"},
        {"Japanese", platform::Sjis("送信しました。"), "送信しました。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TerminalText(c.text), c.shown);
    }
}

}  // namespace
