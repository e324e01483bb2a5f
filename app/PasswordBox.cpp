#include "app/PasswordBox.h"

#include <QInputDialog>
#include <QLineEdit>

#include "platform/CodePage.h"

using platform::FromSjis;
using platform::Sjis;

std::optional<std::string> AskPasswordBox(const std::string& authUser, QWidget* owner) {
    QInputDialog box(owner);
    box.setWindowTitle(FromSjis(Sjis("パスワードの入力")));
    box.setLabelText(FromSjis(authUser + Sjis(" のパスワードを入力してください：")));
    box.setTextEchoMode(QLineEdit::Password);
    box.setOkButtonText(FromSjis(Sjis("OK")));
    box.setCancelButtonText(FromSjis(Sjis("キャンセル")));
    if (box.exec() != QDialog::Accepted)
        return std::nullopt;
    return box.textValue().toUtf8().toStdString();
}
