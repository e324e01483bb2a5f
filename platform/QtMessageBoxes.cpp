#include "platform/QtMessageBoxes.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>

#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"
#include "platform/ScreenText.h"

namespace platform {
namespace {

// What a window manager's title bar holds beside the title: the window's icon and its buttons.
constexpr int kTitleBarRoom = 160;

QMessageBox::Icon BoxIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

// A box as narrow as a short text would have its title cut by the window manager: the box is
// made wide enough for the title as title bars draw it (bold) and what they hold beside it.
void KeepTitleWhole(QMessageBox& box) {
    QFont bold = box.font();
    bold.setBold(true);
    const int width = QFontMetrics(bold).horizontalAdvance(box.windowTitle()) + kTitleBarRoom;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

class QtMessageBoxes : public MessageBoxes {
  public:
    MsgResult Show(const std::string& caption, const std::string& text, MsgIcon icon,
                   MsgButtons buttons) override {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(FromSjis(caption));
        // The text may quote a server.
        box.setText(ShownText(text));
        box.setIcon(BoxIcon(icon));
        KeepTitleWhole(box);
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
