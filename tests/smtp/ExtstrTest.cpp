#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "smtp/ZelExtstr.h"

namespace {

TExStringList ListOf(const std::vector<std::string>& lines, bool sorted = false) {
    TExStringList list;
    list.Assign(lines);
    list.SetSorted(sorted);
    return list;
}

struct FindCase {
    std::vector<std::string> lines;
    bool sorted;
    std::string name;
    int expected;
};

TEST(ExtstrTest, FindHeaderMatchesTheNamePartOnly) {
    const std::vector<FindCase> cases = {
        {{}, false, "Subject", -1},
        {{"From: a", "SUBJECT: x", "Subject: y"}, false, "Subject", 1},
        {{"From: a", "subject: x"}, false, "sUbJeCt", 1},
        {{"X-Mailer"}, false, "X-Mailer", -1},       // no colon: never a header
        {{"Subject : x"}, false, "Subject", -1},     // name part is not trimmed
        {{"To: a:b", "a: Subject"}, false, "a", 1},  // only the text before the first ":"
        {{"Date: d", "To: t"}, false, "To: t", -1},
        {{}, true, "Subject", -1},
        {{"Date: 1", "From: 2", "Subject: 3", "To: 4", "X-Mailer: 5"}, true, "Date", 0},
        {{"Date: 1", "From: 2", "Subject: 3", "To: 4", "X-Mailer: 5"}, true, "x-mailer", 4},
        {{"Date: 1", "From: 2", "Subject: 3", "To: 4", "X-Mailer: 5"}, true, "SUBJECT", 2},
        {{"Date: 1", "From: 2", "Subject: 3", "To: 4", "X-Mailer: 5"}, true, "Reply-To", -1},
        {{"Date: 1", "From: 2", "Subject: 3", "To: 4", "X-Mailer: 5"}, true, "Zzz", -1},
        {{"Date: 1", "From: 2", "Subject: 3", "To: 4"}, true, "To", 3},
        {{"Date: 1", "From: 2", "Subject: 3", "To: 4"}, true, "A", -1},
    };
    for (const FindCase& c : cases) {
        const TExStringList list = ListOf(c.lines, c.sorted);
        EXPECT_EQ(list.FindHeader(c.name), c.expected)
            << c.name << " in " << c.lines.size() << " lines, sorted " << c.sorted;
    }
}

struct PutCase {
    std::vector<std::string> before;
    std::string name;
    std::string value;
    std::vector<std::string> after;
};

TEST(ExtstrTest, PutHeaderReplacesInPlaceAppendsOrRemoves) {
    const std::vector<PutCase> cases = {
        {{"From: a", "SUBJECT: old", "To: b"},
         "Subject",
         "new",
         {"From: a", "Subject: new", "To: b"}},
        {{"From: a", "Subject: old", "To: b"}, "Subject", "", {"From: a", "To: b"}},
        {{"From: a"}, "Subject", "", {"From: a"}},
        {{"From: a"}, "X-Mailer", "m", {"From: a", "X-Mailer: m"}},
        {{"X-Mailer"}, "X-Mailer", "m", {"X-Mailer", "X-Mailer: m"}},
        {{}, "Date", "d", {"Date: d"}},
    };
    for (const PutCase& c : cases) {
        TExStringList list = ListOf(c.before);
        list.PutHeader(c.name, c.value);
        EXPECT_EQ(list.Lines(), c.after) << c.name << "=" << c.value;
    }
}

}  // namespace
