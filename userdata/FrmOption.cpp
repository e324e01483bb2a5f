#include "userdata/FrmOption.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <algorithm>
#include <span>

#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/Credentials.h"
#include "platform/MessageBoxes.h"
#include "platform/RegIniFile.h"
#include "userdata/ComposePages.h"
#include "userdata/WindowFont.h"

using platform::FromSjis;
using platform::Sjis;

namespace {

const char* const kSection = "Settings";
const char* const kDefaultPort = "25";

// Captions at the left of a group, right-aligned against their fields with a small gap.
constexpr int kLabelLeft = 4;
constexpr int kLabelGap = 4;
constexpr int kEditLeft = 92;
constexpr int kRowHeight = 20;
// The security page's captions are longer.
constexpr int kSecurityEditLeft = 108;

// The protections as the combo box lists them, with their stored values.
struct Protection {
    const char* caption;
    const char* value;
};
constexpr Protection kProtections[] = {
    {"なし", "none"}, {"STARTTLS", "starttls"}, {"SSL/TLS", "tls"}};
// The port each protection usually goes with. Choosing STARTTLS or SSL/TLS while the port field
// holds one of these puts in the chosen one's; any other port is the user's own choice.
const char* const kUsualPorts[] = {"25", "587", "465"};

// The character sets a message may go out in, as the combo box lists them, with their stored
// values ("" reads as automatic, too).
constexpr Protection kCharsets[] = {
    {"自動", "auto"}, {"ISO-2022-JP", "iso-2022-jp"}, {"UTF-8", "utf-8"}};
// The protections of the IMAP connection of the Sent copy (never none: it logs in), and theirs.
constexpr Protection kImapProtections[] = {{"SSL/TLS", "tls"}, {"STARTTLS", "starttls"}};
const char* const kUsualImapPorts[] = {"993", "143"};

const char* const kNeedUser = "認証ユーザー名を入力してください。";

// The caption at the left of a field, right-aligned against it.
QLabel* CaptionFor(QWidget* field, const char* caption, int fieldLeft) {
    auto* label = new QLabel(FromSjis(Sjis(caption)), field->parentWidget());
    label->setGeometry(kLabelLeft, field->y(), fieldLeft - kLabelLeft - kLabelGap, kRowHeight);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(field);
    return label;
}

// The choice of a connection's protection, with its caption.
QComboBox* AddProtectionRow(QWidget* group, QLabel*& label, int top,
                            std::span<const Protection> protections) {
    auto* box = new QComboBox(group);
    box->setGeometry(kSecurityEditLeft, top, 121, kRowHeight);
    for (const Protection& p : protections)
        box->addItem(FromSjis(Sjis(p.caption)), QString::fromLatin1(p.value));
    label = CaptionFor(box, "接続の保護：", kSecurityEditLeft);
    return box;
}

// A port field shows its five digits whole in whatever font the desktop gives it: a narrow one
// scrolls "32025" to "025".
void ShowFiveDigits(QLineEdit* edit) {
    int digit = 0;
    for (const QChar c : QStringLiteral("0123456789"))
        digit = std::max(digit, edit->fontMetrics().horizontalAdvance(c));
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    // Beside its text a line edit keeps a margin of 2 pixels each side and the caret.
    const QSize text(5 * digit + 2 * 2 + 1, edit->height());
    const int width =
        edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, text, edit).width();
    edit->resize(std::max(edit->width(), width), edit->height());
}

QString AskForCaFile(QWidget* owner) {
    return QFileDialog::getOpenFileName(
        owner, FromSjis(Sjis("証明書ファイルの選択")), QString(),
        FromSjis(Sjis("証明書 (*.pem *.crt);;すべてのファイル (*)")));
}

}  // namespace

TFrmOption::TFrmOption(QWidget* parent) : QDialog(parent), ChooseCaFile(AskForCaFile) {
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
    Edit_userid = AddRow(GroupBox1, Label1, "HELOの名前：", 20, kEditLeft, 213);
    Edit_userid->setPlaceholderText(FromSjis(Sjis("空ならこのパソコンの名前")));
    Edit_smtp = AddRow(GroupBox1, Label2, "ＳＭＴＰサーバ：", 46, kEditLeft, 213);
    Edit_port = AddRow(GroupBox1, Label3, "ポート：", 72, kEditLeft, 29);
    Edit_port->setText(kDefaultPort);
    ShowFiveDigits(Edit_port);

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
    CreateSecurityPage();
    CreateCharsetPage();
    CreateSentCopyPage();
    CreateOAuthPage();
    ComposePages = new userdata::TComposePages(PageControl1);
}

