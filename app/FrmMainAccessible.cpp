// What a screen reader says for each control of the compose window, and the address-book
// buttons reachable by Tab: the visible captions are short and padded for the layout.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QToolButton>

#include "app/FrmMain.h"
#include "platform/CodePage.h"

using platform::FromSjis;
using platform::Sjis;

namespace {

void Name(QWidget* control, const char* name, const char* description) {
    control->setAccessibleName(FromSjis(Sjis(name)));
    control->setAccessibleDescription(FromSjis(Sjis(description)));
}

}  // namespace

void TFrmMain::NameControls() {
    Name(Edit_ToAddress, "宛先", "宛先のメールアドレス。複数のときはカンマで区切ります。");
    Name(Edit_ToCarbonCopy, "ＣＣ", "写しを送る相手のメールアドレス。");
    Name(Edit_ToBlindCarbonCopy, "ＢＣＣ",
         "ほかの受取人に見えない写しを送る相手のメールアドレス。");
    Name(Edit_kenmei, "件名", "メールの件名。");
    Label3->setBuddy(Edit_kenmei);
    Name(Memo1, "本文", "メールの本文。見えている行のとおりに送ります。");
    Name(Spb_Addless, "宛先のアドレス帳",
         "アドレス帳を開き、選んだアドレスを宛先に入れます (Ctrl+1)。");
    Name(Spb_CC, "ＣＣのアドレス帳", "アドレス帳を開き、選んだアドレスをＣＣに入れます (Ctrl+2)。");
    Name(Spb_BCC, "ＢＣＣのアドレス帳",
         "アドレス帳を開き、選んだアドレスをＢＣＣに入れます (Ctrl+3)。");
    Name(SpeedButton3, "メール送信", "書いたメールをいま送信します (Ctrl+Enter)。");
    Name(SpeedButton2, "短文入力", "登録した短文を選んで本文の最後に入れます (Ctrl+T)。");
    Name(SpeedButton1, "接続", "");
    Name(StatusBar1, "状態", "接続と送信の進み具合。");
    // After the panel's buttons, so that Tab through the fields goes as before.
    QWidget* previous = SpeedButton_Attach;
    for (QToolButton* book : {Spb_Addless, Spb_CC, Spb_BCC}) {
        book->setFocusPolicy(Qt::TabFocus);
        setTabOrder(previous, book);
        previous = book;
    }
}
