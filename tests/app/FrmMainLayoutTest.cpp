// Where every control of the compose window sits, what it says, and how the window, its menus
// and its focus order are set up.
#include <QAction>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QToolButton>

#include "FrmMainFixture.h"
#include "smtp/Zelsmtp.h"

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class FrmMainLayout : public FrmMainFixture {
  protected:
    void SetUp() override {
        form = Create(Dir());
        form->show();
        QApplication::processEvents();
    }
    // Place in the client area (below the menu bar), or in Panel1 for the panel's items.
    QRect Place(QWidget* w) const {
        return QRect(w->parentWidget() == form->Panel1
                         ? w->pos()
                         : w->mapTo(form->centralWidget(), QPoint(0, 0)),
                     w->size());
    }
    std::unique_ptr<TFrmMain> form;
};

TEST_F(FrmMainLayout, EveryControlAtItsPlaceWithItsTextAndVisibility) {
    struct Row {
        const char* name;
        QWidget* widget;
        QRect place;
        const char* text;  // nullptr: the control has no text
        bool visible;
        bool onPanel;
    };
    auto text = [](QWidget* w) {
        if (auto* b = qobject_cast<QToolButton*>(w))
            return b->text();
        if (auto* e = qobject_cast<QLineEdit*>(w))
            return e->text();
        if (auto* l = qobject_cast<QLabel*>(w))
            return l->text();
        if (auto* m = qobject_cast<QPlainTextEdit*>(w))
            return m->toPlainText();
        return QString();
    };
    const TFrmMain& f = *form;
    const Row rows[] = {
        {"Spb_Addless", f.Spb_Addless, {2, 2, 53, 21}, " 宛先：", true, false},
        {"Edit_ToAddress", f.Edit_ToAddress, {58, 2, 275, 20}, "", true, false},
        {"Spb_CC", f.Spb_CC, {2, 24, 53, 21}, "  ＣＣ：", true, false},
        {"Edit_ToCarbonCopy", f.Edit_ToCarbonCopy, {58, 24, 275, 20}, "", true, false},
        {"Spb_BCC", f.Spb_BCC, {2, 46, 53, 21}, "ＢＣＣ：", true, false},
        {"Edit_ToBlindCarbonCopy", f.Edit_ToBlindCarbonCopy, {58, 46, 275, 20}, "", true, false},
        {"Bevel1", f.Bevel1, {-2, 66, 337, 6}, nullptr, true, false},
        {"Panel1", f.Panel1, {2, 74, 283, 25}, nullptr, true, false},
        {"SpeedButton3", f.SpeedButton3, {2, 2, 111, 21}, "メール送信", true, true},
        {"SpeedButton2", f.SpeedButton2, {114, 2, 79, 21}, "短文入力", true, true},
        {"Bevel2", f.Bevel2, {196, 4, 5, 18}, nullptr, false, true},
        {"SpeedButton1", f.SpeedButton1, {200, 2, 81, 21}, "接続", false, true},
        {"Label3", f.Label3, {2, 104, 30, 12}, "件名：", true, false},
        {"Edit_kenmei", f.Edit_kenmei, {34, 100, 301, 20}, "", true, false},
        {"Memo1", f.Memo1, {0, 124, 338, 217}, "", true, false},
        {"StatusBar1", f.StatusBar1, {0, 341, 338, 18}, nullptr, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.onPanel, row.widget->parentWidget() == form->Panel1);
        EXPECT_EQ(row.place, Place(row.widget));
        if (row.text) {
            EXPECT_EQ(U(row.text), text(row.widget));
        }
        EXPECT_EQ(row.visible, row.widget->isVisible());
    }
}

// The designed size is the default and the least; the window may grow
// (tests/app/WindowSizeTest.cpp).
TEST_F(FrmMainLayout, WindowWithCaptionClientAreaAndTitleBarButtons) {
    EXPECT_EQ(U("ぴこぴこ便"), form->windowTitle());
    const QList<QSize> iconSizes = form->windowIcon().availableSizes();
    for (const int size : {16, 32, 48, 128, 256})
        EXPECT_TRUE(iconSizes.contains(QSize(size, size))) << "icon size " << size;
    EXPECT_EQ(QSize(338, 359), form->centralWidget()->size());
    EXPECT_EQ(form->menuBar()->geometry().bottom() + 1, form->centralWidget()->y());
    EXPECT_EQ(form->size(), form->minimumSize());
    EXPECT_GT(form->maximumWidth(), form->width());
    EXPECT_EQ(form->centralWidget()->height() + form->centralWidget()->y(), form->height());

    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowSystemMenuHint);
    EXPECT_TRUE(flags & Qt::WindowMaximizeButtonHint);

    const QPoint screenCentre = QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE((form->frameGeometry().center() - screenCentre).manhattanLength(), 40);
}

