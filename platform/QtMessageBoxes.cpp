#include "platform/QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"
#include "platform/ScreenText.h"

namespace platform {
namespace {

class QtMessageBoxes : public MessageBoxes {
  public:
    MsgResult Show(const std::string& caption, const std::string& text, MsgIcon icon,
                   MsgButtons buttons) override {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(FromSjis(caption));
        // The text may quote a server.
        box.setText(ShownText(text));
        box.setIcon(icon == MsgIcon::Error      ? QMessageBox::Critical
                    : icon == MsgIcon::Question ? QMessageBox::Question
                                                : QMessageBox::NoIcon);
        if (buttons == MsgButtons::SaveDiscardCancel)
            return AskSaveDiscardCancel(box);
        QPushButton* ok = box.addButton("OK", QMessageBox::AcceptRole);
        if (buttons == MsgButtons::OkCancel)
            AddCancel(box);
        box.setDefaultButton(ok);
        box.exec();
        return box.clickedButton() == ok ? MsgResult::Ok : MsgResult::Cancel;
    }

  private:
    static void AddCancel(QMessageBox& box) {
        box.setEscapeButton(box.addButton(FromSjis(Sjis("キャンセル")), QMessageBox::RejectRole));
    }

    // Escape or the title bar's close button is キャンセル: nothing is decided then.
    static MsgResult AskSaveDiscardCancel(QMessageBox& box) {
        QPushButton* save = box.addButton(FromSjis(Sjis("保存して終了")), QMessageBox::AcceptRole);
        QPushButton* discard =
            box.addButton(FromSjis(Sjis("破棄して終了")), QMessageBox::DestructiveRole);
        AddCancel(box);
        box.setDefaultButton(save);
        box.exec();
        if (box.clickedButton() == save)
            return MsgResult::Save;
        return box.clickedButton() == discard ? MsgResult::Discard : MsgResult::Cancel;
    }
};

}  // namespace

void UseQtMessageBoxes() {
    static QtMessageBoxes real;
    SetStandardMessageBoxes(&real);
}

}  // namespace platform
