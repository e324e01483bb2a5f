#include "userdata/FrmAddAddless.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/Application.h"
#include "platform/CodePage.h"
#include "userdata/AccessibleNames.h"
#include "userdata/DataFile.h"
#include "userdata/FrmAddress.h"
#include "userdata/WindowFont.h"

using platform::FromSjis;
using platform::Sjis;

TFrm_Add_Addless::TFrm_Add_Addless(TFrmAddress& FrmAddress, QWidget* parent)
    : QDialog(parent), FrmAddress(FrmAddress) {
    CreateControls();
    FormCreate();
}

void TFrm_Add_Addless::CreateControls() {
    setWindowTitle(FromSjis(Sjis("アドレスの追加")));
    setFont(userdata::WindowFont());
    setFixedSize(327, 159);
    // Designed at 262, 226 and shown 25 right of and 20 below that.
    move(287, 246);

    GroupBox1 = new QGroupBox(FromSjis(Sjis("個人情報")), this);
    GroupBox1->setGeometry(4, 4, 319, 103);
    Label1 = new QLabel(FromSjis(Sjis("名前")), GroupBox1);
    Label1->setGeometry(12, 20, 48, 20);
    Edit_Name = new QLineEdit(GroupBox1);
    Edit_Name->setGeometry(64, 20, 247, 20);
    Label2 = new QLabel(FromSjis(Sjis("アドレス")), GroupBox1);
    Label2->setGeometry(12, 46, 48, 20);
    Edit_Addless = new QLineEdit(GroupBox1);
    Edit_Addless->setGeometry(64, 46, 247, 20);
    // Names are typed in Japanese, addresses in plain letters.
    Edit_Addless->setAttribute(Qt::WA_InputMethodEnabled, false);
    Label3 = new QLabel(FromSjis(Sjis("よみ")), GroupBox1);
    Label3->setGeometry(12, 72, 48, 20);
    Edit_Yomi = new QLineEdit(GroupBox1);
    Edit_Yomi->setGeometry(64, 72, 247, 20);
    Label1->setBuddy(Edit_Name);
    Label2->setBuddy(Edit_Addless);
    Label3->setBuddy(Edit_Yomi);
    Edit_Yomi->setAccessibleName(Label3->text());

    Button1 = new QPushButton(FromSjis(Sjis("OK(&O)")), this);
    Button1->setGeometry(161, 132, 79, 23);
    Button1->setDefault(true);
    Button2 = new QPushButton(FromSjis(Sjis("キャンセル")), this);
    Button2->setGeometry(244, 132, 79, 23);
    connect(Button1, &QPushButton::clicked, this, &TFrm_Add_Addless::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFrm_Add_Addless::Button2Click);
    userdata::NameControls(*this);
}

void TFrm_Add_Addless::FormCreate() {
    Edit_Name->setText(FromSjis(FrmAddress.PendingName));
    Edit_Addless->setText(FromSjis(FrmAddress.PendingAddless));
    Edit_Yomi->setText(FromSjis(FrmAddress.PendingYomi));
}

namespace {

// The field's text in Shift_JIS; an untouched field gives back the very bytes it was filled
// from, even those that show differently on screen.
std::string TypedOrKept(const QLineEdit* edit, const std::string& original) {
    if (edit->text() == FromSjis(original))
        return original;
    return userdata::ToFileText(edit->text(), "アドレス帳");
}

}  // namespace

void TFrm_Add_Addless::Button1Click() {
    std::string name;
    std::string addless;
    std::string yomi;
    try {
        name = TypedOrKept(Edit_Name, FrmAddress.PendingName);
        addless = TypedOrKept(Edit_Addless, FrmAddress.PendingAddless);
        yomi = TypedOrKept(Edit_Yomi, FrmAddress.PendingYomi);
    } catch (const std::exception& e) {
        // A character the file cannot hold: say so and let the user change it.
        platform::HandleException(e);
        return;
    }
    FrmAddress.PendingName = name;
    FrmAddress.PendingAddless = addless;
    FrmAddress.PendingYomi = yomi;
    accept();
}

void TFrm_Add_Addless::Button2Click() {
    reject();
}
