// The address book and its add/edit dialog, driven through their handlers.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <functional>

#include "platform/CodePage.h"
#include "tests/userdata/DataDir.h"
#include "tests/userdata/FileSizeLimit.h"
#include "userdata/AddressBook.h"
#include "userdata/FrmAddAddless.h"
#include "userdata/FrmAddress.h"

using platform::Sjis;

namespace {

using Entry = std::pair<std::string, std::string>;  // UTF-8 name, address
using Entries = std::vector<Entry>;

std::string FileOf(const Entries& entries) {
    std::string bytes;
    for (const auto& [name, addless] : entries)
        bytes += Sjis(name) + "\r\n" + Sjis(addless) + "\r\n";
    return bytes;
}

// What the user does in the add/edit dialog.
struct Answer {
    std::string name;
    std::string addless;
    bool ok;
    std::string yomi = "";
};

}  // namespace

class FrmAddressTest : public DataDirTest {
  protected:
    std::unique_ptr<TFrmAddress> Open(const std::string& content) {
        WriteBytes("Address.dat", content);
        auto book = std::make_unique<TFrmAddress>(FrmMain);
        book->RunAddDialog = [this](TFrm_Add_Addless& dialog) {
            shownWith.emplace_back(dialog.Edit_Name->text().toStdString(),
                                   dialog.Edit_Addless->text().toStdString());
            shownYomi.push_back(dialog.Edit_Yomi->text().toStdString());
            ASSERT_FALSE(answers.empty()) << "dialog shown unexpectedly";
            const Answer answer = answers.front();
            answers.erase(answers.begin());
            dialog.Edit_Name->setText(QString::fromStdString(answer.name));
            dialog.Edit_Addless->setText(QString::fromStdString(answer.addless));
            dialog.Edit_Yomi->setText(QString::fromStdString(answer.yomi));
            answer.ok ? dialog.Button1Click() : dialog.Button2Click();
        };
        book->show();
        return book;
    }

    static Entries Rows(const TFrmAddress& book) {
        Entries rows;
        for (int i = 0; i < book.ListView_Main->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = book.ListView_Main->topLevelItem(i);
            rows.emplace_back(row->text(0).toStdString(), row->text(1).toStdString());
        }
        return rows;
    }

    static void Select(TFrmAddress& book, int row) {
        book.ListView_Main->topLevelItem(row)->setSelected(true);
    }

    std::vector<Answer> answers;
    Entries shownWith;  // the dialog's fields when it opened
    std::vector<std::string> shownYomi;
};

