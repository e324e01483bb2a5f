#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Exception.h"
#include "smtp/ZelLines.h"

namespace {

TEST(LinesTest, SplitLinesCutsAtEveryKindOfLineBreak) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"", {""}},
        {"abc", {"abc"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc", {"a", "b", "c"}},
        {"a\n\rb", {"a", "", "b"}},
        {"a\r\n.\r\nb", {"a", ".", "b"}},
        {"a\r\n", {"a", ""}},
        {"\n", {"", ""}},
    };
    for (const auto& [text, lines] : cases)
        EXPECT_EQ(SplitLines(text), lines) << text;
}

TEST(LinesTest, RequireSingleLineRefusesBreaksAndNul) {
    EXPECT_NO_THROW(RequireSingleLine("Subject", "plain text: with colon"));
    for (const std::string& bad :
         {std::string("a\rb"), std::string("a\nb"), std::string("a\0b", 3), std::string("\r\n")}) {
        try {
            RequireSingleLine("Subject", bad);
            ADD_FAILURE() << "accepted a text with a control byte";
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), "Subject contains a line break or NUL character");
        }
    }
}

TEST(LinesTest, DotStuffingDoublesLeadingDotsOnly) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {".\r\n", "..\r\n"},
        {"a.b\r\n.c\r\n..\r\nd\r\n", "a.b\r\n..c\r\n...\r\nd\r\n"},
        {"x\r\n.", "x\r\n.."},
    };
    for (const auto& [in, out] : cases) {
        TMemoryStream stream;
        WriteDotStuffed(stream, in);
        EXPECT_EQ(stream.Data(), out) << in;
    }
    std::string text;
    AppendContentLine(text, ".");
    AppendContentLine(text, ".x");
    AppendContentLine(text, "a.");
    EXPECT_EQ(text, "..\r\n..x\r\na.\r\n");
}

}  // namespace
