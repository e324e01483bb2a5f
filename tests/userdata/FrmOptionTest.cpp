// The options dialog over a private settings store.
#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStringList>
#include <QTabWidget>

#include "platform/Application.h"
#include "tests/support/KeptPasswords.h"
#include "tests/support/RecordingMessageBoxes.h"
#include "tests/support/TempSettings.h"
#include "userdata/FrmOption.h"

namespace {

const QStringList kNames = {"UserID", "Smtp", "Port", "Name", "Email"};

std::vector<QLineEdit*> FieldsOf(const TFrmOption& dialog) {
    return {dialog.Edit_userid, dialog.Edit_smtp, dialog.Edit_port, dialog.Edit_name,
            dialog.Edit_email};
}

QStringList Texts(const TFrmOption& dialog) {
    QStringList texts;
    for (const QLineEdit* edit : FieldsOf(dialog))
        texts << edit->text();
    return texts;
}

void Type(TFrmOption& dialog, const QStringList& texts) {
    const auto fields = FieldsOf(dialog);
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i]->setText(texts[static_cast<int>(i)]);
}

QStringList Stored() {
    QSettings settings("Orvane", "Tidemark");
    QStringList values;
    for (const QString& name : kNames) {
        values << settings.value("Settings/" + name, "(absent)").toString();
    }
    return values;
}

}  // namespace

class FrmOptionTest : public testing::Test {
  protected:
    TempSettings store;
    RecordingMessageBoxes boxes;
};

TEST_F(FrmOptionTest, FreshStoreShowsPort25AndCreatesOnlyTheKey) {
    TFrmOption dialog;
    EXPECT_EQ(Texts(dialog), (QStringList{"", "", "25", "", ""}));
    dialog.show();
    dialog.Button2Click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(QFile::exists(store.FilePath()));
    EXPECT_TRUE(QSettings("Orvane", "Tidemark").childGroups().isEmpty());
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FrmOptionTest, OkStoresExactlyWhatWasTyped) {
    const std::vector<QStringList> typed = {
        {"", "", "", "", ""},
        {" user ", "smtp.example.invalid ", "abc", "山田　太郎", "taro@example.invalid"},
        {"u", "127.0.0.1", "2525", "ｶﾀｶﾅ", ""},
    };
    for (const auto& texts : typed) {
        TFrmOption dialog;
        dialog.show();
        Type(dialog, texts);
        dialog.Button1Click();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(Stored(), texts);
        EXPECT_EQ(Texts(TFrmOption()), texts);  // an empty port stays empty
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

// Reopened, a five-digit port shows whole: the first digit at the field's left edge, the last
// before its right one, nothing scrolled out of sight.
TEST_F(FrmOptionTest, PortFieldsShowFiveDigitsWhenReopened) {
    {
        TFrmOption dialog;
        dialog.Edit_port->setText("32025");
        dialog.Edit_imapport->setText("65535");
        dialog.Button1Click();
    }
    TFrmOption dialog;
    dialog.show();
    for (QLineEdit* port : {dialog.Edit_port, dialog.Edit_imapport}) {
        SCOPED_TRACE(port->text().toStdString());
        EXPECT_EQ(5, port->text().size());
        port->grab();  // lays the text out as the screen shows it
        const int middle = port->height() / 2;
        EXPECT_EQ(0, port->cursorPositionAt(QPoint(4, middle)));
        EXPECT_EQ(5, port->cursorPositionAt(QPoint(port->width() - 4, middle)));
        EXPECT_LE(port->geometry().right(), port->parentWidget()->width());
    }
}

TEST_F(FrmOptionTest, CancelStoresNothing) {
    {
        TFrmOption dialog;
        Type(dialog, {"a", "b", "1", "c", "d"});
        dialog.Button1Click();
    }
    TFrmOption dialog;
    dialog.show();
    Type(dialog, {"x", "x", "x", "x", "x"});
    dialog.reject();
    EXPECT_EQ(Stored(), (QStringList{"a", "b", "1", "c", "d"}));
}

TEST_F(FrmOptionTest, ValueOfAnotherTypeStopsTheFilling) {
    QSettings settings("Orvane", "Tidemark");
    settings.setValue("Settings/UserID", "me");
    settings.setValue("Settings/Smtp", QStringList{"a", "b"});
    settings.setValue("Settings/Port", "587");
    settings.sync();
    TFrmOption dialog;
    EXPECT_EQ(Texts(dialog), (QStringList{"me", "", "25", "", ""}));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "'Smtp' のデータ型が不正です.");
    EXPECT_EQ(boxes.boxes[0].buttons, platform::MsgButtons::Ok);
    EXPECT_EQ(boxes.boxes[0].caption, platform::SjisToUtf8(platform::ApplicationTitle()));
}

TEST_F(FrmOptionTest, FailedWriteIsShownAndTheDialogStays) {
    QFile blocker(store.Dir() + "/plain-file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    TempSettings::PointAt(blocker.fileName() + "/config");
    TFrmOption dialog;
    dialog.show();
    Type(dialog, {"a", "b", "1", "c", "d"});
    dialog.Button1Click();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"キー Settings の作成に失敗しました."});
}

