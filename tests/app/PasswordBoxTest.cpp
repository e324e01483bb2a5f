// The compose window's masked password box, answered as the user would.
#include <QApplication>
#include <QInputDialog>
#include <QTimer>

#include "FrmMainFixture.h"
#include "platform/CodePage.h"

TEST_F(FrmMainFixture, PasswordBoxIsMaskedNamesTheUserAndReturnsWhatWasTyped) {
    struct Case {
        bool ok;
        const char* typed;
        std::optional<std::string> answer;
    };
    const std::vector<Case> cases = {
        {true, "p\xC3\xA4ss w0rd", "p\xC3\xA4ss w0rd"},  // UTF-8, as AUTH sends it
        {true, "", ""},
        {false, "typed", std::nullopt},
    };
    TSecondaryWindows windows = standIns.Windows();
    windows.Password = RealWindows().Password;
    TFrmMain form(windows, Dir());
    for (const Case& c : cases) {
        bool seen = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (!box) {
                ADD_FAILURE() << "no password box";
                if (auto* other = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    other->reject();
                return;
            }
            seen = true;
            EXPECT_EQ(box->parentWidget(), &form);
            EXPECT_EQ(box->textEchoMode(), QLineEdit::Password);
            EXPECT_TRUE(box->labelText().contains(QString::fromUtf8("山田")));
            box->setTextValue(QString::fromUtf8(c.typed));
            c.ok ? box->accept() : box->reject();
        });
        EXPECT_EQ(form.AskPassword(platform::Sjis("山田")), c.answer) << c.typed;
        EXPECT_TRUE(seen);
    }
    EXPECT_TRUE(boxes.boxes.empty());
}
