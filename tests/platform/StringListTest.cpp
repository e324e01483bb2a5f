#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/StringList.h"

TEST(StringList, EditsKeepOrderAndJoinWithCrLf) {
    TStringList list;
    list.Add("b");
    list.Insert(0, "a");
    list.Add("c");
    list.Insert(3, "d");
    list.Delete(2);
    list.Put(1, "B");
    EXPECT_EQ(list.Text(), "a\r\nB\r\nd\r\n");
    TStringList copy;
    copy.Assign(list);
    list.Clear();
    EXPECT_EQ(copy.Count(), 3);
    EXPECT_EQ(list.Text(), "");
}

TEST(StringList, IndexOutsideTheListRaisesTheListIndexMessage) {
    TStringList list;
    list.Add("x");
    for (int index : {-1, 1, 5}) {
        try {
            (void)list[index];
            FAIL() << index;
        } catch (const EStringListError& e) {
            EXPECT_EQ(platform::SjisToUtf8(e.Message()),
                      "リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
        }
    }
    EXPECT_THROW(list.Insert(2, "y"), EStringListError);
    EXPECT_THROW(list.Delete(1), EStringListError);
}

TEST(StringList, SortedListInsertsCaseInsensitively) {
    TStringList list;
    list.Add("subject: x");
    list.Add("From: a");
    list.SetSorted(true);
    list.Add("Mime-Version: 1.0");
    list.Add("X-Mailer: m");
    EXPECT_EQ(list.Text(), "From: a\r\nMime-Version: 1.0\r\nsubject: x\r\nX-Mailer: m\r\n");
}

TEST(CompareText, FoldsAsciiLettersOnly) {
    EXPECT_EQ(CompareText("Subject", "SUBJECT"), 0);
    EXPECT_LT(CompareText("Sub", "Subject"), 0);
    EXPECT_GT(CompareText("b", "A"), 0);
    EXPECT_NE(CompareText("\x82\xA0", "\x82\xA1"), 0);
}
