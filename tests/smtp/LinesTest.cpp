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

TEST(LinesTest, FoldHeaderLineFoldsLinesTooLongForMailOrForEncodedWords) {
    const auto words = [](int n, const std::string& word) {
        std::string text;
        for (int i = 0; i < n; ++i)
            text += " " + word;
        return text;
    };
    const std::string word75 = "=?ISO-2022-JP?B?" + std::string(57, 'A') + "?=";
    struct Case {
        const char* name;
        std::string line;
        std::vector<size_t> lines;  // lengths of the lines it goes out as
    };
    const std::vector<size_t> wordLines(13, 76);
    std::vector<size_t> thirteenWords = {84};
    thirteenWords.insert(thirteenWords.end(), 12, 76);
    std::vector<size_t> fourteenWords = {84};
    fourteenWords.insert(fourteenWords.end(), wordLines.begin(), wordLines.end());
    std::vector<size_t> trailingBlanks = fourteenWords;
    trailingBlanks.back() += 2;
    std::vector<size_t> shortWords = {77};
    shortWords.insert(shortWords.end(), 14, 78);
    shortWords.push_back(39);
    const Case cases[] = {
        {"13 words would fit in 996", "Subject:" + words(13, word75), thirteenWords},
        {"two short words fit in 76", "Subject: =?a?B?YQ==?= =?a?B?Yg==?=", {34}},
        {"77 characters, two words",
         "Subject: =?a?B?YQ==?= =?a?B?" + std::string(47, 'Y') + "?=",
         {21, 56}},
        {"77 characters, a word and text", "Subject: =?a?B?YQ==?= " + std::string(55, 'x'), {77}},
        {"77 characters, text and a word", "Subject: x =?a?B?" + std::string(58, 'Y') + "?=", {77}},
        {"998 bytes", "Subject: " + std::string(989, 'x'), {998}},
        {"14 words, one a line", "Subject:" + words(14, word75), fourteenWords},
        {"no blank line at the end", "Subject:" + words(14, word75) + "  ", trailingBlanks},
        {"short words fill lines", "Subject:" + words(400, "ab"), shortWords},
        {"one long word cannot fold", "Subject: " + std::string(1000, 'x'), {1009}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folded = FoldHeaderLine(c.line);
        std::vector<size_t> lengths;
        std::string unfolded;
        size_t start = 0;
        for (size_t stop = 0; stop != std::string::npos; start = stop + 2) {
            stop = folded.find("\r\n", start);
            lengths.push_back(folded.substr(start, stop - start).size());
            unfolded += folded.substr(start, stop - start);
        }
        EXPECT_EQ(lengths, c.lines);
        EXPECT_EQ(unfolded, c.line) << "folding only puts CR LF before blanks";
    }
}

}  // namespace