TEST_F(FrmMainLayout, JapaneseFontOfTwelvePixelsInEveryControl) {
    for (QWidget* w : form->findChildren<QWidget*>()) {
        if (w->isWindow())
            continue;  // the menus' pop-ups take the program's font
        SCOPED_TRACE(w->metaObject()->className());
        EXPECT_EQ(12, w->font().pixelSize());
    }
    const QFontInfo resolved(form->Edit_kenmei->font());
    EXPECT_TRUE(resolved.family() == U("ＭＳ Ｐゴシック") || resolved.family() == "IPAPGothic")
        << resolved.family().toStdString();
    EXPECT_TRUE(QFontMetrics(form->font()).inFont(U("便").at(0)));
}

// The send and phrase buttons are reached by Tab; the address buttons by their shortcuts.
TEST_F(FrmMainLayout, SpeedButtonsAreFlatWithGlyphsAndTheVisibleOnesTakeTheTabFocus) {
    for (QToolButton* b : {form->Spb_Addless, form->Spb_CC, form->Spb_BCC, form->SpeedButton3,
                           form->SpeedButton2, form->SpeedButton1}) {
        SCOPED_TRACE(b->text().toStdString());
        EXPECT_TRUE(b->autoRaise());
        const bool tab = b != form->SpeedButton1;
        EXPECT_EQ(tab ? Qt::TabFocus : Qt::NoFocus, b->focusPolicy());
        EXPECT_EQ(QSize(16, 16), b->iconSize());
        EXPECT_FALSE(b->icon().isNull());
        EXPECT_EQ(Qt::ToolButtonTextBesideIcon, b->toolButtonStyle());
    }
    // The three address buttons share one picture; the others each have their own.
    const auto image = [](QToolButton* b) { return b->icon().pixmap(16, 16).toImage(); };
    EXPECT_EQ(image(form->Spb_Addless), image(form->Spb_CC));
    EXPECT_EQ(image(form->Spb_Addless), image(form->Spb_BCC));
    EXPECT_NE(image(form->Spb_Addless), image(form->SpeedButton3));
    EXPECT_NE(image(form->SpeedButton3), image(form->SpeedButton2));
    EXPECT_NE(image(form->SpeedButton2), image(form->SpeedButton1));
}

TEST_F(FrmMainLayout, InputMethodAskedForLatinOnlyInTheAddressFields) {
    struct Row {
        QWidget* field;
        bool latin;
    };
    for (const Row& row : {Row{form->Edit_ToAddress, true}, Row{form->Edit_ToCarbonCopy, true},
                           Row{form->Edit_ToBlindCarbonCopy, true}, Row{form->Edit_kenmei, false},
                           Row{form->Memo1, false}}) {
        SCOPED_TRACE(row.field->metaObject()->className());
        EXPECT_TRUE(row.field->testAttribute(Qt::WA_InputMethodEnabled));
        EXPECT_EQ(row.latin, bool(row.field->inputMethodHints() & Qt::ImhLatinOnly));
        // Hidden text would shut the input method out: no Japanese display name at all.
        EXPECT_FALSE(row.field->inputMethodHints() & (Qt::ImhHiddenText | Qt::ImhSensitiveData));
    }
}

TEST_F(FrmMainLayout, BodyWrapsWordsWithoutScrollBars) {
    EXPECT_EQ(QPlainTextEdit::WidgetWidth, form->Memo1->lineWrapMode());
    EXPECT_EQ(Qt::ScrollBarAlwaysOff, form->Memo1->verticalScrollBarPolicy());
    EXPECT_EQ(Qt::ScrollBarAlwaysOff, form->Memo1->horizontalScrollBarPolicy());
}

