#include "platform/MessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/Application.h"
#include "platform/CodePage.h"

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

MessageBoxes* installed = nullptr;

}  // namespace

MessageBoxes& CurrentMessageBoxes() {
    static QtMessageBoxes real;
    return installed ? *installed : real;
}

void SetMessageBoxes(MessageBoxes* boxes) {
    installed = boxes;
}

void ShowMessage(const std::string& text) {
    CurrentMessageBoxes().Show(ApplicationTitle(), text, MsgIcon::None, MsgButtons::Ok);
}

}  // namespace platform
