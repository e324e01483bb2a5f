// The resizable compose window: the designed size is the default and the least, the fields
// follow its width and the body its height too, the size is kept in the settings, and the body
// goes out as the lines it shows except where it had to cut a word wider than itself.
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>

#include "FrmMainFixture.h"
#include "app/MemoLines.h"
#include "app/WindowSize.h"
#include "platform/CodePage.h"
#include "tests/support/TempSettings.h"

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class WindowSize : public FrmMainFixture {
  protected:
    void SetUp() override {
        form = Create(Dir());
        form->show();
        QApplication::processEvents();
    }
    void ResizeClient(QSize client) {
        form->resize(client + QSize(0, form->menuBar()->sizeHint().height()));
        QApplication::processEvents();
    }
    std::unique_ptr<TFrmMain> form;
};

TEST_F(WindowSize, FieldsFollowTheWidthAndTheBodyTheHeightDownToTheDesignedSize) {
    struct Case {
        QSize asked;
        QSize client;  // what the window gives
    };
    const Case cases[] = {
        {{338, 359}, {338, 359}}, {{500, 359}, {500, 359}}, {{338, 520}, {338, 520}},
        {{640, 480}, {640, 480}}, {{200, 150}, {338, 359}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QString("%1x%2").arg(c.asked.width()).arg(c.asked.height()).toStdString());
        ResizeClient(c.asked);
        const int dw = c.client.width() - 338, dh = c.client.height() - 359;
        EXPECT_EQ(c.client, form->centralWidget()->size());
        EXPECT_EQ(QRect(58, 2, 275 + dw, 20), form->Edit_ToAddress->geometry());
        EXPECT_EQ(QRect(58, 46, 275 + dw, 20), form->Edit_ToBlindCarbonCopy->geometry());
        EXPECT_EQ(QRect(34, 100, 301 + dw, 20), form->Edit_kenmei->geometry());
        EXPECT_EQ(QRect(0, 124, 338 + dw, 217 + dh), form->Memo1->geometry());
        EXPECT_EQ(QRect(0, 341 + dh, 338 + dw, 18), form->StatusBar1->geometry());
        EXPECT_EQ(QRect(2, 74, 283, 25), form->Panel1->geometry());
    }
}

TEST_F(WindowSize, KeptInTheSettingsOnlyWhenTheUserChangedIt) {
    TempSettings settings;
    const QSize frame = form->frameGeometry().size() - form->size();
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size() -
                         QSize(0, form->menuBar()->sizeHint().height()) - frame;
    struct Case {
        const char* width;  // nullptr: not stored
        const char* height;
        QSize given;
    };
    const Case cases[] = {
        {nullptr, nullptr, {338, 359}},
        {"600", "450", {600, 450}},
        {"wide", "-1", {338, 359}},
        {"100", "100", {338, 359}},
        {"99999", "99999", screen.expandedTo({338, 359})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width ? c.width : "none");
        QSettings store("Orvane", "Tidemark");
        store.remove("Settings");
        if (c.width) {
            store.setValue("Settings/WindowWidth", c.width);
            store.setValue("Settings/WindowHeight", c.height);
        }
        store.sync();
        const QSize given = RestoreWindowSize(*form);
        EXPECT_EQ(c.given, given);
        QApplication::processEvents();
        EXPECT_EQ(c.given, form->centralWidget()->size());
        RememberWindowSize(*form, given);
        store.sync();
        EXPECT_EQ(c.width != nullptr, store.contains("Settings/WindowWidth"))
            << "written unchanged";
    }
    ResizeClient({420, 400});
    RememberWindowSize(*form, {338, 359});
    QSettings store("Orvane", "Tidemark");
    EXPECT_EQ("420", store.value("Settings/WindowWidth").toString());
    EXPECT_EQ("400", store.value("Settings/WindowHeight").toString());
}

// At 2x a 1800x900 screen is 900x450: a remembered 600x482 must leave room for the menu bar and
// the title bar, so that the status bar stays on the screen.
TEST(WindowSizeFit, ARememberedSizeFitsTheScreenWithItsChromeButNotBelowTheLeast) {
    const QSize least(338, 359);
    const QSize chrome(16, 22 + 48);  // frame and menu bar
    struct Case {
        QSize stored, available, given;
    };
    const Case cases[] = {
        {{600, 482}, {900, 450}, {600, 380}},     {{600, 482}, {1920, 1080}, {600, 482}},
        {{99999, 99999}, {900, 450}, {884, 380}}, {{0, 0}, {900, 450}, {338, 359}},
        {{600, 482}, {320, 240}, {338, 359}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.available.height());
        EXPECT_EQ(c.given, FitClientSize(c.stored, least, c.available, chrome));
    }
}

// A window not shown yet keeps room for the frame the window manager will add, and opens
// inside the screen's available area.
TEST_F(WindowSize, AHiddenWindowOpensWithRoomForItsTitleBarInsideTheScreen) {
    TempSettings settings;
    QSettings store("Orvane", "Tidemark");
    store.setValue("Settings/WindowWidth", "99999");
    store.setValue("Settings/WindowHeight", "99999");
    store.sync();
    const auto hidden = Create(Dir());
    RestoreWindowSize(*hidden);
    const QRect available = hidden->screen()->availableGeometry();
    const QRect window(hidden->pos(), hidden->size());
    EXPECT_TRUE(available.contains(window.topLeft())) << window.x() << "," << window.y();
    EXPECT_LE(window.bottom() + 30, available.bottom()) << "no room for a title bar";
    EXPECT_LE(window.right(), available.right());
}

// A URL of 120 characters goes out as one line at any width, while a Japanese paragraph and an
// English sentence still go out as the lines they show.
TEST_F(WindowSize, AWordWiderThanTheBodyArrivesWholeWhileParagraphsWrapAsShown) {
    const QString url =
        "https://files.example.jp/shared/documents/2026/" + QString(61, 'a') + "/minutes.pdf";
    ASSERT_EQ(120, url.size());
    const QString japanese =
        U("来週の打ち合わせは火曜日の午後二時からになりました。会議室は三階です。資料は当日お持ちし"
          "ます。");
    const QString english = "Please read the minutes before the meeting on Tuesday afternoon.";
    const QString lineSeparated = "abcdefghij" + QString(QChar::LineSeparator) + "klmnopqrst";
    form->Memo1->setPlainText(japanese + "\n" + url + "\n" + U("資料：") + url + U("を参照") +
                              "\n" + english + "\n" + lineSeparated);
    for (const QSize client : {QSize(338, 359), QSize(520, 359)}) {
        SCOPED_TRACE(client.width());
        ResizeClient(client);
        std::vector<QString> lines;
        for (const std::string& line : form->BodyLines())
            lines.push_back(platform::FromSjis(line));
        const QStringList shown = DisplayedLines(*form->Memo1);
        EXPECT_GT(shown.size(), int(lines.size())) << "the body cut the URL";
        EXPECT_TRUE(japanese.startsWith(lines[0]) && lines[0] != japanese) << "Japanese wraps";
        QString joined;
        int urlLines = 0;
        for (const QString& line : lines) {
            if (line.contains(url))
                ++urlLines;
            else
                EXPECT_TRUE(shown.contains(line)) << line.toStdString();
            joined += line;
        }
        EXPECT_EQ(2, urlLines);
        EXPECT_EQ("klmnopqrst", lines.back());
        QString all = form->Memo1->toPlainText();
        all.remove('\n').remove(QChar::LineSeparator);
        EXPECT_EQ(all, joined) << "no character lost or added";
    }
}

}  // namespace