TEST_F(FrmMainLayout, StatusBarHasOnePanelAcrossTheWholeBar) {
    form->SetStatusText(platform::Sjis("送信しました。"));
    QApplication::processEvents();
    EXPECT_EQ(U("送信しました。"), form->StatusPanel->text());
    EXPECT_EQ(1, form->StatusBar1->findChildren<QLabel*>().size());
    EXPECT_GE(form->StatusPanel->width(), 338 - 8);
    EXPECT_FALSE(form->StatusBar1->isSizeGripEnabled());
}

// Items as "caption|shortcut"; an empty caption is a separator.
TEST_F(FrmMainLayout, MenusWithTheirItemsInOrderAndShortcuts) {
    const QList<QAction*> menus = form->menuBar()->actions();
    const std::vector<std::vector<const char*>> expected = {
        {"ファイル(&F)", "メール送信(&S)|Ctrl+Return", "添付(&A)...", "", "終了(&E)"},
        {"ツール(&T)", "アドレス帳(&A)...", "短文入力(&N)|Ctrl+T", "", "オプション設定(&O)"},
        {"ヘルプ(&H)", "ヘルプ(&H)", "", "バージョン情報(&A)"},
    };
    ASSERT_EQ(expected.size(), size_t(menus.size()));
    for (size_t m = 0; m < expected.size(); ++m) {
        SCOPED_TRACE(expected[m][0]);
        EXPECT_EQ(U(expected[m][0]), menus[m]->text());
        const QList<QAction*> items = menus[m]->menu()->actions();
        ASSERT_EQ(expected[m].size() - 1, size_t(items.size()));
        for (qsizetype i = 0; i < items.size(); ++i) {
            const QStringList item = U(expected[m][i + 1]).split('|');
            EXPECT_EQ(item[0].isEmpty(), items[i]->isSeparator());
            EXPECT_EQ(item[0], items[i]->text());
            EXPECT_EQ(item.value(1), items[i]->shortcut().toString());
        }
    }
    // Menu items linked to an action are that action.
    const QList<QAction*> tools = menus[1]->menu()->actions();
    EXPECT_EQ(form->Action_addless, tools[0]);
    EXPECT_EQ(form->Action_Tanbun_open, tools[1]);
    EXPECT_EQ(form->Action_Option_open, tools[3]);
    EXPECT_EQ(form->Action_Send, menus[0]->menu()->actions()[0]);
    EXPECT_EQ(form->Action_Attach, menus[0]->menu()->actions()[1]);
}

// The address-book buttons come last, so that Tab through the fields goes as it always did.
TEST_F(FrmMainLayout, TabVisitsTheFiveFieldsThenTheButtonsInOrderAndWrapsAround) {
    QApplication::setActiveWindow(form.get());
    form->Edit_ToAddress->setFocus();
    std::vector<QWidget*> visited;
    for (int i = 0; i < 12; ++i) {
        visited.push_back(QApplication::focusWidget());
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QApplication::sendEvent(QApplication::focusWidget(), &tab);
    }
    const std::vector<QWidget*> expected = {form->Edit_ToAddress,
                                            form->Edit_ToCarbonCopy,
                                            form->Edit_ToBlindCarbonCopy,
                                            form->Edit_kenmei,
                                            form->Memo1,
                                            form->SpeedButton3,
                                            form->SpeedButton2,
                                            form->SpeedButton_Attach,
                                            form->Spb_Addless,
                                            form->Spb_CC,
                                            form->Spb_BCC,
                                            form->Edit_ToAddress};
    EXPECT_EQ(expected, visited);
}

TEST_F(FrmMainLayout, ClientHasTheSettingsOfTheComposeWindow) {
    const TZelSMTP& smtp = *form->ZelSMTP1;
    EXPECT_EQ(25, smtp.Port);
    EXPECT_EQ(5000, smtp.TimeOut);
    EXPECT_EQ(0, smtp.ReportLevel);
    EXPECT_EQ(uuMime, smtp.EncodeType);
    EXPECT_TRUE(smtp.ClearParams);
    EXPECT_EQ(mtPlain, smtp.SubType);
    EXPECT_EQ("iso-2022-jp", smtp.Charset);
    EXPECT_EQ(platform::Sjis("もこちゃんのぴこぴこ便"), smtp.PostMessage.LocalProgram);
}

}  // namespace
