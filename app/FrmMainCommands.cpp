// The compose window's keyboard shortcuts, the address book opened from the menu, and the help
// menu: everything the window offers can be reached without a mouse.
#include <QAction>
#include <QKeySequence>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolButton>

#include "app/FrmMain.h"
#include "app/HelpMenu.h"
#include "platform/CodePage.h"

using platform::FromSjis;
using platform::Sjis;

void TFrmMain::CreateShortcuts() {
    Action_Send->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    Action_Tanbun_open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    SpeedButton3->setToolTip(FromSjis(Sjis("メール送信 (Ctrl+Enter)")));
    SpeedButton2->setToolTip(FromSjis(Sjis("短文入力 (Ctrl+T)")));
    // The address book of each address field, in the order of the fields.
    const struct {
        QToolButton* button;
        Qt::Key key;
    } books[] = {{Spb_Addless, Qt::Key_1}, {Spb_CC, Qt::Key_2}, {Spb_BCC, Qt::Key_3}};
    for (const auto& book : books) {
        auto* open = new QAction(this);
        open->setShortcut(QKeySequence(Qt::CTRL | book.key));
        addAction(open);
        connect(open, &QAction::triggered, book.button, &QToolButton::click);
        book.button->setToolTip(FromSjis(Sjis("アドレス帳 (")) +
                                open->shortcut().toString(QKeySequence::NativeText) + ')');
    }
}

QLineEdit* TFrmMain::FocusedAddressField() const {
    for (QLineEdit* field : {Edit_ToAddress, Edit_ToCarbonCopy, Edit_ToBlindCarbonCopy}) {
        if (focusWidget() == field)
            return field;
    }
    return Edit_ToAddress;
}

void TFrmMain::A1Click() {
    FillFromAddressBook(FocusedAddressField());
}

void TFrmMain::Help2Click() {
    ShowUserGuide(this);
}

void TFrmMain::N3Click() {
    const std::unique_ptr<QMessageBox> box = VersionBox(this);
    box->exec();
}
