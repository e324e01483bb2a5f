// Enter in the address book and the phrase window does what the mouse does: it picks the
// selected entry, chooses the selected phrase, or adds the typed phrase.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>

#include "platform/CodePage.h"
#include "tests/userdata/DataDir.h"
#include "userdata/FrmAddress.h"
#include "userdata/FrmTanbun.h"

using platform::Sjis;

namespace {

struct Key {
    int key;
    Qt::KeyboardModifiers modifiers;
};
constexpr Key kReturn{Qt::Key_Return, Qt::NoModifier};
constexpr Key kKeypadEnter{Qt::Key_Enter, Qt::KeypadModifier};
constexpr Key kCtrlReturn{Qt::Key_Return, Qt::ControlModifier};
constexpr Key kSpace{Qt::Key_Space, Qt::NoModifier};
constexpr Key kDown{Qt::Key_Down, Qt::NoModifier};
constexpr Key kUp{Qt::Key_Up, Qt::NoModifier};

void Press(QWidget* widget, Key key) {
    QKeyEvent press(QEvent::KeyPress, key.key, key.modifiers);
    QApplication::sendEvent(widget, &press);
}

using EnterKey = DataDirTest;

TEST_F(EnterKey, InTheAddressBookPicksTheSelectedEntry) {
    struct Case {
        const char* what;
        int row;  // -1: none selected
        Key key;
        const char* picked;  // nullptr: nothing picked, the book stays open
    };
    const Case cases[] = {
        {"Return", 1, kReturn, "hanako@example.jp"},
        {"keypad Enter", 0, kKeypadEnter, "taro@example.jp"},
        {"nothing selected", -1, kReturn, nullptr},
        {"Ctrl+Return is no pick", 0, kCtrlReturn, nullptr},
        {"another key", 0, kSpace, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes("Address.dat", Sjis("太郎\r\ntaro@example.jp\r\n花子\r\nhanako@example.jp\r\n"));
        FrmMain.SelectedAddless = "left over";
        TFrmAddress book(FrmMain);
        book.show();
        if (c.row >= 0)
            book.ListView_Main->topLevelItem(c.row)->setSelected(true);
        else
            book.ListView_Main->setCurrentItem(nullptr);

        Press(book.ListView_Main, c.key);

        EXPECT_EQ(c.picked ? c.picked : "left over", FrmMain.SelectedAddless);
        EXPECT_EQ(c.picked == nullptr, book.isVisible());
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(EnterKey, InThePhraseWindowChoosesFromTheListAndAddsFromTheInput) {
    struct Case {
        const char* what;
        bool inList;  // else in the phrase input
        int row;      // -1: none selected
        const char* typed;
        Key key;
        const char* chosen;  // nullptr: none, the window stays open
        std::vector<std::string> items;
        const char* left;  // in the phrase input afterwards: emptied once a phrase is added
    };
    const std::vector<std::string> two = {"拝啓", "敬具"};
    const std::vector<std::string> three = {"拝啓", "敬具", "草々"};
    const Case cases[] = {
        {"Return on a phrase", true, 1, "", kReturn, "敬具", two, ""},
        {"keypad Enter on a phrase", true, 0, "", kKeypadEnter, "拝啓", two, ""},
        {"nothing selected: no choice, no error", true, -1, "", kReturn, nullptr, two, ""},
        {"Return in the input adds", false, -1, "草々", kReturn, nullptr, three, ""},
        {"blank input adds nothing", false, -1, "  ", kReturn, nullptr, two, "  "},
        {"Ctrl+Return in the input adds nothing", false, -1, "草々", kCtrlReturn, nullptr, two,
         "草々"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes("tanbun.dat", Sjis("拝啓\r\n敬具\r\n"));
        FrmMain.SelectedTanbun.clear();
        TFrmTanbun window(FrmMain);
        window.show();
        if (c.row >= 0)
            window.ListBox_Tanbun->item(c.row)->setSelected(true);
        window.Edit1->setText(QString::fromUtf8(c.typed));

        Press(c.inList ? static_cast<QWidget*>(window.ListBox_Tanbun) : window.Edit1, c.key);

        EXPECT_EQ(c.chosen ? Sjis(c.chosen) : "", FrmMain.SelectedTanbun);
        EXPECT_EQ(c.chosen == nullptr, window.isVisible());
        std::vector<std::string> items;
        for (int i = 0; i < window.ListBox_Tanbun->count(); ++i)
            items.push_back(window.ListBox_Tanbun->item(i)->text().toStdString());
        EXPECT_EQ(c.items, items);
        EXPECT_EQ(c.left, window.Edit1->text().toStdString());
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

// The first Down or Up in a list without a selection selects the row it marks (the first), not
// the one after; Enter then picks it.
TEST_F(EnterKey, FirstStepInAListSelectsItsFirstRow) {
    WriteBytes("Address.dat", Sjis("太郎\r\ntaro@example.jp\r\n花子\r\nhanako@example.jp\r\n"));
    WriteBytes("tanbun.dat", Sjis("拝啓\r\n敬具\r\n"));
    const struct {
        std::vector<Key> keys;
        int row;
    } cases[] = {{{kDown}, 0}, {{kUp}, 0}, {{kDown, kDown}, 1}};
    for (const auto& c : cases) {
        TFrmAddress book(FrmMain);
        TFrmTanbun phrases(FrmMain);
        const std::vector<QAbstractItemView*> lists = {book.ListView_Main, phrases.ListBox_Tanbun};
        for (QAbstractItemView* list : lists) {
            // As a list marks its first row, unselected, when it gets the focus.
            list->selectionModel()->setCurrentIndex(list->model()->index(0, 0),
                                                    QItemSelectionModel::NoUpdate);
            for (const Key key : c.keys)
                Press(list, key);
            const QModelIndexList selected = list->selectionModel()->selectedRows();
            ASSERT_EQ(selected.size(), 1);
            EXPECT_EQ(selected[0].row(), c.row);
        }
    }
    TFrmAddress book(FrmMain);
    book.show();
    book.ListView_Main->setCurrentItem(book.ListView_Main->topLevelItem(1), 0,
                                       QItemSelectionModel::NoUpdate);
    Press(book.ListView_Main, kReturn);  // the marked row, though not selected
    EXPECT_EQ("hanako@example.jp", FrmMain.SelectedAddless);
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
