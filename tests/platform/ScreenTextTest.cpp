// A server's words on their way to a screen, and secrets a server echoes.
#include "platform/ScreenText.h"

#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "platform/Secret.h"

namespace {

TEST(ScreenText, ServerTextIsReadAsUtf8WhereItIsAndLosesItsControls) {
    using platform::Sjis;
    const struct {
        const char* name;
        std::string bytes;
        std::string text;  // Shift_JIS
    } cases[] = {
        {"ASCII", "250 ok\r\n", "250 ok\r\n"},
        {"UTF-8", "550 宛先がありません", Sjis("550 宛先がありません")},
        {"Shift_JIS stays", Sjis("550 宛先がありません"), Sjis("550 宛先がありません")},
        {"ESC and BEL", "NO \x1b]0;x\x07\x1b[2J", "NO ?]0;x??[2J"},
        {"controls in UTF-8", "NO 保存\x1b[31m\x7f", Sjis("NO 保存?[31m?")},
        {"beyond code page 932", "NO 😀 a", "NO ? a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.text, platform::ServerText(c.bytes));
    }
}

TEST(ScreenText, EchoedSecretsAreHiddenInAnyCaseAndInPart) {
    const std::string secret = "Kite7#blue-Ridge";
    const struct {
        const char* name;
        std::string text, secret, shown;
    } cases[] = {
        {"whole", "NO bad " + secret + " here", secret, "NO bad *** here"},
        {"case changed", "NO KITE7#BLUE-RIDGE!", secret, "NO ***!"},
        {"a part of eight", "NO blue-Rid?", secret, "NO ***?"},
        {"a part of seven stays", "NO blue-Ri?", secret, "NO blue-Ri?"},
        {"two parts", "kite7#bl and blue-Ridge x", secret, "*** and *** x"},
        {"a short secret, whole only", "NO AbC abc ab", "abc", "NO *** *** ab"},
        {"no secret", "NO text", "", "NO text"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = c.text;
        platform::HideSecret(text, c.secret);
        EXPECT_EQ(c.shown, text);
    }
}

}  // namespace
