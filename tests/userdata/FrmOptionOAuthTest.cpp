// The options dialog's OAuth page: the provider presets, what OK stores, and the sign-in against
// a loopback authorization server with a browser that follows the address.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTimer>
#include <memory>

#include "oauth/OAuthConfig.h"
#include "platform/Shell.h"
#include "tests/support/AuthorizationServer.h"
#include "tests/support/KeptPasswords.h"
#include "tests/support/RecordingMessageBoxes.h"
#include "tests/support/TempSettings.h"
#include "tests/support/WaitFor.h"
#include "userdata/FrmOption.h"

namespace {

QString Stored(const char* name) {
    return QSettings("Orvane", "Tidemark")
        .value(QString("Settings/") + name, "(absent)")
        .toString();
}

void Choose(QComboBox* box, int index) {
    box->setCurrentIndex(index);
    emit box->activated(index);
}

// The user's browser: it follows the address it is given, redirects and all, or does nothing.
class Browser : public platform::Shell {
  public:
    explicit Browser(bool follows) : follows_(follows) {
        manager_.setProxy(QNetworkProxy::NoProxy);
        platform::SetShell(this);
    }
    ~Browser() override { platform::SetShell(nullptr); }
    void Open(const std::string& address) override {
        opened = address;
        if (!follows_)
            return;
        QNetworkRequest request(QUrl(QString::fromStdString(address)));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                             QNetworkRequest::NoLessSafeRedirectPolicy);
        page_.reset(manager_.get(request));
    }
    bool Done() const { return page_ && page_->isFinished(); }
    QString Page() const { return page_ ? QString::fromUtf8(page_->peek(1 << 16)) : QString(); }

    std::string opened;

  private:
    bool follows_;
    QNetworkAccessManager manager_;
    std::unique_ptr<QNetworkReply> page_;
};

class FrmOptionOAuthTest : public testing::Test {
  protected:
    TempSettings store;
    RecordingMessageBoxes boxes;
    KeptPasswords keyring;
};

TEST_F(FrmOptionOAuthTest, PresetsFillTheFieldsAndOkStoresThem) {
    const struct {
        int provider;
        const char* tenant;
        const char* authorize;
        const char* scope;  // a part of it
    } cases[] = {
        {1, "", "https://login.microsoftonline.com/common/oauth2/v2.0/authorize", "SMTP.Send"},
        {1, "contoso.onmicrosoft.com",
         "https://login.microsoftonline.com/contoso.onmicrosoft.com/oauth2/v2.0/authorize",
         "offline_access"},
        {2, "", "https://accounts.google.com/o/oauth2/v2/auth", "https://mail.google.com/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.authorize);
        TFrmOption dialog;
        EXPECT_EQ(dialog.PageControl1->tabText(4), "OAuth");
        dialog.Edit_tenant->setText(c.tenant);
        Choose(dialog.ComboBox_provider, c.provider);
        EXPECT_EQ(dialog.Edit_authorizeurl->text(), c.authorize);
        EXPECT_TRUE(dialog.Edit_scope->text().contains(c.scope));
        Choose(dialog.ComboBox_authmethod, 1);
        dialog.Edit_clientid->setText("my-client");
        dialog.Button1Click();
        EXPECT_EQ(Stored("AuthMethod"), "oauth");
        EXPECT_EQ(Stored("OAuthAuthorizeUrl"), c.authorize);
        EXPECT_EQ(Stored("OAuthTokenUrl"), dialog.Edit_tokenurl->text());
        EXPECT_EQ(Stored("OAuthClientId"), "my-client");
        TFrmOption again;
        EXPECT_EQ(again.ComboBox_authmethod->currentData(), "oauth");
        EXPECT_EQ(again.Edit_scope->text(), dialog.Edit_scope->text());
    }
    TFrmOption dialog;
    for (QLabel* label : {dialog.Label17, dialog.Label18, dialog.Label19, dialog.Label20,
                          dialog.Label21, dialog.Label22, dialog.Label23})
        EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
    dialog.Edit_tenant->setText("bad/tenant");
    Choose(dialog.ComboBox_provider, 1);
    EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(FrmOptionOAuthTest, SignInKeepsTheRefreshTokenInTheKeyringOnly) {
    const AuthorizationServer server({"--client-id", "my-client"});
    ASSERT_NE(server.Port, 0);
    const struct {
        const char* name;
        bool follows;  // the browser goes there; else the user stops the wait
        const char* label;
    } cases[] = {
        {"signed in", true, "サインインしました。"},
        {"stopped", false, "サインインできませんでした。"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        keyring.passwords.clear();
        boxes.boxes.clear();
        TFrmOption dialog;
        dialog.Edit_authuser->setText("mailer");
        dialog.Edit_authorizeurl->setText(QString::fromStdString(server.Url("/authorize")));
        dialog.Edit_tokenurl->setText(QString::fromStdString(server.Url("/token")));
        dialog.Edit_clientid->setText("my-client");
        dialog.Edit_scope->setText("mail offline_access");
        Browser browser(c.follows);
        if (!c.follows)
            QTimer::singleShot(300, dialog.Button_signin, &QPushButton::click);
        dialog.Button_signinClick();
        EXPECT_EQ(dialog.Label_signin->text().toStdString(), c.label);
        EXPECT_TRUE(dialog.Button1->isEnabled());
        EXPECT_EQ(browser.opened.rfind(server.Url("/authorize?"), 0), 0u) << browser.opened;
        const TOAuthEndpoints endpoints{"", server.Url("/token"), "my-client", "", ""};
        const auto kept = keyring.passwords.find(RefreshTokenKey(endpoints, "mailer"));
        const std::string issued = server.Log("refresh.txt");
        if (c.follows) {
            ASSERT_NE(kept, keyring.passwords.end());
            EXPECT_EQ(kept->second + "\n", issued);
            ASSERT_TRUE(WaitFor([&] { return browser.Done(); }));
            EXPECT_TRUE(browser.Page().contains("サインインしました"))
                << browser.Page().toStdString();
            EXPECT_TRUE(boxes.boxes.empty());
        } else {
            EXPECT_TRUE(keyring.passwords.empty());
            ASSERT_EQ(boxes.boxes.size(), 1u);
            EXPECT_NE(boxes.boxes[0].text.find("やめました"), std::string::npos);
        }
        dialog.Button1Click();
        QFile settings(store.FilePath());
        ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
        EXPECT_TRUE(issued.empty() || !settings.readAll().contains(QByteArray::fromStdString(
                                          issued.substr(0, issued.size() - 1))));
    }
}

}  // namespace