// The sender's name may hold any character (the message then goes out in UTF-8); the other
// values must fit Shift_JIS.
TEST_F(FrmOptionTest, TextOutsideTheCodePageIsStoredOnlyAsTheName) {
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
    {
        TFrmOption dialog;
        dialog.show();
        Type(dialog, {"a", "b", "1", "c", emoji});
        dialog.Button1Click();
        EXPECT_TRUE(dialog.isVisible());
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_NE(boxes.boxes[0].text.find("U+1F600"), std::string::npos);
        EXPECT_EQ(Stored(), (QStringList{"a", "b", "1", "c", "(absent)"}));
    }
    TFrmOption dialog;
    Type(dialog, {"a", "b", "1", "山田 " + emoji, "d"});
    dialog.Button1Click();
    ASSERT_EQ(boxes.boxes.size(), 1u) << boxes.boxes.back().text;
    EXPECT_EQ(Stored(), (QStringList{"a", "b", "1", "山田 " + emoji, "d"}));
    EXPECT_EQ(TFrmOption().Edit_name->text(), "山田 " + emoji);
}

// 自動 unless the store says otherwise; a value the list does not know is kept.
TEST_F(FrmOptionTest, CharsetIsShownAndStored) {
    const struct {
        const char* stored;  // nullptr: nothing stored
        const char* shown;
        int choose;  // -1: leave
        const char* kept;
    } cases[] = {
        {nullptr, "自動", -1, "auto"},         {"", "自動", 2, "utf-8"},
        {"utf-8", "UTF-8", 1, "iso-2022-jp"},  {"iso-2022-jp", "ISO-2022-JP", 0, "auto"},
        {"latin-1", "latin-1", -1, "latin-1"},
    };
    for (const auto& c : cases) {
        QSettings settings("Orvane", "Tidemark");
        settings.remove("Settings/Charset");
        if (c.stored != nullptr)
            settings.setValue("Settings/Charset", c.stored);
        settings.sync();
        TFrmOption dialog;
        EXPECT_EQ(dialog.ComboBox_charset->currentText().toStdString(), c.shown);
        if (c.choose >= 0)
            dialog.ComboBox_charset->setCurrentIndex(c.choose);
        dialog.Button1Click();
        EXPECT_EQ(QSettings("Orvane", "Tidemark").value("Settings/Charset").toString(), c.kept);
    }
    TFrmOption dialog;
    EXPECT_EQ(dialog.PageControl1->tabText(2).toStdString(), "メール");
    EXPECT_EQ(dialog.GroupBox6->title().toStdString(), "文字コード");
    EXPECT_EQ(dialog.Label16->text().toStdString(), "文字コード：");
    EXPECT_EQ(dialog.Label16->buddy(), dialog.ComboBox_charset);
}