TEST_F(FrmAddressTest, LoadsPairsAndRewritesWhatItWrote) {
    struct Case {
        const char* what;
        std::string file;
        Entries rows;
        std::string rewritten;  // empty: the file as it was
    };
    const std::vector<Case> cases = {
        {"empty", "", {}, ""},
        {"two entries",
         FileOf({{"太郎", "taro@example.invalid"}, {"ｶﾅ", ""}}),
         {{"太郎", "taro@example.invalid"}, {"ｶﾅ", ""}},
         ""},
        {"odd line count", "a\r\na@x\r\nb\r\n", {{"a", "a@x"}, {"b", ""}}, "a\r\na@x\r\nb\r\n\r\n"},
        {"CR only and lone LF",
         "a\rx\ny\r\x1A"
         "junk",
         {{"a", "x\ny"}},
         "a\r\nx\ny\r\n"},
    };
    for (const auto& c : cases) {
        auto book = Open(c.file);
        EXPECT_EQ(Rows(*book), c.rows) << c.what;
        book->reject();
        EXPECT_FALSE(book->isVisible()) << c.what;
        EXPECT_EQ(ReadBytes("Address.dat"), c.rewritten.empty() ? c.file : c.rewritten) << c.what;
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FrmAddressTest, BytesThatDoNotShowSurviveARewrite) {
    const std::string file = "\x80\xA0name\xFD\r\n\x85\x40@x\r\n";
    auto book = Open(file);
    Select(*book, 0);
    answers = {{"", "", false}};
    book->Spb_editClick();  // cancelled: the row keeps its own bytes
    book->close();
    EXPECT_EQ(ReadBytes("Address.dat"), file);
}

TEST_F(FrmAddressTest, AddRefusesNamesPresentInAnyLetterCase) {
    struct Case {
        const char* what;
        Answer answer;
        Entries rows;  // after the book {taro, t@x}
        std::vector<std::string> messages;
    };
    const Entry taro{"taro", "t@x"};
    const std::vector<Case> cases = {
        {"new name", {"Jiro", "j@x", true}, {taro, {"Jiro", "j@x"}}, {}},
        {"other case", {"Taro", "other@x", true}, {taro}, {"Taro は既に登録されてます。"}},
        {"full-width other case", {"ＴＡＲＯ", "", true}, {taro, {"ＴＡＲＯ", ""}}, {}},
        {"prefix is another name", {"tar", "", true}, {taro, {"tar", ""}}, {}},
        {"longer name", {"taro2", "", true}, {taro, {"taro2", ""}}, {}},
        {"empty name", {"", "e@x", true}, {taro}, {}},
        {"spaces only", {"  ", "", true}, {taro, {"  ", ""}}, {}},
        {"untrimmed", {" 花子 ", " h@x ", true}, {taro, {" 花子 ", " h@x "}}, {}},
        {"cancelled", {"Saburo", "s@x", false}, {taro}, {}},
    };
    for (const auto& c : cases) {
        boxes.boxes.clear();
        auto book = Open(FileOf({taro}));
        answers = {c.answer};
        book->SpeedButton1Click();
        EXPECT_EQ(Rows(*book), c.rows) << c.what;
        EXPECT_EQ(boxes.Texts(), c.messages) << c.what;
        EXPECT_TRUE(book->PendingName.empty() && book->PendingAddless.empty()) << c.what;
        book->reject();
        EXPECT_EQ(ReadBytes("Address.dat"), FileOf(c.rows)) << c.what;
    }
}

TEST_F(FrmAddressTest, SecondAddOpensEmptyAndCancelAddsNothing) {
    auto book = Open("");
    answers = {{"a", "a@x", true}, {"", "", false}};
    book->SpeedButton1Click();
    book->SpeedButton1Click();
    EXPECT_EQ(shownWith, (Entries{{"", ""}, {"", ""}}));
    EXPECT_EQ(Rows(*book), (Entries{{"a", "a@x"}}));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FrmAddressTest, EditChangesTheSelectedRowWithoutChecks) {
    struct Case {
        const char* what;
        Answer answer;
        Entries rows;
    };
    const std::vector<Case> cases = {
        {"to another entry's name", {"b", "new@x", true}, {{"b", "new@x"}, {"b", "b@x"}}},
        {"to an empty name", {"", "", true}, {{"", ""}, {"b", "b@x"}}},
        {"cancelled", {"zzz", "zzz", false}, {{"a", "a@x"}, {"b", "b@x"}}},
    };
    for (const auto& c : cases) {
        shownWith.clear();
        auto book = Open(FileOf({{"a", "a@x"}, {"b", "b@x"}}));
        Select(*book, 0);
        answers = {c.answer};
        book->Spb_editClick();
        EXPECT_EQ(shownWith, (Entries{{"a", "a@x"}})) << c.what;
        EXPECT_EQ(Rows(*book), c.rows) << c.what;
        EXPECT_TRUE(book->PendingName.empty() && book->PendingAddless.empty()) << c.what;
        EXPECT_TRUE(boxes.boxes.empty()) << c.what;
    }
}

TEST_F(FrmAddressTest, ButtonsStayEnabledAfterDeleteAndDoNothingWithoutSelection) {
    auto book = Open(FileOf({{"a", "a@x"}, {"b", "b@x"}}));
    const std::vector<QToolButton*> needRow = {book->Spb_Mail, book->Spb_edit, book->Spb_Del};
    for (auto* button : needRow)
        EXPECT_FALSE(button->isEnabled());
    EXPECT_TRUE(book->SpeedButton1->isEnabled());

    Select(*book, 0);
    book->Spb_DelClick();
    EXPECT_EQ(Rows(*book), (Entries{{"b", "b@x"}}));
    for (auto* button : needRow)
        EXPECT_TRUE(button->isEnabled());

    // The focused list makes the next row current and selected: none is, for what follows.
    book->ListView_Main->clearSelection();
    book->Spb_DelClick();
    book->Spb_MailClick();
    answers = {{"c", "c@x", true}};
    book->Spb_editClick();
    EXPECT_EQ(shownWith, (Entries{{"", ""}}));
    EXPECT_EQ(Rows(*book), (Entries{{"b", "b@x"}}));
    EXPECT_TRUE(book->isVisible());
    EXPECT_EQ(FrmMain.SelectedAddless, "");
}

TEST_F(FrmAddressTest, PickHandsOverTheAddressAloneAndSaves) {
    struct Case {
        const char* what;
        int row;
        std::string selected;
    };
    const std::vector<Case> cases = {{"address", 0, Sjis("taro@example.invalid")},
                                     {"empty address", 1, ""}};
    for (const auto& c : cases) {
        FrmMain.SelectedAddless = "left over";
        WriteBytes("Address.dat", "");
        auto book = Open("");
        answers = {{"太郎", "taro@example.invalid", true}, {"b", "", true}};
        book->SpeedButton1Click();
        book->SpeedButton1Click();
        Select(*book, c.row);
        book->Spb_MailClick();
        EXPECT_EQ(FrmMain.SelectedAddless, c.selected) << c.what;
        EXPECT_FALSE(book->isVisible()) << c.what;
        EXPECT_EQ(book->result(), QDialog::Accepted) << c.what;
        EXPECT_EQ(ReadBytes("Address.dat"), FileOf({{"太郎", "taro@example.invalid"}, {"b", ""}}))
            << c.what;
    }
}

TEST_F(FrmAddressTest, PicksSeveralRowsInListOrder) {
    const struct {
        std::vector<int> rows;
        const char* picked;
    } cases[] = {{{2, 0}, "t@x, h@x"}, {{1}, ""}, {{1, 2}, "h@x"}};
    for (const auto& c : cases) {
        FrmMain.SelectedAddless = "left over";
        auto book = Open(FileOf({{"太郎", "t@x"}, {"空", ""}, {"花子", "h@x"}}));
        for (const int row : c.rows)
            Select(*book, row);
        book->Spb_MailClick();
        EXPECT_EQ(FrmMain.SelectedAddless, c.picked);
        EXPECT_FALSE(book->isVisible());
    }
}

TEST_F(FrmAddressTest, InsertF2AndDeleteAddEditAndDelete) {
    auto book = Open(FileOf({{"a", "a@x"}, {"b", "b@x"}, {"c", "c@x"}}));
    QApplication::setActiveWindow(book.get());
    answers = {{"d", "d@x", true}, {"A", "a@x", true}};
    QTest::keyClick(book->ListView_Main, Qt::Key_Insert);
    EXPECT_EQ(Rows(*book), (Entries{{"a", "a@x"}, {"b", "b@x"}, {"c", "c@x"}, {"d", "d@x"}}));
    Select(*book, 0);
    QTest::keyClick(book->ListView_Main, Qt::Key_F2);
    EXPECT_EQ(shownWith.back(), (Entry{"a", "a@x"}));
    Select(*book, 2);
    QTest::keyClick(book->ListView_Main, Qt::Key_Delete);
    EXPECT_EQ(Rows(*book), (Entries{{"b", "b@x"}, {"d", "d@x"}}));
    EXPECT_TRUE(answers.empty());
}

// Readings live in their own file beside the book's, which stays as it always was.
TEST_F(FrmAddressTest, ReadingsAreKeptBesideTheBook) {
    auto book = Open("");
    book->reject();
    EXPECT_EQ(DirEntries(), QStringList{"Address.dat"});  // none typed: no file of them

    book = Open("");
    answers = {{"佐藤", "s@x", true, "さとう"}, {"田中", "t@x", true}};
    book->SpeedButton1Click();
    book->SpeedButton1Click();
    book->reject();
    EXPECT_EQ(ReadBytes("Address.dat"), FileOf({{"佐藤", "s@x"}, {"田中", "t@x"}}));
    EXPECT_EQ(ReadBytes("AddressYomi.dat"), Sjis("佐藤\r\ns@x\r\nさとう\r\n"));

    // The edit dialog shows the reading and keeps it with the changed entry; a reading whose
    // entry is gone is dropped.
    WriteBytes("AddressYomi.dat", ReadBytes("AddressYomi.dat") + "gone\r\ng@x\r\nx\r\n");
    book = Open(ReadBytes("Address.dat"));
    Select(*book, 0);
    answers = {{"佐藤 花子", "s@x", true, "さとう はなこ"}};
    book->Spb_editClick();
    EXPECT_EQ(shownYomi.back(), "さとう");
    book->reject();
    EXPECT_EQ(userdata::ReadAddressBook(FrmMain.ProgramDir),
              (std::vector<userdata::TBookEntry>{{Sjis("佐藤 花子"), "s@x", Sjis("さとう はなこ")},
                                                 {Sjis("田中"), "t@x", ""}}));
    EXPECT_EQ(ReadBytes("AddressYomi.dat"), Sjis("佐藤 花子\r\ns@x\r\nさとう はなこ\r\n"));
}

TEST_F(FrmAddressTest, DoubleClickOnARowPicks) {
    auto book = Open(FileOf({{"a", "a@x"}}));
    QTreeWidgetItem* row = book->ListView_Main->topLevelItem(0);
    row->setSelected(true);
    emit book->ListView_Main->itemDoubleClicked(row, 0);
    EXPECT_EQ(FrmMain.SelectedAddless, "a@x");
    EXPECT_FALSE(book->isVisible());
}

TEST_F(FrmAddressTest, FailedSaveKeepsTheWindowOpenAndTheOldFile) {
    const std::string old = FileOf({{"a", "a@x"}});
    auto book = Open(old);
    answers = {{"a much longer name than the file can hold", "b@x", true}};
    book->SpeedButton1Click();
    Select(*book, 1);
    {
        FileSizeLimit limit(old.size());
        book->Spb_MailClick();
        EXPECT_EQ(FrmMain.SelectedAddless, "b@x");
        EXPECT_TRUE(book->isVisible());
        book->close();  // the close box saves again, and fails again
        EXPECT_TRUE(book->isVisible());
    }
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].icon, platform::MsgIcon::Error);
    EXPECT_NE(boxes.boxes[0].text.find("Address.dat"), std::string::npos);
    EXPECT_EQ(ReadBytes("Address.dat"), old);
    EXPECT_EQ(DirEntries(), QStringList{"Address.dat"});

    book->reject();
    EXPECT_FALSE(book->isVisible());
    EXPECT_EQ(ReadBytes("Address.dat"),
              FileOf({{"a", "a@x"}, {"a much longer name than the file can hold", "b@x"}}));
}