void TFrmOption::CreateCharsetPage() {
    TabSheet4 = new QWidget;
    PageControl1->addTab(TabSheet4, FromSjis(Sjis("メール")));
    GroupBox6 = new QGroupBox(FromSjis(Sjis("文字コード")), TabSheet4);
    GroupBox6->setGeometry(8, 8, 343, 105);
    ComboBox_charset = new QComboBox(GroupBox6);
    ComboBox_charset->setGeometry(kEditLeft, 20, 121, kRowHeight);
    for (const Protection& c : kCharsets)
        ComboBox_charset->addItem(FromSjis(Sjis(c.caption)), QString::fromLatin1(c.value));
    Label16 = new QLabel(FromSjis(Sjis("文字コード：")), GroupBox6);
    Label16->setGeometry(kLabelLeft, 20, kEditLeft - kLabelLeft - kLabelGap, kRowHeight);
    Label16->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label16->setBuddy(ComboBox_charset);
    Label_charset =
        new QLabel(FromSjis(Sjis("自動: ふだんは ISO-2022-JP で送り、絵文字など ISO-2022-JP "
                                 "で表せない文字があるときだけ、メール全体を UTF-8 で送ります。")),
                   GroupBox6);
    Label_charset->setGeometry(kLabelLeft, 46, 331, 52);
    Label_charset->setWordWrap(true);
}

void TFrmOption::CreateSecurityPage() {
    TabSheet2 = new QWidget;
    PageControl1->addTab(TabSheet2, FromSjis(Sjis("セキュリティ")));

    GroupBox3 = new QGroupBox(FromSjis(Sjis("サーバーとの接続")), TabSheet2);
    GroupBox3->setGeometry(8, 8, 343, 77);
    ComboBox_security = AddProtectionRow(GroupBox3, Label6, 20, kProtections);
    Edit_cafile = AddRow(GroupBox3, Label7, "証明書ファイル：", 46, kSecurityEditLeft, 197);
    Button_cafile = new QPushButton("...", GroupBox3);
    Button_cafile->setGeometry(309, 46, 26, kRowHeight);

    GroupBox4 = new QGroupBox(FromSjis(Sjis("認証")), TabSheet2);
    GroupBox4->setGeometry(8, 93, 343, 105);
    Edit_authuser = AddRow(GroupBox4, Label8, "認証ユーザー名：", 20, kSecurityEditLeft, 227);
    Edit_password = AddRow(GroupBox4, Label9, "パスワード：", 46, kSecurityEditLeft, 161);
    Edit_password->setEchoMode(QLineEdit::Password);
    Button_forget = new QPushButton(FromSjis(Sjis("忘れる")), GroupBox4);
    Button_forget->setGeometry(273, 46, 62, kRowHeight);
    Label_keyring = new QLabel(GroupBox4);
    Label_keyring->setGeometry(kLabelLeft, 70, 331, 30);
    Label_keyring->setWordWrap(true);

    connect(ComboBox_security, &QComboBox::activated, this, &TFrmOption::ComboBox_securityChange);
    connect(Button_cafile, &QPushButton::clicked, this, &TFrmOption::Button_cafileClick);
    connect(Button_forget, &QPushButton::clicked, this, &TFrmOption::Button_forgetClick);
}

void TFrmOption::CreateSentCopyPage() {
    TabSheet3 = new QWidget;
    PageControl1->addTab(TabSheet3, FromSjis(Sjis("送信済み")));
    GroupBox5 = new QGroupBox(FromSjis(Sjis("送信済みフォルダー（ＩＭＡＰ）")), TabSheet3);
    GroupBox5->setGeometry(8, 8, 343, 190);
    CheckBox_savesent =
        new QCheckBox(FromSjis(Sjis("送信したメールのコピーを保存する")), GroupBox5);
    CheckBox_savesent->setGeometry(kLabelLeft + 4, 18, 323, kRowHeight);
    Edit_imaphost = AddRow(GroupBox5, Label10, "ＩＭＡＰサーバ：", 42, kSecurityEditLeft, 227);
    Edit_imaphost->setPlaceholderText(FromSjis(Sjis("空欄ならＳＭＴＰサーバ")));
    ComboBox_imapsecurity = AddProtectionRow(GroupBox5, Label11, 66, kImapProtections);
    Edit_imapport = AddRow(GroupBox5, Label12, "ポート：", 90, kSecurityEditLeft, 45);
    Edit_imapport->setPlaceholderText(kUsualImapPorts[0]);
    ShowFiveDigits(Edit_imapport);
    Edit_imapuser = AddRow(GroupBox5, Label13, "ユーザー名：", 114, kSecurityEditLeft, 227);
    Edit_imapuser->setPlaceholderText(FromSjis(Sjis("空欄なら認証ユーザー名")));
    Edit_imappassword = AddRow(GroupBox5, Label14, "パスワード：", 138, kSecurityEditLeft, 227);
    Edit_imappassword->setEchoMode(QLineEdit::Password);
    Edit_imappassword->setPlaceholderText(FromSjis(Sjis("認証ユーザーと別のときだけ")));
    Edit_sentfolder = AddRow(GroupBox5, Label15, "フォルダー：", 162, kSecurityEditLeft, 227);
    Edit_sentfolder->setPlaceholderText(
        FromSjis(Sjis("空欄なら \\Sent の印のもの、なければ Sent")));
    connect(ComboBox_imapsecurity, &QComboBox::activated, this,
            &TFrmOption::ComboBox_imapsecurityChange);
}