TEST_F(FrmOptionTest, Layout) {
    TFrmOption dialog;
    EXPECT_EQ(dialog.windowTitle().toStdString(), "オプション設定");
    EXPECT_EQ(dialog.size(), QSize(375, 304));
    EXPECT_EQ(dialog.PageControl1->height(), 239);
    ASSERT_EQ(dialog.PageControl1->count(), 7);
    EXPECT_EQ(dialog.PageControl1->tabText(0).toStdString(), "接続設定");
    EXPECT_EQ(dialog.GroupBox1->title().toStdString(), "サーバー情報");
    EXPECT_EQ(dialog.GroupBox1->size(), QSize(343, 105));
    EXPECT_EQ(dialog.GroupBox2->title().toStdString(), "個人情報");
    EXPECT_EQ(dialog.GroupBox2->size(), QSize(343, 77));
    EXPECT_LT(dialog.GroupBox1->geometry().bottom(), dialog.GroupBox2->y());

    struct Row {
        QLabel* label;
        const char* caption;
        QLineEdit* edit;
        QGroupBox* group;
        int width;
    };
    const std::vector<Row> rows = {
        {dialog.Label1, "HELOの名前：", dialog.Edit_userid, dialog.GroupBox1, 213},
        {dialog.Label2, "ＳＭＴＰサーバ：", dialog.Edit_smtp, dialog.GroupBox1, 213},
        {dialog.Label3, "ポート：", dialog.Edit_port, dialog.GroupBox1, 0},  // five digits
        {dialog.Label4, "名前：", dialog.Edit_name, dialog.GroupBox2, 245},
        {dialog.Label5, "メールアドレス：", dialog.Edit_email, dialog.GroupBox2, 245},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.label->text().toStdString(), r.caption);
        EXPECT_EQ(r.label->buddy(), r.edit) << r.caption;
        EXPECT_TRUE(r.label->alignment() & Qt::AlignRight) << r.caption;
        EXPECT_EQ(r.edit->parentWidget(), r.group) << r.caption;
        if (r.width) {
            EXPECT_EQ(r.edit->width(), r.width) << r.caption;
        }
        EXPECT_LE(r.edit->geometry().right(), r.group->width()) << r.caption;
        EXPECT_EQ(r.label->y(), r.edit->y()) << r.caption;
    }
    EXPECT_EQ(dialog.Button1->text().toStdString(), "OK(&O)");
    EXPECT_EQ(dialog.Button2->text().toStdString(), "キャンセル");
    EXPECT_TRUE(dialog.Button1->isDefault());
    EXPECT_EQ(dialog.Button1->size(), QSize(105, 27));
    EXPECT_EQ(dialog.Button2->size(), QSize(105, 27));
    EXPECT_GT(dialog.Button1->y(), dialog.PageControl1->geometry().bottom());
    EXPECT_LT(dialog.Button1->x(), dialog.Button2->x());
    EXPECT_LE(dialog.Button2->geometry().right(), dialog.width());
}

// The security page, with a keyring in memory.
class FrmOptionSecurityTest : public FrmOptionTest {
  protected:
    static void Choose(TFrmOption& dialog, int protection) {
        dialog.ComboBox_security->setCurrentIndex(protection);
        emit dialog.ComboBox_security->activated(protection);
    }
    static QString StoredValue(const char* name) {
        return QSettings("Orvane", "Tidemark")
            .value(QString("Settings/") + name, "(absent)")
            .toString();
    }
    KeptPasswords keyring;
};

TEST_F(FrmOptionSecurityTest, OkStoresTheSettingsAndKeepsThePasswordOnlyInTheKeyring) {
    struct Step {
        int protection;
        const char* user;
        const char* caFile;
        const char* typed;  // password field
        const char* security;
        const char* kept;  // password under "taro@mail.example.invalid" afterwards
    };
    const std::vector<Step> steps = {
        {0, "", "", "", "none", nullptr},
        {1, "taro", "/etc/ssl/会社.pem", "sëcret-42", "starttls", "sëcret-42"},
        {2, "taro", "", "", "tls", "sëcret-42"},  // an empty field keeps the password
        {2, "taro", "", "n3w", "tls", "n3w"},
    };
    const std::string key = platform::Sjis("taro@mail.example.invalid");
    for (const Step& s : steps) {
        SCOPED_TRACE(s.security);
        TFrmOption dialog;
        dialog.show();
        dialog.Edit_smtp->setText("mail.example.invalid");
        Choose(dialog, s.protection);
        dialog.Edit_authuser->setText(QString::fromUtf8(s.user));
        dialog.Edit_cafile->setText(QString::fromUtf8(s.caFile));
        dialog.Edit_password->setText(QString::fromUtf8(s.typed));
        dialog.Button1->click();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(StoredValue("Security"), s.security);
        EXPECT_EQ(StoredValue("AuthUser").toStdString(), s.user);
        EXPECT_EQ(StoredValue("CAFile").toStdString(), s.caFile);
        EXPECT_EQ(keyring.ReadPassword(key),
                  s.kept ? std::optional<std::string>(s.kept) : std::nullopt);

        TFrmOption again;
        EXPECT_EQ(again.ComboBox_security->currentIndex(), s.protection);
        EXPECT_EQ(again.Edit_authuser->text().toStdString(), s.user);
        EXPECT_TRUE(again.Edit_password->text().isEmpty());
    }
    QFile file(store.FilePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_TRUE(content.contains("AuthUser=taro"));
    EXPECT_FALSE(content.contains("cret-42"));
    EXPECT_FALSE(content.contains("n3w"));
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FrmOptionSecurityTest, StoredProtectionIsShownAndAnUnknownOneKept) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {nullptr, "なし"},        {"", "なし"},       {"none", "なし"},
        {"starttls", "STARTTLS"}, {"tls", "SSL/TLS"}, {"ssl", "ssl"},
    };
    for (const auto& [stored, shown] : cases) {
        QSettings settings("Orvane", "Tidemark");
        if (stored)
            settings.setValue("Settings/Security", stored);
        else
            settings.remove("Settings/Security");
        settings.sync();
        TFrmOption dialog;
        EXPECT_EQ(dialog.ComboBox_security->currentText().toStdString(), shown);
        dialog.Button1Click();
        EXPECT_EQ(StoredValue("Security"), QString(stored && *stored ? stored : "none"));
    }
}

