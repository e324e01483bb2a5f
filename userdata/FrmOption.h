#pragma once
// The options dialog: the SMTP server, port, user id, sender name and sender address, read from
// the settings store when the dialog is created and written back by OK. A second page holds the
// connection's protection, the AUTH user name, its password (kept in the keyring, never in the
// settings store) and an optional CA bundle. A third page holds the character set messages go out
// in; a fourth the copy of each sent message in the Sent mailbox over IMAP: whether to keep it, the
// server, protection, port, user, that user's password (in the keyring) and the mailbox. The
// next chooses between the password and OAuth 2.0, holds the provider's endpoints, and signs the
// user in there in the browser (the refresh token goes to the keyring). The last two pages
// (ComposePages) hold the signature and the checks before sending.
#include <QDialog>
#include <QString>
#include <functional>
#include <span>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWidget;
class TRegIniFile;
namespace userdata {
class TComposePages;
}

class TFrmOption : public QDialog {
    Q_OBJECT
  public:
    explicit TFrmOption(QWidget* parent = nullptr);

    // Fills the fields of both pages from the store and tells whether a keyring answers; a value
    // that cannot be read is reported and the fields after it keep their initial text.
    void FormCreate();
    // "OK(&O)": keeps a typed password in the keyring, stores the fields as typed and closes; a
    // password that cannot be kept or a failed write is reported and the dialog stays open.
    void Button1Click();
    // "キャンセル": closes without storing.
    void Button2Click();
    // A protection chosen while the port is that of another protection offers its usual port.
    void ComboBox_securityChange();
    // The same for the protection of the Sent copy's IMAP connection (993 and 143).
    void ComboBox_imapsecurityChange();
    // "...": puts the chosen CA bundle into the field.
    void Button_cafileClick();
    // "忘れる": deletes the password kept for the user and server as typed.
    void Button_forgetClick();
    // A provider chosen fills the endpoints and scope (Microsoft's for the tenant typed beside).
    void ComboBox_providerChange();
    // "サインイン": signs the AUTH user in with the fields as typed; pressed again while the
    // sign-in waits for the browser, it stops the wait.
    void Button_signinClick();

    // Asks for a CA bundle file; an empty text when the user cancels. Tests put in their own.
    std::function<QString(QWidget* owner)> ChooseCaFile;

    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QGroupBox* GroupBox1;
    QGroupBox* GroupBox2;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLineEdit* Edit_userid;
    QLineEdit* Edit_smtp;
    QLineEdit* Edit_port;
    QLineEdit* Edit_name;
    QLineEdit* Edit_email;
    QPushButton* Button1;
    QPushButton* Button2;

    QWidget* TabSheet2;
    QGroupBox* GroupBox3;
    QGroupBox* GroupBox4;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Label9;
    QLabel* Label_keyring;  // whether and how the password is kept
    QComboBox* ComboBox_security;
    QLineEdit* Edit_cafile;
    QPushButton* Button_cafile;
    QLineEdit* Edit_authuser;
    QLineEdit* Edit_password;
    QPushButton* Button_forget;

    QWidget* TabSheet3;
    QGroupBox* GroupBox5;
    QWidget* TabSheet4;
    QGroupBox* GroupBox6;
    QLabel* Label16;
    QLabel* Label_charset;  // what the automatic choice does
    QComboBox* ComboBox_charset;
    QCheckBox* CheckBox_savesent;
    QLabel* Label10;
    QLabel* Label11;
    QLabel* Label12;
    QLabel* Label13;
    QLabel* Label14;
    QLabel* Label15;
    QLineEdit* Edit_imaphost;
    QComboBox* ComboBox_imapsecurity;
    QLineEdit* Edit_imapport;
    QLineEdit* Edit_imapuser;
    QLineEdit* Edit_imappassword;
    QLineEdit* Edit_sentfolder;

    userdata::TComposePages* ComposePages;
    QWidget* TabSheet5;
    QGroupBox* GroupBox7;
    QLabel* Label17;
    QLabel* Label18;
    QLabel* Label19;
    QLabel* Label20;
    QLabel* Label21;
    QLabel* Label22;
    QLabel* Label23;
    QLabel* Label_signin;  // how the sign-in went
    QComboBox* ComboBox_authmethod;
    QComboBox* ComboBox_provider;
    QLineEdit* Edit_tenant;
    QLineEdit* Edit_authorizeurl;
    QLineEdit* Edit_tokenurl;
    QLineEdit* Edit_clientid;
    QLineEdit* Edit_clientsecret;
    QLineEdit* Edit_scope;
    QPushButton* Button_signin;

  private:
    void CreateControls();
    void CreateSecurityPage();
    void CreateCharsetPage();
    void CreateSentCopyPage();
    void CreateOAuthPage();
    void EndSignIn(const QString& outcome);
    QLineEdit* AddRow(QWidget* group, QLabel*& label, const char* caption, int top, int editLeft,
                      int editWidth);
    void ShowKeyringState();
    static void ShowChoice(QComboBox* box, const std::string& value, const char* unset);
    static std::string ChoiceValue(const QComboBox* box);
    static void OfferUsualPort(QLineEdit* port, int chosen, std::span<const char* const> usual);
    // Store a typed password; false (after telling the user) when it could not be kept.
    bool StorePassword();
    bool StoreImapPassword();
    static bool KeepPassword(QLineEdit* edit, const std::string& key);
    std::string PasswordKey() const;
    // The fields in the order they are read and written, with their value names.
    struct Field {
        const char* name;
        QLineEdit* edit;
    };
    std::vector<Field> Fields() const;
    void StoreField(TRegIniFile& reg, const Field& field);

    bool signingIn_ = false;
    bool stopSignIn_ = false;
};
