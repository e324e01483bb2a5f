// The message boxes of the windowed program: the icon each kind of box carries, and a title
// the window manager has room to show whole however short the text.
#include <gtest/gtest.h>
#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QTimer>

#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"

namespace {

struct Shown {
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int width = 0;
    int titleWidth = 0;
};

// Shows the box, reads it while it is open and closes it.
Shown ShowAndRead(const std::string& text, platform::MsgIcon icon) {
    Shown shown;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(nullptr, box);
        shown.title = box->windowTitle();
        shown.icon = box->icon();
        shown.width = box->width();
        QFont bold = box->font();
        bold.setBold(true);
        shown.titleWidth = QFontMetrics(bold).horizontalAdvance(shown.title);
        box->accept();
    });
    platform::ShowMessage(text, icon);
    return shown;
}

TEST(QtMessageBoxes, FailuresCarryTheirIconAndTheProgramsTitleFitsTheBox) {
    platform::SetApplicationTitle(platform::Sjis("ぴこぴこ便"));
    const struct {
        platform::MsgIcon icon;
        QMessageBox::Icon shown;
        const char* text;
    } cases[] = {
        {platform::MsgIcon::None, QMessageBox::NoIcon, "OK"},
        {platform::MsgIcon::Information, QMessageBox::Information, "メールを送信したよ。"},
        {platform::MsgIcon::Warning, QMessageBox::Warning, "送信に失敗したよ。"},
        {platform::MsgIcon::Error, QMessageBox::Critical, "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Shown shown = ShowAndRead(platform::Sjis(c.text), c.icon);
        EXPECT_EQ(QString::fromUtf8("ぴこぴこ便"), shown.title);
        EXPECT_EQ(c.shown, shown.icon);
        // Room beside the title for a title bar's icon and its three buttons.
        EXPECT_GE(shown.width, shown.titleWidth + 3 * 24 + 24) << shown.width;
    }
    platform::SetApplicationTitle("");
    EXPECT_EQ("Platform_tests", platform::ApplicationTitle());
}

}  // namespace
