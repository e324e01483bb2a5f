// Completion and the address book under a real X server, run by completion-x-check.sh: the keys
// come from xdotool, through the window manager, as a user's keyboard sends them.
#include <gtest/gtest.h>
#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/FrmMain.h"
#include "platform/CodePage.h"
#include "tests/support/TempSettings.h"
#include "tests/support/WaitFor.h"
#include "userdata/FrmAddress.h"

namespace {

void Xdotool(const QStringList& arguments) {
    ASSERT_EQ(0, QProcess::execute("xdotool", arguments)) << arguments.join(' ').toStdString();
}

class RealKeyboard : public testing::Test {
  protected:
    void SetUp() override {
        QFile book(dir.path() + "/Address.dat");
        ASSERT_TRUE(book.open(QIODevice::WriteOnly));
        book.write(QByteArray::fromStdString(
            platform::Sjis("佐藤 花子\r\nhanako@example.jp\r\n山田 太郎\r\ntaro@example.jp\r\n")));
        book.close();
        form = std::make_unique<TFrmMain>(RealWindows(), dir.path().toStdString() + "/");
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get(), 10000));
    }

    // Types into the field, then Down and Enter in the popup that the typing brought up.
    void Complete(QLineEdit* field, const char* typed) {
        Xdotool({"type", "--delay", "40", typed});
        QAbstractItemView* popup = field->findChild<QCompleter*>()->popup();
        ASSERT_TRUE(WaitFor([&] { return popup->isVisible(); })) << typed;
        Xdotool({"key", "Down"});
        Xdotool({"key", "Return"});
        ASSERT_TRUE(WaitFor([&] { return !popup->isVisible(); })) << typed;
    }

    TempSettings settings;
    QTemporaryDir dir;
    std::unique_ptr<TFrmMain> form;
};

TEST_F(RealKeyboard, CompletionAndTheBookAddToWhatTheFieldHolds) {
    QLineEdit* to = form->Edit_ToAddress;
    to->setFocus();
    ASSERT_TRUE(WaitFor([&] { return to->hasFocus(); }));
    Complete(to, "hana");
    EXPECT_EQ(to->text().toStdString(), "佐藤 花子 <hanako@example.jp>");
    Complete(to, ", taro");
    EXPECT_EQ(to->text().toStdString(),
              "佐藤 花子 <hanako@example.jp>, 山田 太郎 <taro@example.jp>");

    QLineEdit* cc = form->Edit_ToCarbonCopy;
    cc->setText("jiro@example.jp");
    cc->setFocus();
    ASSERT_TRUE(WaitFor([&] { return cc->hasFocus(); }));
    // Once the book is up (it runs its own loop), Down selects its first row and Enter picks it.
    bool picked = false;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* book = qobject_cast<TFrmAddress*>(QApplication::activeWindow());
        if (!book || picked)
            return;
        picked = true;
        Xdotool({"key", "Down"});
        Xdotool({"key", "Return"});
    });
    poll.start();
    Xdotool({"key", "ctrl+2"});
    EXPECT_TRUE(WaitFor([&] { return cc->text() == "jiro@example.jp, hanako@example.jp"; }, 15000))
        << cc->text().toStdString();
    EXPECT_TRUE(picked);
}

}  // namespace
