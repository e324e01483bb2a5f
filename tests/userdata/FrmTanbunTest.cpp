// The short-phrase window, driven through its handlers.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QToolButton>

#include "platform/CodePage.h"
#include "tests/userdata/DataDir.h"
#include "tests/userdata/FileSizeLimit.h"
#include "userdata/FrmTanbun.h"

using platform::Sjis;
using Phrases = std::vector<std::string>;  // UTF-8

namespace {

std::string FileOf(const Phrases& phrases) {
    std::string bytes;
    for (const auto& phrase : phrases)
        bytes += Sjis(phrase) + "\r\n";
    return bytes;
}

}  // namespace

class FrmTanbunTest : public DataDirTest {
  protected:
    std::unique_ptr<TFrmTanbun> Open(const std::string& content) {
        WriteBytes("tanbun.dat", content);
        auto window = std::make_unique<TFrmTanbun>(FrmMain);
        window->show();
        return window;
    }

    static Phrases Items(const TFrmTanbun& window) {
        Phrases items;
        for (int i = 0; i < window.ListBox_Tanbun->count(); ++i) {
            items.push_back(window.ListBox_Tanbun->item(i)->text().toStdString());
        }
        return items;
    }

    static void Select(TFrmTanbun& window, int row) {
        window.ListBox_Tanbun->item(row)->setSelected(true);
    }
};