TEST_F(FrmAddressTest, UnreadableFileIsNotSavedOver) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("Address.dat/inside"));
    TFrmAddress book(FrmMain);
    book.show();
    EXPECT_TRUE(Rows(book).empty());
    book.reject();
    EXPECT_FALSE(book.isVisible());
    ASSERT_EQ(boxes.Texts().size(), 2u);
    EXPECT_NE(boxes.Texts()[1].find("保存しませんでした"), std::string::npos);
    EXPECT_TRUE(QDir(dir.path()).exists("Address.dat/inside"));
}

TEST_F(FrmAddressTest, MissingFileIsReportedAndCreatedOnClose) {
    TFrmAddress book(FrmMain);
    book.show();
    EXPECT_EQ(boxes.boxes.size(), 1u);
    book.reject();
    EXPECT_EQ(ReadBytes("Address.dat"), "");
}

// The add/edit dialog on its own.
TEST_F(FrmAddressTest, AddDialogCopiesBackOnlyOnOk) {
    auto book = Open("");
    book->PendingName = Sjis("名前");
    book->PendingAddless = "x@y";
    TFrm_Add_Addless dialog(*book);
    EXPECT_EQ(dialog.windowTitle().toStdString(), "アドレスの追加");
    EXPECT_EQ(dialog.size(), QSize(327, 159));  // with the reading's row
    EXPECT_EQ(dialog.pos(), QPoint(287, 246));
    EXPECT_EQ(dialog.Edit_Name->width(), 247);
    EXPECT_EQ(dialog.Edit_Addless->width(), 247);
    EXPECT_TRUE(dialog.Edit_Name->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_FALSE(dialog.Edit_Addless->testAttribute(Qt::WA_InputMethodEnabled));
    EXPECT_TRUE(dialog.Button1->isDefault());
    EXPECT_EQ(dialog.Button1->size(), QSize(79, 23));
    EXPECT_EQ(dialog.Edit_Name->text().toStdString(), "名前");

    dialog.Edit_Name->setText("changed");
    dialog.Button2Click();
    EXPECT_EQ(book->PendingName, Sjis("名前"));

    // A character the file's code page cannot hold is refused, and the dialog stays.
    dialog.show();
    dialog.Edit_Name->setText(QString::fromUtf8("smile \xF0\x9F\x98\x80"));
    dialog.Button1Click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(book->PendingName, Sjis("名前"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.starts_with(
        "アドレス帳はシフトJISで保存するため、文字 U+1F600 は入れられません。"))
        << boxes.boxes[0].text;

    dialog.Edit_Name->setText(" spaced ");
    dialog.Button1Click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(book->PendingName, " spaced ");
    EXPECT_EQ(book->PendingAddless, "x@y");
}

TEST_F(FrmAddressTest, Layout) {
    auto book = Open("");
    EXPECT_EQ(book->windowTitle().toStdString(), "アドレス帳");
    EXPECT_EQ(book->size(), QSize(425, 362));
    EXPECT_EQ(book->ToolBar1->height(), 29);
    struct Button {
        QToolButton* button;
        const char* text;
        int width;
        bool icon;
    };
    const std::vector<Button> buttons = {{book->Spb_Mail, "メールへ入力", 97, true},
                                         {book->SpeedButton1, "アドレスの追加", 115, true},
                                         {book->Spb_edit, "アドレスの編集", 93, false},
                                         {book->Spb_Del, "アドレスの削除", 93, false}};
    int right = 0;
    for (const auto& b : buttons) {
        EXPECT_EQ(b.button->text().toStdString(), b.text);
        EXPECT_EQ(b.button->size(), QSize(b.width, 21)) << b.text;
        EXPECT_EQ(!b.button->icon().isNull(), b.icon) << b.text;
        EXPECT_TRUE(b.button->autoRaise()) << b.text;
        EXPECT_GT(b.button->x(), right) << b.text;  // left to right, no overlap
        right = b.button->geometry().right();
    }
    EXPECT_LT(right, 425);
    EXPECT_EQ(book->ListView_Main->geometry(), QRect(0, 29, 425, 333));
    EXPECT_EQ(book->ListView_Main->headerItem()->text(0).toStdString(), "名前");
    EXPECT_EQ(book->ListView_Main->headerItem()->text(1).toStdString(), "メールアドレス");
    EXPECT_EQ(book->ListView_Main->columnWidth(0), 150);
    EXPECT_EQ(book->ListView_Main->columnWidth(1), 200);
}
