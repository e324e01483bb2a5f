#include "userdata/FrmOption.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/RegIniFile.h"
#include "userdata/WindowFont.h"

using platform::FromSjis;
using platform::Sjis;

namespace {

const char* const kSection = "Settings";
const char* const kDefaultPort = "25";

// Captions at the left of a group, right-aligned against their fields.
constexpr int kLabelLeft = 4;
constexpr int kLabelWidth = 84;
constexpr int kEditLeft = 92;
constexpr int kRowHeight = 20;

}  // namespace

TFrmOption::TFrmOption(QWidget* parent) : QDialog(parent) {
    CreateControls();
    FormCreate();
}

void TFrmOption::CreateControls() {
    setWindowTitle(FromSjis(Sjis("オプション設定")));
    setFont(userdata::WindowFont());
    setFixedSize(375, 304);

    PageControl1 = new QTabWidget(this);
    PageControl1->setGeometry(4, 4, 367, 239);
    TabSheet1 = new QWidget;
    PageControl1->addTab(TabSheet1, FromSjis(Sjis("接続設定")));

    GroupBox1 = new QGroupBox(FromSjis(Sjis("サーバー情報")), TabSheet1);
    GroupBox1->setGeometry(8, 8, 343, 105);
    Edit_userid = AddRow(GroupBox1, Label1, "ユーザーＩＤ：", 20, kEditLeft, 213);
    Edit_smtp = AddRow(GroupBox1, Label2, "ＳＭＴＰサーバ：", 46, kEditLeft, 213);
    Edit_port = AddRow(GroupBox1, Label3, "ポート：", 72, kEditLeft, 29);
    Edit_port->setText(kDefaultPort);

    GroupBox2 = new QGroupBox(FromSjis(Sjis("個人情報")), TabSheet1);
    GroupBox2->setGeometry(8, 121, 343, 77);
    Edit_name = AddRow(GroupBox2, Label4, "名前：", 20, kEditLeft, 245);
    Edit_email = AddRow(GroupBox2, Label5, "メールアドレス：", 46, kEditLeft, 245);

    Button1 = new QPushButton(FromSjis(Sjis("OK(&O)")), this);
    Button1->setGeometry(157, 251, 105, 27);
    Button1->setDefault(true);
    Button2 = new QPushButton(FromSjis(Sjis("キャンセル")), this);
    Button2->setGeometry(266, 251, 105, 27);
    connect(Button1, &QPushButton::clicked, this, &TFrmOption::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFrmOption::Button2Click);
}

QLineEdit* TFrmOption::AddRow(QWidget* group, QLabel*& label, const char* caption, int top,
                              int editLeft, int editWidth) {
    auto* edit = new QLineEdit(group);
    edit->setGeometry(editLeft, top, editWidth, kRowHeight);
    label = new QLabel(FromSjis(Sjis(caption)), group);
    label->setGeometry(kLabelLeft, top, kLabelWidth, kRowHeight);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(edit);
    return edit;
}

std::vector<TFrmOption::Field> TFrmOption::Fields() const {
    return {{"UserID", Edit_userid},
            {"Smtp", Edit_smtp},
            {"Port", Edit_port},
            {"Name", Edit_name},
            {"Email", Edit_email}};
}

void TFrmOption::FormCreate() {
    try {
        TRegIniFile reg;
        for (const Field& field : Fields()) {
            const std::string fallback = field.edit == Edit_port ? kDefaultPort : "";
            field.edit->setText(FromSjis(reg.ReadString(kSection, field.name, fallback)));
        }
    } catch (const std::exception& e) {
        platform::HandleException(e);
    }
}

void TFrmOption::Button1Click() {
    try {
        TRegIniFile reg;
        for (const Field& field : Fields()) {
            reg.WriteString(kSection, field.name, platform::ToSjis(field.edit->text()));
        }
    } catch (const std::exception& e) {
        platform::HandleException(e);
        return;
    }
    accept();
}

void TFrmOption::Button2Click() {
    reject();
}
