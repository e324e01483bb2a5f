// The compose window without a mouse: shortcuts, the menu's address book, the buttons reached by
// Tab, and the input method switched as the focus moves.
#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QKeySequence>
#include <QTest>
#include <QToolButton>

#include "FrmMainFixture.h"
#include "platform/InputMethod.h"
#include "tests/support/TempSettings.h"

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class RecordingInputMethod : public platform::InputMethod {
  public:
    RecordingInputMethod() { platform::SetInputMethod(this); }
    ~RecordingInputMethod() override { platform::SetInputMethod(nullptr); }
    void Switch(bool on) override { switches.push_back(on); }
    std::vector<bool> switches;
};

class Keyboard : public FrmMainFixture {
  protected:
    void SetUp() override {
        form = Create(Dir());
        form->show();
        QApplication::setActiveWindow(form.get());
        QApplication::processEvents();
        // Every opening hands back a choice, as a user picking at once would.
        standIns.choose = [](THandOverFields* f) {
            f->SelectedAddless = "pick@example.jp";
            f->SelectedTanbun = platform::Sjis("以上");
        };
    }
    QWidget* Field(const std::string& name) const {
        if (name == "To")
            return form->Edit_ToAddress;
        if (name == "CC")
            return form->Edit_ToCarbonCopy;
        if (name == "BCC")
            return form->Edit_ToBlindCarbonCopy;
        if (name == "subject")
            return form->Edit_kenmei;
        if (name == "send")
            return form->SpeedButton3;
        if (name == "phrase")
            return form->SpeedButton2;
        return form->Memo1;
    }
    std::vector<std::string> Openings() const {
        std::vector<std::string> kinds;
        for (const auto& opening : standIns.openings)
            kinds.push_back(opening.kind);
        return kinds;
    }
    std::vector<QString> AddressFields() const {
        return {form->Edit_ToAddress->text(), form->Edit_ToCarbonCopy->text(),
                form->Edit_ToBlindCarbonCopy->text()};
    }

    TempSettings settings;
    std::unique_ptr<TFrmMain> form;
};

// Each case names what the key must do: run the send flow (which refuses the empty To), open the
// phrases (whose pick ends the body), fill one address field from the book, or break the line.
TEST_F(Keyboard, ShortcutsAndFocusedButtonsReachEveryCommand) {
    const QString pick = "pick@example.jp";
    struct Case {
        const char* focus;
        QKeyCombination key;
        const char* does;
    };
    const Case cases[] = {
        {"body", Qt::CTRL | Qt::Key_Return, "send"},
        {"subject", Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Enter, "send"},
        {"To", Qt::CTRL | Qt::Key_T, "phrase"},
        {"body", Qt::CTRL | Qt::Key_1, "To"},
        {"To", Qt::CTRL | Qt::Key_2, "CC"},
        {"subject", Qt::CTRL | Qt::Key_3, "BCC"},
        {"send", QKeyCombination(Qt::Key_Return), "send"},
        {"phrase", Qt::KeypadModifier | Qt::Key_Enter, "phrase"},
        {"body", QKeyCombination(Qt::Key_Return), "line break"},
    };
    for (const Case& c : cases) {
        const std::string does = c.does;
        SCOPED_TRACE(std::string(c.focus) + ": " + QKeySequence(c.key).toString().toStdString());
        form->ClearFields();
        form->Memo1->setPlainText(U("本文"));
        form->Memo1->moveCursor(QTextCursor::End);
        standIns.openings.clear();
        boxes.boxes.clear();
        // A window shown before may have left the compose window inactive.
        QApplication::setActiveWindow(form.get());
        Field(c.focus)->setFocus();
        ASSERT_TRUE(Field(c.focus)->hasFocus());

        QTest::keyClick(Field(c.focus), c.key.key(), c.key.keyboardModifiers());

        const bool book = does == "To" || does == "CC" || does == "BCC";
        EXPECT_EQ(book               ? std::vector<std::string>{"Address"}
                  : does == "phrase" ? std::vector<std::string>{"Tanbun"}
                                     : std::vector<std::string>{},
                  Openings());
        EXPECT_EQ(does == "send" ? std::vector<std::string>{"宛先を設定してね。"}
                                 : std::vector<std::string>{},
                  boxes.Texts());
        const std::vector<QString> addresses = {does == "To" ? pick : "", does == "CC" ? pick : "",
                                                does == "BCC" ? pick : ""};
        EXPECT_EQ(addresses, AddressFields());
        EXPECT_EQ(U(does == "phrase"       ? "本文\n以上"
                    : does == "line break" ? "本文\n"
                                           : "本文"),
                  form->Memo1->toPlainText());
    }
}

TEST_F(Keyboard, AddressBookFromTheMenuFillsTheFocusedAddressFieldElseTo) {
    struct Case {
        const char* focus;
        std::vector<QString> addresses;
    };
    const QString pick = "pick@example.jp";
    const Case cases[] = {
        {"To", {pick, "", ""}},      {"CC", {"", pick, ""}},   {"BCC", {"", "", pick}},
        {"subject", {pick, "", ""}}, {"body", {pick, "", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.focus);
        form->ClearFields();
        Field(c.focus)->setFocus();
        form->Action_addless->trigger();
        EXPECT_EQ(c.addresses, AddressFields());
    }
    // Closed without a pick, the field keeps its text.
    standIns.choose = [](THandOverFields*) {};
    form->Edit_ToCarbonCopy->setText("kept");
    form->Edit_ToCarbonCopy->setFocus();
    form->Action_addless->trigger();
    EXPECT_EQ("kept", form->Edit_ToCarbonCopy->text());
}

TEST_F(Keyboard, EachFocusOfAFieldSwitchesTheInputMethod) {
    RecordingInputMethod inputMethod;
    form->SpeedButton3->setFocus();
    const std::vector<std::string> order = {"To", "subject", "CC", "body", "BCC", "To", "send"};
    for (const std::string& name : order)
        Field(name)->setFocus();
    // Tab from the last field on: the body, then the two buttons, which switch nothing.
    form->Edit_kenmei->setFocus();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(form->SpeedButton2, QApplication::focusWidget());
    // Back from a context menu the field keeps the state the user may have chosen by hand.
    QFocusEvent fromPopup(QEvent::FocusIn, Qt::PopupFocusReason);
    QApplication::sendEvent(form->Edit_ToAddress, &fromPopup);
    EXPECT_EQ((std::vector<bool>{false, true, false, true, false, false, true, true}),
              inputMethod.switches);
}

}  // namespace
