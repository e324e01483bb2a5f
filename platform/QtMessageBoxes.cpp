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
        if (buttons == MsgButtons::SaveDiscardCancel)
            return AskSaveDiscardCancel(box);
        if (buttons == MsgButtons::SendBack)
            return AskSendBack(box);
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

    // Going back is the default: a send is never the answer to a stray Enter.
    static MsgResult AskSendBack(QMessageBox& box) {
        QPushButton* send = box.addButton(FromSjis(Sjis("送信する")), QMessageBox::AcceptRole);
        QPushButton* back = box.addButton(FromSjis(Sjis("戻る")), QMessageBox::RejectRole);
        box.setDefaultButton(back);
        box.setEscapeButton(back);
        box.exec();
        return box.clickedButton() == send ? MsgResult::Ok : MsgResult::Cancel;
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
