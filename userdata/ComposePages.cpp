#include "userdata/ComposePages.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <algorithm>
#include <charconv>

#include "platform/Application.h"
#include "platform/DataDir.h"
#include "platform/RegIniFile.h"
#include "userdata/RecentRecipients.h"

namespace userdata {
namespace {

const char* const kSection = "Settings";

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// A field with its caption at the left, both named for screen readers by the caption.
template <class Field>
Field* Row(QWidget* group, QLabel*& label, const char* caption, int top, int width) {
    constexpr int kEditLeft = 132;
    auto* field = new Field(group);
    field->setGeometry(kEditLeft, top, width, 20);
    label = new QLabel(Text(caption), group);
    label->setGeometry(4, top, kEditLeft - 8, 20);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(field);
    field->setAccessibleName(label->text().remove(QChar(0xFF1A)));  // without the "："
    return field;
}

int DelayOf(const std::string& stored) {
    int seconds = 0;
    const auto [end, error] =
        std::from_chars(stored.data(), stored.data() + stored.size(), seconds);
    if (error != std::errc() || end != stored.data() + stored.size())
        return 0;
    return std::clamp(seconds, 0, kMaxSendDelay);
}

}  // namespace

TComposeSettings ReadComposeSettings() {
    TRegIniFile reg;
    TComposeSettings settings;
    settings.Signature = reg.ReadUtf8String(kSection, "Signature", "");
    settings.ConfirmSend = reg.ReadString(kSection, "ConfirmSend", "") == "1";
    settings.OwnDomains = reg.ReadUtf8String(kSection, "OwnDomains", "");
    settings.SendDelay = DelayOf(reg.ReadString(kSection, "SendDelay", ""));
    return settings;
}

TComposePages::TComposePages(QTabWidget* PageControl1)
    : QObject(PageControl1), DataDir(platform::DataDir) {
    CreateSignaturePage(PageControl1);
    CreateGuardPage(PageControl1);
}

void TComposePages::CreateSignaturePage(QTabWidget* pages) {
    TabSheet_signature = new QWidget;
    pages->addTab(TabSheet_signature, Text("署名"));
    Label_signature = new QLabel(
        Text("新しいメールの本文の下に「-- 」の行に続けて入れます。空欄なら入れません。"),
        TabSheet_signature);
    Label_signature->setGeometry(8, 8, 343, 30);
    Label_signature->setWordWrap(true);
    Memo_signature = new QPlainTextEdit(TabSheet_signature);
    Memo_signature->setGeometry(8, 40, 343, 158);
    Memo_signature->setTabChangesFocus(true);
    Memo_signature->setAccessibleName(Text("署名"));
    Label_signature->setBuddy(Memo_signature);
}

void TComposePages::CreateGuardPage(QTabWidget* pages) {
    TabSheet_guard = new QWidget;
    pages->addTab(TabSheet_guard, Text("誤送信防止"));
    GroupBox_guard = new QGroupBox(Text("送信前の確認"), TabSheet_guard);
    GroupBox_guard->setGeometry(8, 8, 343, 104);
    CheckBox_confirm =
        new QCheckBox(Text("送信する前に宛先の一覧を表示して確認する"), GroupBox_guard);
    CheckBox_confirm->setGeometry(8, 20, 327, 20);
    Edit_domains = Row<QLineEdit>(GroupBox_guard, Label_domains, "社内のドメイン：", 46, 203);
    Edit_domains->setPlaceholderText(Text("送信者のほかに (例: example.co.jp)"));
    Edit_domains->setToolTip(
        Text("送信者のメールアドレスのドメインと、ここに並べたドメイン"
             "以外の宛先を「社外」と表示します。"));
    SpinEdit_delay = Row<QSpinBox>(GroupBox_guard, Label_delay, "送信までの待ち時間：", 72, 61);
    SpinEdit_delay->setRange(0, kMaxSendDelay);
    SpinEdit_delay->setSuffix(Text(" 秒"));

    GroupBox_recent = new QGroupBox(Text("宛先の入力候補"), TabSheet_guard);
    GroupBox_recent->setGeometry(8, 120, 343, 78);
    Label_recent =
        new QLabel(Text("送信したことのある宛先を入力候補に出します。"), GroupBox_recent);
    Label_recent->setGeometry(8, 20, 327, 20);
    Button_clearrecent = new QPushButton(Text("履歴を消去"), GroupBox_recent);
    Button_clearrecent->setGeometry(8, 46, 105, 24);
    Button_clearrecent->setAccessibleName(Text("送信した宛先の履歴を消去"));
    connect(Button_clearrecent, &QPushButton::clicked, this,
            &TComposePages::Button_clearrecentClick);
}

void TComposePages::Load(TRegIniFile& reg) {
    Memo_signature->setPlainText(
        QString::fromStdString(reg.ReadUtf8String(kSection, "Signature", "")));
    CheckBox_confirm->setChecked(reg.ReadString(kSection, "ConfirmSend", "") == "1");
    Edit_domains->setText(QString::fromStdString(reg.ReadUtf8String(kSection, "OwnDomains", "")));
    SpinEdit_delay->setValue(DelayOf(reg.ReadString(kSection, "SendDelay", "")));
}

// Unset stays unset: a store that never had these values gets empty ones, which mean "off".
void TComposePages::Store(TRegIniFile& reg) {
    reg.WriteUtf8String(kSection, "Signature", Memo_signature->toPlainText().toStdString());
    reg.WriteString(kSection, "ConfirmSend", CheckBox_confirm->isChecked() ? "1" : "");
    reg.WriteUtf8String(kSection, "OwnDomains", Edit_domains->text().trimmed().toStdString());
    const int delay = SpinEdit_delay->value();
    reg.WriteString(kSection, "SendDelay", delay > 0 ? std::to_string(delay) : "");
}

void TComposePages::Button_clearrecentClick() {
    try {
        TRecentRecipients(DataDir()).Clear();
        Label_recent->setText(Text("送信した宛先の履歴を消去しました。"));
    } catch (const std::exception& e) {
        platform::HandleException(e);
    }
}

}  // namespace userdata