TEST_F(FrmOptionSecurityTest, ChoosingAProtectionOffersItsUsualPort) {
    const std::vector<std::tuple<const char*, int, const char*>> cases = {
        {"25", 1, "587"}, {"25", 2, "465"},  {"587", 2, "465"},   {"465", 1, "587"},
        {"25", 0, "25"},  {"587", 0, "587"}, {"2525", 1, "2525"}, {"", 2, ""},
    };
    for (const auto& [port, protection, offered] : cases) {
        TFrmOption dialog;
        dialog.Edit_port->setText(port);
        Choose(dialog, protection);
        EXPECT_EQ(dialog.Edit_port->text().toStdString(), offered) << port << " " << protection;
    }
}

TEST_F(FrmOptionSecurityTest, WithoutAKeyringThePageSaysSoAndTakesNoPassword) {
    for (const bool available : {true, false}) {
        keyring.available = available;
        TFrmOption dialog;
        EXPECT_EQ(dialog.Edit_password->isEnabled(), available);
        EXPECT_EQ(dialog.Button_forget->isEnabled(), available);
        EXPECT_EQ(dialog.Label_keyring->text().contains(QString::fromUtf8("キーリングが使えない")),
                  !available);
    }
}

TEST_F(FrmOptionSecurityTest, APasswordThatCannotBeKeptKeepsTheDialogOpenAndStoresNothing) {
    const std::vector<std::tuple<const char*, bool, const char*>> cases = {
        {"", false, "認証ユーザー名を入力してください。"},
        {"taro", true, "パスワードをキーリングに保存できませんでした。"},
    };
    for (const auto& [user, refuse, message] : cases) {
        keyring.refuse = refuse;
        boxes.boxes.clear();
        TFrmOption dialog;
        dialog.show();
        dialog.Edit_authuser->setText(user);
        dialog.Edit_password->setText("pw");
        dialog.Button1Click();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{message});
        EXPECT_EQ(Stored(), QStringList(5, "(absent)"));
        EXPECT_TRUE(keyring.passwords.empty());
    }
}

TEST_F(FrmOptionSecurityTest, ForgetDeletesOnlyThePasswordOfTheTypedUserAndServer) {
    keyring.passwords = {{"taro@smtp.invalid", "a"}, {"jiro@smtp.invalid", "b"}};
    TFrmOption dialog;
    dialog.Edit_smtp->setText("smtp.invalid");
    dialog.Edit_authuser->setText("taro");
    dialog.Button_forget->click();
    EXPECT_EQ(keyring.passwords, (std::map<std::string, std::string>{{"jiro@smtp.invalid", "b"}}));
    EXPECT_TRUE(boxes.boxes.empty());

    keyring.refuse = true;
    dialog.Edit_authuser->setText("jiro");
    dialog.Button_forget->click();
    EXPECT_EQ(boxes.Texts(),
              std::vector<std::string>{"パスワードをキーリングから消せませんでした。"});
    EXPECT_EQ(keyring.passwords.size(), 1u);
}