// Without a keyring there is nowhere to keep a password: the compose window asks at send time.
void TFrmOption::ShowKeyringState() {
    const bool available = platform::CurrentCredentialStore().Available();
    Edit_password->setEnabled(available);
    Edit_imappassword->setEnabled(available);
    Button_forget->setEnabled(available);
    Label_keyring->setText(FromSjis(Sjis(
        available
            ? "パスワードはデスクトップのキーリングに保存します。空欄なら保存済みのものを使います。"
            : "キーリングが使えないため、パスワードは保存できません。送信のときに尋ねます。")));
}

QLineEdit* TFrmOption::AddRow(QWidget* group, QLabel*& label, const char* caption, int top,
                              int editLeft, int editWidth) {
    auto* edit = new QLineEdit(group);
    edit->setGeometry(editLeft, top, editWidth, kRowHeight);
    label = CaptionFor(edit, caption, editLeft);
    return edit;
}

std::vector<TFrmOption::Field> TFrmOption::Fields() const {
    return {{"UserID", Edit_userid},
            {"Smtp", Edit_smtp},
            {"Port", Edit_port},
            {"Name", Edit_name},
            {"Email", Edit_email},
            {"AuthUser", Edit_authuser},
            {"CAFile", Edit_cafile},
            {"ImapHost", Edit_imaphost},
            {"ImapPort", Edit_imapport},
            {"ImapUser", Edit_imapuser},
            {"SentFolder", Edit_sentfolder},
            {"OAuthAuthorizeUrl", Edit_authorizeurl},
            {"OAuthTokenUrl", Edit_tokenurl},
            {"OAuthClientId", Edit_clientid},
            {"OAuthClientSecret", Edit_clientsecret},
            {"OAuthScope", Edit_scope}};
}

