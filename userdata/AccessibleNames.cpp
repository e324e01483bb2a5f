#include "userdata/AccessibleNames.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include "platform/CodePage.h"
#include "userdata/EnterKey.h"
#include "userdata/FrmAddAddless.h"
#include "userdata/FrmAddress.h"
#include "userdata/FrmTanbun.h"

using platform::FromSjis;
using platform::Sjis;

namespace userdata {
namespace {

void Name(QWidget* control, const char* name, const char* description) {
    control->setAccessibleName(FromSjis(Sjis(name)));
    control->setAccessibleDescription(FromSjis(Sjis(description)));
}

}  // namespace

void NameControls(TFrmAddress& window) {
    Name(window.ListView_Main, "アドレス帳の一覧",
         "登録した名前とメールアドレス。Enter で選んだアドレスをメールへ入力します。");
    Name(window.Spb_Mail, "メールへ入力", "選んだアドレスをメールに入れて閉じます (Enter)。");
    Name(window.SpeedButton1, "アドレスの追加", "名前とアドレスを新しく登録します。");
    Name(window.Spb_edit, "アドレスの編集", "選んだ行の名前とアドレスを直します。");
    Name(window.Spb_Del, "アドレスの削除", "選んだ行を削除します。");
    // The list first, and it has the focus when the window opens, as when it was the only
    // control to take it; Tab then reaches the buttons from left to right.
    QWidget* previous = window.ListView_Main;
    for (QToolButton* button :
         {window.Spb_Mail, window.SpeedButton1, window.Spb_edit, window.Spb_Del}) {
        button->setFocusPolicy(Qt::TabFocus);
        OnEnter(button, [button] { button->click(); });
        QWidget::setTabOrder(previous, button);
        previous = button;
    }
    window.ListView_Main->setFocus();
}

void NameControls(TFrmTanbun& window) {
    Name(window.Edit1, "追加する短文", "一覧に加える文。Enter で追加します。");
    Name(window.ListBox_Tanbun, "短文の一覧",
         "ダブルクリックか Enter で、選んだ文を本文の最後に入れます。");
    Name(window.Spb_add_tanbun, "追加", "上の欄の文を一覧に追加します (Alt+A)。");
    Name(window.Spb_del_tanbun, "削除", "一覧で選んだ文を削除します (Alt+D)。");
}

void NameControls(TFrm_Add_Addless& window) {
    // The fields are named by their captions (buddies); these say what goes in.
    window.Edit_Name->setAccessibleDescription(FromSjis(Sjis("アドレス帳に表示する名前。")));
    window.Edit_Addless->setAccessibleDescription(FromSjis(Sjis("メールアドレス。")));
    window.Button1->setAccessibleDescription(FromSjis(Sjis("入力した内容で登録します。")));
    window.Button2->setAccessibleDescription(FromSjis(Sjis("登録せずに閉じます。")));
}

}  // namespace userdata
