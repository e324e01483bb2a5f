// The compose window under a real input method, run by input-method-check.sh: fcitx5 with mozc
// behind its Qt 6 frontend on an X server. Whatever state the input method was in, each focus of
// a field must leave it as that field wants it (address fields off, subject and body on), and
// letters typed into an address field must arrive as typed.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <functional>

#include "StandInWindows.h"
#include "app/FrmMain.h"
#include "tests/support/WaitFor.h"

namespace {

// fcitx5's own numbers: 0 no focused window, 1 off, 2 on.
constexpr int kOff = 1;
constexpr int kOn = 2;

QDBusMessage Controller(const char* method) {
    QDBusMessage call = QDBusMessage::createMethodCall("org.fcitx.Fcitx5", "/controller",
                                                       "org.fcitx.Fcitx.Controller1", method);
    call.setAutoStartService(false);
    return call;
}

int ImState() {
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(Controller("State"), QDBus::Block, 2000);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toInt() : -1;
}

// The state once it has reached the expected one (or the wait gave up), read again a little
// later so that a switch undone right after does not pass.
int SettledState(int expected) {
    WaitFor([&] { return ImState() == expected; }, 3000);
    QTest::qWait(150);
    return ImState();
}

void Xdotool(const QStringList& arguments) {
    ASSERT_EQ(0, QProcess::execute("xdotool", arguments)) << arguments.join(' ').toStdString();
}

bool HasJapanese(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x3000; });
}

class RealInputMethod : public testing::Test {
  protected:
    void SetUp() override {
        form = std::make_unique<TFrmMain>(standIns.Windows(), dir.path().toStdString() + "/");
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        form->Edit_kenmei->setFocus();
        // fcitx5 knows the window once the frontend has made its input context and focused it.
        ASSERT_TRUE(WaitFor([] { return ImState() == kOn || ImState() == kOff; }, 15000))
            << "fcitx5 state " << ImState();
        // Each test starts from a button, so that its first field really gets the focus.
        form->SpeedButton3->setFocus();
    }

    const char* Name(QWidget* field) const {
        if (field == form->Edit_ToAddress)
            return "To";
        if (field == form->Edit_ToCarbonCopy)
            return "CC";
        if (field == form->Edit_ToBlindCarbonCopy)
            return "BCC";
        return field == form->Edit_kenmei ? "subject" : "body";
    }
    int Wanted(QWidget* field) const {
        return field == form->Edit_kenmei || field == form->Memo1 ? kOn : kOff;
    }

    QTemporaryDir dir;
    StandInWindows standIns;
    std::unique_ptr<TFrmMain> form;
};

TEST_F(RealInputMethod, EachFocusLeavesTheInputMethodAsTheFieldWantsIt) {
    TFrmMain& f = *form;
    QWidget *to = f.Edit_ToAddress, *cc = f.Edit_ToCarbonCopy, *bcc = f.Edit_ToBlindCarbonCopy,
            *subject = f.Edit_kenmei, *body = f.Memo1;
    // Every kind of step: address to address, address to subject or body, back, and between
    // subject and body.
    const std::vector<std::vector<QWidget*>> orders = {
        {to, cc, bcc, subject, body},
        {body, subject, bcc, cc, to},
        {subject, to, body, cc, subject, bcc, body},
        {cc, body, to, subject, bcc},
    };
    int checks = 0;
    for (const int before : {kOn, kOff}) {
        for (const auto& order : orders) {
            // From a button, with the input method as the user might have left it.
            f.SpeedButton3->setFocus();
            QDBusConnection::sessionBus().call(
                Controller(before == kOn ? "Activate" : "Deactivate"));
            ASSERT_EQ(before, SettledState(before));
            std::string path;
            for (QWidget* field : order) {
                path += std::string(path.empty() ? "" : " > ") + Name(field);
                SCOPED_TRACE(path + (before == kOn ? " (was on)" : " (was off)"));
                field->setFocus();
                EXPECT_EQ(Wanted(field), SettledState(Wanted(field)));
                ++checks;
            }
        }
    }
    EXPECT_EQ(44, checks);
}

TEST_F(RealInputMethod, TabThroughTheFieldsWithTheRealKeyboard) {
    form->Edit_ToAddress->setFocus();
    ASSERT_EQ(kOff, SettledState(kOff));
    const std::vector<QWidget*> fields = {form->Edit_ToCarbonCopy, form->Edit_ToBlindCarbonCopy,
                                          form->Edit_kenmei, form->Memo1};
    for (QWidget* field : fields) {
        SCOPED_TRACE(Name(field));
        Xdotool({"key", "Tab"});
        ASSERT_TRUE(WaitFor([&] { return field->hasFocus(); }));
        EXPECT_EQ(Wanted(field), SettledState(Wanted(field)));
    }
}

TEST_F(RealInputMethod, LatinInAnAddressFieldAfterJapaneseInTheSubject) {
    form->Edit_kenmei->setFocus();
    ASSERT_EQ(kOn, SettledState(kOn));
    Xdotool({"type", "--delay", "40", "nihon"});
    Xdotool({"key", "Return"});
    ASSERT_TRUE(WaitFor([&] { return HasJapanese(form->Edit_kenmei->text()); }))
        << form->Edit_kenmei->text().toStdString();

    form->Edit_ToAddress->setFocus();
    ASSERT_EQ(kOff, SettledState(kOff));
    Xdotool({"type", "--delay", "40", "abc"});
    WaitFor([&] { return form->Edit_ToAddress->text().size() >= 3; });
    EXPECT_EQ("abc", form->Edit_ToAddress->text().toStdString());
}

// The address field switches the input method off but never shuts it out: a display name in
// Japanese can still be typed once the user switches it on by hand.
TEST_F(RealInputMethod, AddressFieldTakesJapaneseWhenSwitchedOnByHand) {
    form->Edit_ToCarbonCopy->setFocus();
    ASSERT_EQ(kOff, SettledState(kOff));
    Xdotool({"key", "ctrl+space"});
    ASSERT_EQ(kOn, SettledState(kOn));
    Xdotool({"type", "--delay", "40", "yamada"});
    Xdotool({"key", "Return"});
    EXPECT_TRUE(WaitFor([&] { return HasJapanese(form->Edit_ToCarbonCopy->text()); }))
        << form->Edit_ToCarbonCopy->text().toStdString();
}

}  // namespace