TEST_F(FrmTanbunTest, LoadsLinesAndRewritesWhatItWrote) {
    struct Case {
        const char* what;
        std::string file;
        Phrases items;
        std::string rewritten;  // empty: the file as it was
    };
    const std::vector<Case> cases = {
        {"empty", "", {}, ""},
        {"Japanese and empty lines",
         FileOf({"よろしくお願いします。", "", " ｶﾅ "}),
         {"よろしくお願いします。", "", " ｶﾅ "},
         ""},
        {"CR only, lone LF, 0x1A",
         "a\rb\nc\r\n\x1A"
         "d\r\n",
         {"a", "b\nc"},
         "a\r\nb\nc\r\n"},
        {"undisplayable bytes", "\x80\xA0\xFD\r\n", {"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, ""},
    };
    for (const auto& c : cases) {
        auto window = Open(c.file);
        EXPECT_EQ(Items(*window), c.items) << c.what;
        window->close();
        EXPECT_FALSE(window->isVisible()) << c.what;
        EXPECT_EQ(ReadBytes("tanbun.dat"), c.rewritten.empty() ? c.file : c.rewritten) << c.what;
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FrmTanbunTest, AddSkipsBlankTextAndKeepsTheRest) {
    struct Case {
        const char* what;
        std::string typed;
        bool added;
    };
    const std::vector<Case> cases = {
        {"plain", "こんにちは", true},
        {"spaces only", "   ", false},
        {"empty", "", false},
        {"control characters", "\t \x01", false},
        {"full-width space", "　", true},
        {"leading and trailing spaces", " a b ", true},
    };
    for (const auto& c : cases) {
        auto window = Open(FileOf({"x"}));
        window->Edit1->setText(QString::fromStdString(c.typed));
        window->Spb_add_tanbunClick();
        window->Spb_add_tanbunClick();  // no duplicate check
        const Phrases expected = c.added ? Phrases{"x", c.typed, c.typed} : Phrases{"x"};
        EXPECT_EQ(Items(*window), expected) << c.what;
        EXPECT_EQ(window->Edit1->text().toStdString(), c.typed) << c.what;
        window->close();
        EXPECT_EQ(ReadBytes("tanbun.dat"), FileOf(expected)) << c.what;
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FrmTanbunTest, TextOutsideTheCodePageIsRefusedAloud) {
    auto window = Open("");
    window->Edit1->setText(QString::fromUtf8("\xF0\x9F\x98\x80"));
    window->Spb_add_tanbunClick();
    EXPECT_TRUE(Items(*window).empty());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(boxes.boxes[0].text.starts_with(
        "短文はシフトJISで保存するため、文字 U+1F600 は入れられません。"))
        << boxes.boxes[0].text;
}

TEST_F(FrmTanbunTest, DeleteRemovesOnlyTheSelectedPhrase) {
    auto window = Open(FileOf({"a", "b", "c"}));
    window->Spb_del_tanbunClick();
    EXPECT_EQ(Items(*window), (Phrases{"a", "b", "c"}));
    Select(*window, 1);
    window->Spb_del_tanbunClick();
    EXPECT_EQ(Items(*window), (Phrases{"a", "c"}));
    window->close();
    EXPECT_EQ(ReadBytes("tanbun.dat"), FileOf({"a", "c"}));
}

TEST_F(FrmTanbunTest, ChoosingHandsOverThePhraseAndSavesAtOnce) {
    struct Case {
        const char* what;
        int row;
        std::string chosen;
    };
    const std::vector<Case> cases = {{"phrase", 0, Sjis(" 敬具 ")}, {"empty phrase", 1, ""}};
    for (const auto& c : cases) {
        FrmMain.SelectedTanbun.clear();
        auto window = Open(FileOf({" 敬具 ", ""}));
        window->Edit1->setText("new");
        window->Spb_add_tanbunClick();
        Select(*window, c.row);
        window->ListBox_TanbunDblClick();
        EXPECT_EQ(FrmMain.SelectedTanbun, c.chosen) << c.what;
        EXPECT_FALSE(window->isVisible()) << c.what;
        EXPECT_EQ(ReadBytes("tanbun.dat"), FileOf({" 敬具 ", "", "new"})) << c.what;
    }
}

TEST_F(FrmTanbunTest, DoubleClickWithoutSelectionIsAnIndexError) {
    auto window = Open("");
    const QPoint inside(10, 10);
    QMouseEvent click(QEvent::MouseButtonDblClick, inside,
                      window->ListBox_Tanbun->viewport()->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window->ListBox_Tanbun->viewport(), &click);
    ASSERT_EQ(boxes.Texts(),
              std::vector<std::string>{"リストのインデックスが範囲を超えています (-1)"});
    EXPECT_EQ(boxes.boxes[0].icon, platform::MsgIcon::Error);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(FrmMain.SelectedTanbun, "");
}

TEST_F(FrmTanbunTest, FailedSaveKeepsTheWindowOpenAndTheOldFile) {
    const std::string old = FileOf({"a"});
    auto window = Open(old);
    window->Edit1->setText("a phrase too long for the limit");
    window->Spb_add_tanbunClick();
    Select(*window, 1);
    {
        FileSizeLimit limit(old.size());
        window->ListBox_TanbunDblClick();
        EXPECT_EQ(FrmMain.SelectedTanbun, "a phrase too long for the limit");
        EXPECT_TRUE(window->isVisible());
        window->reject();  // Esc saves again, and fails again
        EXPECT_TRUE(window->isVisible());
    }
    EXPECT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(ReadBytes("tanbun.dat"), old);
    EXPECT_EQ(DirEntries(), QStringList{"tanbun.dat"});
    window->close();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(ReadBytes("tanbun.dat"), FileOf({"a", "a phrase too long for the limit"}));
}

TEST_F(FrmTanbunTest, UnreadableFileIsNotSavedOver) {
    ASSERT_TRUE(QDir(dir.path()).mkpath("tanbun.dat/inside"));
    TFrmTanbun window(FrmMain);
    window.show();
    window.Edit1->setText("x");
    window.Spb_add_tanbunClick();
    window.close();
    EXPECT_FALSE(window.isVisible());
    ASSERT_EQ(boxes.Texts().size(), 2u);
    EXPECT_NE(boxes.Texts()[1].find("保存しませんでした"), std::string::npos);
    EXPECT_TRUE(QDir(dir.path()).exists("tanbun.dat/inside"));
}

TEST_F(FrmTanbunTest, Layout) {
    auto window = Open(FileOf({"a"}));
    EXPECT_EQ(window->windowTitle().toStdString(), "短文入力");
    EXPECT_EQ(window->size(), QSize(331, 324));
    EXPECT_EQ(window->Panel1->height(), 55);
    EXPECT_EQ(window->Spb_add_tanbun->geometry(), QRect(6, 6, 61, 21));
    EXPECT_EQ(window->Spb_del_tanbun->geometry(), QRect(6, 28, 61, 21));
    EXPECT_EQ(window->Spb_add_tanbun->text().toStdString(), "追加(&A)");
    EXPECT_EQ(window->Spb_del_tanbun->text().toStdString(), "削除(&D)");
    EXPECT_EQ(window->Edit1->geometry().topLeft(), QPoint(70, 6));
    EXPECT_EQ(window->Edit1->width(), 245);
    EXPECT_EQ(window->ListBox_Tanbun->geometry(), QRect(0, 55, 331, 269));
    EXPECT_EQ(window->ListBox_Tanbun->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(window->ListBox_Tanbun->visualItemRect(window->ListBox_Tanbun->item(0)).height(), 12);
}