// A stored value the list does not know is shown, and kept, as it is; an empty one is the
// list's value unset.
void TFrmOption::ShowChoice(QComboBox* box, const std::string& value, const char* unset) {
    const QString stored = FromSjis(value.empty() ? unset : value);
    int index = box->findData(stored);
    if (index < 0) {
        box->addItem(stored, stored);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

std::string TFrmOption::ChoiceValue(const QComboBox* box) {
    return platform::ToSjis(box->currentData().toString());
}

std::string TFrmOption::PasswordKey() const {
    return platform::CredentialKey(platform::ToSjis(Edit_authuser->text()),
                                   platform::ToSjis(Edit_smtp->text()));
}

bool TFrmOption::StorePassword() {
    if (Edit_password->text().isEmpty())
        return true;  // the kept one stays
    if (Edit_authuser->text().isEmpty()) {
        platform::ShowMessage(Sjis(kNeedUser), platform::MsgIcon::Warning);
        return false;
    }
    return KeepPassword(Edit_password, PasswordKey());
}

// The password of an IMAP user other than the AUTH user, under that user and the IMAP server
// (the SMTP server when none is named), as the send looks it up. The AUTH user's own password
// serves its IMAP login and is not stored twice.
bool TFrmOption::StoreImapPassword() {
    if (Edit_imappassword->text().isEmpty())
        return true;
    const QString user = Edit_imapuser->text();
    if (user.isEmpty() || user == Edit_authuser->text()) {
        platform::ShowMessage(Sjis("ＩＭＡＰのユーザー名が認証ユーザー名と同じときは、認証の"
                                   "パスワードを使います。別のユーザー名を入力してください。"),
                              platform::MsgIcon::Warning);
        return false;
    }
    const QString host =
        Edit_imaphost->text().isEmpty() ? Edit_smtp->text() : Edit_imaphost->text();
    return KeepPassword(Edit_imappassword,
                        platform::CredentialKey(platform::ToSjis(user), platform::ToSjis(host)));
}

bool TFrmOption::KeepPassword(QLineEdit* edit, const std::string& key) {
    if (!platform::CurrentCredentialStore().WritePassword(key,
                                                          edit->text().toUtf8().toStdString())) {
        platform::ShowMessage(Sjis("パスワードをキーリングに保存できませんでした。"),
                              platform::MsgIcon::Warning);
        return false;
    }
    edit->clear();
    return true;
}

void TFrmOption::FormCreate() {
    ShowKeyringState();
    try {
        TRegIniFile reg;
        for (const Field& field : Fields()) {
            const std::string fallback = field.edit == Edit_port ? kDefaultPort : "";
            field.edit->setText(
                field.edit == Edit_name
                    ? QString::fromStdString(reg.ReadUtf8String(kSection, field.name, fallback))
                    : FromSjis(reg.ReadString(kSection, field.name, fallback)));
        }
        ShowChoice(ComboBox_security, reg.ReadString(kSection, "Security", ""), "none");
        ShowChoice(ComboBox_imapsecurity, reg.ReadString(kSection, "ImapSecurity", ""), "tls");
        ShowChoice(ComboBox_charset, reg.ReadString(kSection, "Charset", ""), "auto");
        ShowChoice(ComboBox_authmethod, reg.ReadString(kSection, "AuthMethod", ""), "password");
        CheckBox_savesent->setChecked(reg.ReadString(kSection, "SaveSent", "") == "1");
        ComposePages->Load(reg);
    } catch (const std::exception& e) {
        platform::HandleException(e);
    }
}

void TFrmOption::Button1Click() {
    try {
        if (!StorePassword() || !StoreImapPassword())
            return;
        TRegIniFile reg;
        for (const Field& field : Fields())
            StoreField(reg, field);
        reg.WriteString(kSection, "Security", ChoiceValue(ComboBox_security));
        reg.WriteString(kSection, "Charset", ChoiceValue(ComboBox_charset));
        reg.WriteString(kSection, "AuthMethod", ChoiceValue(ComboBox_authmethod));
        reg.WriteString(kSection, "ImapSecurity", ChoiceValue(ComboBox_imapsecurity));
        reg.WriteString(kSection, "SaveSent", CheckBox_savesent->isChecked() ? "1" : "");
        ComposePages->Store(reg);
    } catch (const std::exception& e) {
        platform::HandleException(e);
        return;
    }
    accept();
}

// The sender's name may hold any character: a message that needs one goes out in UTF-8. Every
// other value must fit Shift_JIS.
void TFrmOption::StoreField(TRegIniFile& reg, const Field& field) {
    if (field.edit == Edit_name)
        reg.WriteUtf8String(kSection, field.name, field.edit->text().toStdString());
    else
        reg.WriteString(kSection, field.name, platform::ToSjis(field.edit->text()));
}

void TFrmOption::Button2Click() {
    reject();
}

void TFrmOption::ComboBox_securityChange() {
    const int chosen = ComboBox_security->currentIndex();
    if (chosen >= 1)  // not for no protection
        OfferUsualPort(Edit_port, chosen, kUsualPorts);
}

void TFrmOption::ComboBox_imapsecurityChange() {
    OfferUsualPort(Edit_imapport, ComboBox_imapsecurity->currentIndex(), kUsualImapPorts);
}

// The port of the chosen protection, while the field holds the usual port of another one; any
// other port, and a value the list does not know, are the user's own choice.
void TFrmOption::OfferUsualPort(QLineEdit* port, int chosen, std::span<const char* const> usual) {
    if (chosen < 0 || chosen >= static_cast<int>(usual.size()))
        return;
    for (const char* candidate : usual) {
        if (port->text() == QLatin1String(candidate)) {
            port->setText(usual[chosen]);
            return;
        }
    }
}

void TFrmOption::Button_cafileClick() {
    const QString path = ChooseCaFile(this);
    if (!path.isEmpty())
        Edit_cafile->setText(path);
}

void TFrmOption::Button_forgetClick() {
    try {
        if (Edit_authuser->text().isEmpty()) {
            platform::ShowMessage(Sjis(kNeedUser), platform::MsgIcon::Warning);
        } else if (platform::CurrentCredentialStore().DeletePassword(PasswordKey())) {
            Label_keyring->setText(FromSjis(Sjis("保存していたパスワードを消しました。")));
        } else {
            platform::ShowMessage(Sjis("パスワードをキーリングから消せませんでした。"),
                                  platform::MsgIcon::Warning);
        }
    } catch (const std::exception& e) {
        platform::HandleException(e);
    }
}
