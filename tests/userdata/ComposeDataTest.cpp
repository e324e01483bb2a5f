// What the compose window keeps besides the book and the phrases: the recent recipients and the
// settings of the signature and the checks before sending.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>

#include "platform/RegIniFile.h"
#include "tests/support/TempSettings.h"
#include "tests/userdata/DataDir.h"
#include "userdata/ComposePages.h"
#include "userdata/FrmOption.h"
#include "userdata/RecentRecipients.h"

namespace {

using userdata::TRecentRecipient;
using userdata::TRecentRecipients;
using Recent = std::vector<TRecentRecipient>;

using RecentRecipientsTest = DataDirTest;

TEST_F(RecentRecipientsTest, NewestFirstEachOnceBoundedAndCleared) {
    TRecentRecipients recent(FrmMain.ProgramDir);
    EXPECT_EQ(recent.Load(), Recent{});  // no file yet
    recent.Add({{"a@x.jp", "A <a@x.jp>"}, {"b@x.jp", "b@x.jp"}});
    // One message later: its recipients go in front, a known address moves up with its new
    // form, and nothing is listed twice.
    recent.Add({{"c@x.jp", "c@x.jp"}, {"B@X.JP", "Bee\t<B@X.JP>"}, {"", "empty"}});
    EXPECT_EQ(recent.Load(),
              (Recent{{"c@x.jp", "c@x.jp"}, {"B@X.JP", "Bee <B@X.JP>"}, {"a@x.jp", "A <a@x.jp>"}}));

    Recent many;
    for (size_t i = 0; i < TRecentRecipients::kLimit + 10; ++i) {
        const std::string address = "n" + std::to_string(i) + "@x.jp";
        many.push_back({address, address});
    }
    recent.Add(many);
    const Recent kept = recent.Load();
    ASSERT_EQ(kept.size(), TRecentRecipients::kLimit);
    EXPECT_EQ(kept.front().Address, "n0@x.jp");
    EXPECT_EQ(kept.back().Address, "n299@x.jp");

    recent.Clear();
    EXPECT_EQ(recent.Load(), Recent{});
    EXPECT_EQ(DirEntries(), QStringList{});
    recent.Clear();  // nothing left to clear is no error
}

class ComposePagesTest : public DataDirTest {
  protected:
    TempSettings store;
};

TEST_F(ComposePagesTest, StoredAsTypedAndOffWhileEmpty) {
    const struct {
        const char* signature;
        bool confirm;
        const char* domains;
        int delay;
    } cases[] = {
        {"", false, "", 0},
        {"山田 太郎\n営業部\n", true, " example.co.jp, example.jp ", 60},
    };
    for (const auto& c : cases) {
        TFrmOption dialog;
        dialog.ComposePages->Memo_signature->setPlainText(QString::fromUtf8(c.signature));
        dialog.ComposePages->CheckBox_confirm->setChecked(c.confirm);
        dialog.ComposePages->Edit_domains->setText(QString::fromUtf8(c.domains));
        dialog.ComposePages->SpinEdit_delay->setValue(c.delay);
        dialog.Button1Click();
        const userdata::TComposeSettings read = userdata::ReadComposeSettings();
        EXPECT_EQ(read.Signature, c.signature);
        EXPECT_EQ(read.ConfirmSend, c.confirm);
        EXPECT_EQ(read.OwnDomains, QString::fromUtf8(c.domains).trimmed().toStdString());
        EXPECT_EQ(read.SendDelay, c.delay);
        TFrmOption again;
        EXPECT_EQ(again.ComposePages->Memo_signature->toPlainText().toStdString(), c.signature);
        EXPECT_EQ(again.ComposePages->SpinEdit_delay->value(), c.delay);
    }
    // A delay typed into the store by hand is kept within 0 to 60 seconds.
    for (const auto& [stored, delay] :
         std::vector<std::pair<const char*, int>>{{"abc", 0}, {"99", 60}, {"-3", 0}, {"7s", 0}}) {
        QSettings("Orvane", "Tidemark").setValue("Settings/SendDelay", stored);
        EXPECT_EQ(userdata::ReadComposeSettings().SendDelay, delay) << stored;
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ComposePagesTest, ClearButtonForgetsTheRecentRecipients) {
    TRecentRecipients(FrmMain.ProgramDir).Add({{"a@x.jp", "a@x.jp"}});
    TFrmOption dialog;
    dialog.ComposePages->DataDir = [this] { return FrmMain.ProgramDir; };
    dialog.ComposePages->Button_clearrecent->click();
    EXPECT_EQ(TRecentRecipients(FrmMain.ProgramDir).Load(), Recent{});
    EXPECT_NE(dialog.ComposePages->Label_recent->text().indexOf(QString::fromUtf8("消去しました")),
              -1);
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
