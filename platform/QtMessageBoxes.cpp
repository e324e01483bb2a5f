#include "platform/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"

namespace platform {
namespace {

class QtMessageBoxes : public MessageBoxes {
  public:
    MsgResult Show(const std::string& caption, const std::string& text, MsgIcon icon,
                   MsgButtons buttons) override {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(FromSjis(caption));
        box.setText(FromSjis(text));
        box.setIcon(icon == MsgIcon::Error      ? QMessageBox::Critical
                    : icon == MsgIcon::Question ? QMessageBox::Question
                                                : QMessageBox::NoIcon);
        QPushButton* ok = box.addButton("OK", QMessageBox::AcceptRole);
        QPushButton* cancel = nullptr;
        if (buttons == MsgButtons::OkCancel) {
            cancel = box.addButton(FromSjis(Sjis("キャンセル")), QMessageBox::RejectRole);
            box.setEscapeButton(cancel);
        }
        box.setDefaultButton(ok);
        box.exec();
        return box.clickedButton() == ok ? MsgResult::Ok : MsgResult::Cancel;
    }
};

}  // namespace

void UseQtMessageBoxes() {
    static QtMessageBoxes real;
    SetStandardMessageBoxes(&real);
}

}  // namespace platform
