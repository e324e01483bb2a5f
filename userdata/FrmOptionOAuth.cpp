// TFrmOption: the page of OAuth 2.0, where AUTH proves the user with an access token instead of
// the password, and the sign-in in the browser that gives the refresh token for it.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>

#include "oauth/OAuthSignIn.h"
#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"
#include "platform/Shell.h"
#include "userdata/FrmOption.h"

using platform::FromSjis;
using platform::Sjis;

namespace {

constexpr int kLeft = 108;  // the fields, after their captions
constexpr int kRowHeight = 20;

// The rows of the page, from the top of its group.
constexpr int kTops[] = {18, 40, 62, 84, 106, 128, 150, 172};

QComboBox* AddChoiceRow(QWidget* group, QLabel*& label, const char* caption, int top) {
    auto* box = new QComboBox(group);
    box->setGeometry(kLeft, top, 121, kRowHeight);
    label = new QLabel(FromSjis(Sjis(caption)), group);
    label->setGeometry(4, top, kLeft - 8, kRowHeight);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setBuddy(box);
    return box;
}

QString Utf8Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

}  // namespace

void TFrmOption::CreateOAuthPage() {
    TabSheet5 = new QWidget;
    PageControl1->addTab(TabSheet5, "OAuth");
    GroupBox7 = new QGroupBox(Utf8Text("OAuth 2.0（パスワードの代わりのサインイン）"), TabSheet5);
    GroupBox7->setGeometry(8, 8, 343, 198);

    ComboBox_authmethod = AddChoiceRow(GroupBox7, Label17, "認証の方法：", kTops[0]);
    ComboBox_authmethod->addItem(Utf8Text("パスワード"), "password");
    ComboBox_authmethod->addItem("OAuth 2.0", "oauth");
    ComboBox_provider = AddChoiceRow(GroupBox7, Label18, "プロバイダー：", kTops[1]);
    ComboBox_provider->addItem(Utf8Text("その他"), "");
    ComboBox_provider->addItem("Microsoft 365 / Outlook.com", "microsoft");
    ComboBox_provider->addItem("Google", "google");
    Edit_tenant = new QLineEdit(GroupBox7);
    Edit_tenant->setGeometry(kLeft + 125, kTops[1], 102, kRowHeight);
    Edit_tenant->setToolTip(Utf8Text("Microsoft のディレクトリの ID かドメイン名。空なら common"));
    Edit_tenant->setPlaceholderText(Utf8Text("テナント"));
    Edit_authorizeurl = AddRow(GroupBox7, Label19, "認可URL：", kTops[2], kLeft, 227);
    Edit_tokenurl = AddRow(GroupBox7, Label20, "トークンURL：", kTops[3], kLeft, 227);
    Edit_clientid = AddRow(GroupBox7, Label21, "クライアントID：", kTops[4], kLeft, 227);
    Edit_clientid->setPlaceholderText(Utf8Text("自分で登録したアプリのID"));
    Edit_clientsecret = AddRow(GroupBox7, Label22, "シークレット：", kTops[5], kLeft, 227);
    Edit_clientsecret->setPlaceholderText(Utf8Text("Google のときだけ"));
    Edit_scope = AddRow(GroupBox7, Label23, "スコープ：", kTops[6], kLeft, 227);
    Button_signin = new QPushButton(Utf8Text("サインイン"), GroupBox7);
    Button_signin->setGeometry(kLeft, kTops[7], 80, kRowHeight);
    Label_signin = new QLabel(GroupBox7);
    Label_signin->setGeometry(kLeft + 86, kTops[7], 335 - kLeft - 86, kRowHeight);
    Label_signin->setTextInteractionFlags(Qt::TextSelectableByMouse);

    connect(ComboBox_provider, &QComboBox::activated, this, &TFrmOption::ComboBox_providerChange);
    connect(Button_signin, &QPushButton::clicked, this, &TFrmOption::Button_signinClick);
}

void TFrmOption::ComboBox_providerChange() {
    std::string name = ComboBox_provider->currentData().toString().toStdString();
    if (name.empty())
        return;
    if (name == "microsoft" && !Edit_tenant->text().trimmed().isEmpty())
        name += ":" + Edit_tenant->text().trimmed().toStdString();
    const std::optional<TOAuthEndpoints> preset = OAuthPreset(name);
    if (!preset) {
        platform::ShowMessage(Sjis("テナントは、ディレクトリの ID かドメイン名で入力してね。"));
        return;
    }
    Edit_authorizeurl->setText(QString::fromStdString(preset->AuthorizeUrl));
    Edit_tokenurl->setText(QString::fromStdString(preset->TokenUrl));
    Edit_scope->setText(QString::fromStdString(preset->Scope));
}

void TFrmOption::Button_signinClick() {
    if (signingIn_) {
        stopSignIn_ = true;
        return;
    }
    signingIn_ = true;
    stopSignIn_ = false;
    Button_signin->setText(Utf8Text("やめる"));
    Button1->setEnabled(false);
    Button2->setEnabled(false);
    const TOAuthEndpoints endpoints{Edit_authorizeurl->text().trimmed().toStdString(),
                                    Edit_tokenurl->text().trimmed().toStdString(),
                                    Edit_clientid->text().trimmed().toStdString(),
                                    Edit_clientsecret->text().trimmed().toStdString(),
                                    Edit_scope->text().trimmed().toStdString()};
    TSignInSteps steps;
    steps.ShowUrl = [this](const std::string& url) {
        Label_signin->setText(Utf8Text("ブラウザーでサインインしてね…"));
        // Where no browser opens, the address can be copied from here.
        Label_signin->setToolTip(QString::fromStdString(url));
    };
    steps.Browser = &platform::CurrentShell();
    steps.Canceled = [this] { return stopSignIn_; };
    try {
        OAuthSignIn(endpoints, platform::ToSjis(Edit_authuser->text()), steps);
        EndSignIn(Utf8Text("サインインしました。"));
    } catch (const std::exception& e) {
        EndSignIn(Utf8Text("サインインできませんでした。"));
        platform::HandleException(e);
    }
}

void TFrmOption::EndSignIn(const QString& outcome) {
    Label_signin->setText(outcome);
    Label_signin->setToolTip(QString());
    Button_signin->setText(Utf8Text("サインイン"));
    Button1->setEnabled(true);
    Button2->setEnabled(true);
    signingIn_ = false;
}