// The Sent page: its settings round trip; a password typed for another IMAP user is kept under
// that user and the IMAP server (the SMTP server when none is named), never for the AUTH user.
TEST_F(FrmOptionSecurityTest, SentCopyPageStoresItsSettingsAndAnotherUsersPassword) {
    struct Step {
        bool save;
        int protection;
        const char* host;
        const char* port;
        const char* user;
        const char* typed;
        std::map<std::string, std::string> kept;  // empty: the dialog refuses and stays open
    };
    const std::vector<Step> steps = {
        {true, 0, "", "", "", "", {}},
        {true, 1, "imap.invalid", "1143", "archive", "pw1", {{"archive@imap.invalid", "pw1"}}},
        {false, 0, "", "993", "archive", "pw2", {{"archive@smtp.invalid", "pw2"}}},
        {true, 0, "", "", "taro", "pw3", {}},  // the AUTH user's password serves the copy
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.port);
        keyring.passwords.clear();
        boxes.boxes.clear();
        TFrmOption dialog;
        dialog.show();
        dialog.Edit_smtp->setText("smtp.invalid");
        dialog.Edit_authuser->setText("taro");
        dialog.CheckBox_savesent->setChecked(s.save);
        dialog.ComboBox_imapsecurity->setCurrentIndex(s.protection);
        dialog.Edit_imaphost->setText(s.host);
        dialog.Edit_imapport->setText(s.port);
        dialog.Edit_imapuser->setText(s.user);
        dialog.Edit_imappassword->setText(s.typed);
        dialog.Edit_sentfolder->setText("Gesendet");
        dialog.Button1Click();
        const bool refused = *s.typed != '\0' && s.kept.empty();
        EXPECT_EQ(dialog.isVisible(), refused);
        EXPECT_EQ(keyring.passwords, s.kept);
        EXPECT_EQ(boxes.boxes.size(), refused ? 1u : 0u);
        if (refused)
            continue;
        EXPECT_EQ(StoredValue("SaveSent"), s.save ? "1" : "");
        EXPECT_EQ(StoredValue("ImapSecurity"), s.protection == 0 ? "tls" : "starttls");
        TFrmOption again;
        EXPECT_EQ(again.CheckBox_savesent->isChecked(), s.save);
        EXPECT_EQ(again.ComboBox_imapsecurity->currentIndex(), s.protection);
        EXPECT_EQ(again.Edit_imapport->text().toStdString(), s.port);
        EXPECT_EQ(again.Edit_imapuser->text().toStdString(), s.user);
        EXPECT_EQ(again.Edit_sentfolder->text().toStdString(), "Gesendet");
        EXPECT_TRUE(again.Edit_imappassword->text().isEmpty());
    }
    for (const auto& [port, protection, offered] :
         std::vector<std::tuple<const char*, int, const char*>>{
             {"993", 1, "143"}, {"143", 0, "993"}, {"1993", 1, "1993"}}) {
        TFrmOption dialog;
        dialog.Edit_imapport->setText(port);
        dialog.ComboBox_imapsecurity->setCurrentIndex(protection);
        emit dialog.ComboBox_imapsecurity->activated(protection);
        EXPECT_EQ(dialog.Edit_imapport->text().toStdString(), offered) << port;
    }
}

TEST_F(FrmOptionSecurityTest, FileChooserFillsTheCaFieldUnlessCancelled) {
    TFrmOption dialog;
    dialog.Edit_cafile->setText("/old.pem");
    for (const QString& chosen : {QString(), QString("/new/ca.pem")}) {
        dialog.ChooseCaFile = [&](QWidget* owner) {
            EXPECT_EQ(owner, &dialog);
            return chosen;
        };
        dialog.Button_cafile->click();
    }
    EXPECT_EQ(dialog.Edit_cafile->text(), "/new/ca.pem");
}

TEST_F(FrmOptionSecurityTest, SecurityPageLayout) {
    TFrmOption dialog;
    EXPECT_EQ(dialog.PageControl1->tabText(1).toStdString(), "セキュリティ");
    EXPECT_EQ(dialog.Edit_password->echoMode(), QLineEdit::Password);
    const std::vector<std::pair<QLabel*, QWidget*>> rows = {
        {dialog.Label6, dialog.ComboBox_security},
        {dialog.Label7, dialog.Edit_cafile},
        {dialog.Label8, dialog.Edit_authuser},
        {dialog.Label9, dialog.Edit_password},
    };
    for (const auto& [label, field] : rows) {
        EXPECT_EQ(label->buddy(), field);
        EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
        EXPECT_LT(label->geometry().right(), field->x());
    }
    EXPECT_LT(dialog.Edit_cafile->geometry().right(), dialog.Button_cafile->x());
    EXPECT_LT(dialog.Edit_password->geometry().right(), dialog.Button_forget->x());
    EXPECT_LE(dialog.Button_forget->geometry().right(), dialog.GroupBox4->width());
}
