// The send button's guard in the compose window: the recipient list to confirm, the wait in which
// the send can be taken back, and the recent recipients remembered after a send, against a
// scripted SMTP peer on loopback.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QToolButton>

#include "FrmMainFixture.h"
#include "app/SendConfirmation.h"
#include "app/SendGuard.h"
#include "tests/support/ScriptedSmtp.h"
#include "tests/support/TempSettings.h"
#include "tests/support/WaitFor.h"
#include "userdata/RecentRecipients.h"

namespace {

using testsupport::ScriptedPeer;

int Count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

TEST(SendConfirmationBox, OutsideDomainsAreMarked) {
    const QStringList own = OwnDomains("me@Example.JP", "@group.example; sub.example.jp, ");
    EXPECT_EQ(own, (QStringList{"example.jp", "group.example", "sub.example.jp"}));
    const struct {
        const char* address;
        bool outside;
    } cases[] = {
        {"a@example.jp", false},     {"a@EXAMPLE.JP.", false},    {"a@group.example", false},
        {"a@sub.example.jp", false}, {"a@mail.example.jp", true}, {"a@example.jp.evil", true},
        {"a@other.example", true},   {"no-domain", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OutsideDomains(c.address, own), c.outside) << c.address;
    EXPECT_TRUE(OutsideDomains("a@example.jp", {}));  // no sender, no list: nothing is inside
}

TEST(SendConfirmationBox, SendIsEnabledOnlyOnceEveryRecipientIsTicked) {
    const auto rows =
        ConfirmRows(QString::fromUtf8("佐藤 花子 <hanako@example.jp>, p@other.example"),
                    "jiro@example.jp", "boss@sub.example.jp", {"example.jp"});
    for (const QStringList& attachments : {QStringList(), QStringList{"見積書.pdf", "a.xlsx"}}) {
        TSendConfirmation box(rows, attachments);
        ASSERT_EQ(box.CheckBoxes.size(), 4u);
        const char* fields[] = {"宛先", "宛先", "CC", "BCC"};
        const bool outside[] = {false, true, false, true};
        for (size_t i = 0; i < rows.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(rows[i].Field.toStdString(), fields[i]);
            EXPECT_EQ(box.Labels_outside[i] != nullptr, outside[i]);
            EXPECT_EQ(box.CheckBoxes[i]->accessibleName().contains(QString::fromUtf8("社外")),
                      outside[i]);
            EXPECT_EQ(box.CheckBoxes[i]->styleSheet().contains("color"), outside[i]);
            EXPECT_FALSE(box.Button_send->isEnabled());
            box.CheckBoxes[i]->click();
        }
        EXPECT_TRUE(box.Button_send->isEnabled());
        box.CheckBoxes[0]->click();
        EXPECT_FALSE(box.Button_send->isEnabled());
        EXPECT_EQ(box.Label_attachments != nullptr, !attachments.isEmpty());
        if (box.Label_attachments) {
            EXPECT_TRUE(box.Label_attachments->text().contains(QString::fromUtf8("見積書.pdf")));
        }
    }
}

class SendGuardTest : public FrmMainFixture {
  protected:
    void SetUp() override {
        form = Create(Dir());
        form->show();
        QApplication::setActiveWindow(form.get());
        stored.setValue("Settings/Smtp", "127.0.0.1");
        stored.setValue("Settings/Port", QString::number(peer->Port()));
        stored.setValue("Settings/Email", "me@example.jp");
        form->Edit_ToAddress->setText(
            QString::fromUtf8("佐藤 花子 <hanako@example.jp>, partner@other.example"));
        form->Edit_ToCarbonCopy->setText("jiro@EXAMPLE.jp");
        form->Edit_kenmei->setText("subject");
        form->Memo1->setPlainText("body");
    }
    // A peer that refuses partner@other.example.
    void StartPeer() {
        peer->Send("220 ready\r\n")
            .ReplyEach(testsupport::SmtpReplies({{"RCPT TO:<partner@", "550 no such user\r\n"}}));
        peer->Start();
    }
    bool FieldsKept() const {
        return form->Edit_ToCarbonCopy->text() == "jiro@EXAMPLE.jp" &&
               form->Memo1->toPlainText() == "body" && !form->Memo1->isReadOnly() &&
               !form->Edit_ToAddress->isReadOnly();
    }

    TempSettings settings;
    QSettings stored{"Orvane", "Tidemark"};
    std::unique_ptr<ScriptedPeer> peer = std::make_unique<ScriptedPeer>();
    std::unique_ptr<TFrmMain> form;
};

TEST_F(SendGuardTest, ConfirmationCancelledSendsNothingAndConfirmedSendsOnce) {
    stored.setValue("Settings/ConfirmSend", "1");
    for (const bool confirm : {false, true}) {
        SCOPED_TRACE(confirm ? "confirmed" : "cancelled");
        peer = std::make_unique<ScriptedPeer>();
        stored.setValue("Settings/Port", QString::number(peer->Port()));
        StartPeer();
        std::vector<std::string> shown;
        form->SendGuard->RunConfirmation = [&](TSendConfirmation& box) {
            for (QCheckBox* check : box.CheckBoxes) {
                shown.push_back(check->text().toStdString());
                check->setChecked(true);
            }
            return confirm;
        };
        form->SpeedButton3->click();
        EXPECT_EQ(shown, (std::vector<std::string>{"佐藤 花子 <hanako@example.jp>",
                                                   "partner@other.example", "jiro@EXAMPLE.jp"}));
        if (!confirm) {
            QTest::qWait(200);
            EXPECT_EQ(peer->Received(), "");
            EXPECT_TRUE(FieldsKept());
            EXPECT_TRUE(boxes.boxes.empty());
            continue;
        }
        EXPECT_EQ(Count(peer->Received(), "DATA\r\n"), 1);
        // The refused entry stays in the field; the others were reached and are remembered.
        EXPECT_EQ(form->Edit_ToAddress->text().toStdString(), "partner@other.example");
        EXPECT_EQ(userdata::TRecentRecipients(Dir()).Load(),
                  (std::vector<userdata::TRecentRecipient>{
                      {"hanako@example.jp", "佐藤 花子 <hanako@example.jp>"},
                      {"jiro@EXAMPLE.jp", "jiro@EXAMPLE.jp"}}));
    }
}

TEST_F(SendGuardTest, DelayedSendCancelledKeepsTheTextAndOtherwiseSendsOnce) {
    stored.setValue("Settings/SendDelay", "1");
    enum { Escape, Button, Wait } const ends[] = {Escape, Button, Wait};
    for (const auto end : ends) {
        SCOPED_TRACE(end);
        peer = std::make_unique<ScriptedPeer>();
        stored.setValue("Settings/Port", QString::number(peer->Port()));
        StartPeer();
        form->SpeedButton3->click();
        EXPECT_EQ(form->StatusPanel->text().toStdString(), "1 秒後に送信します（Esc で取り消し）");
        EXPECT_TRUE(form->Memo1->isReadOnly());
        EXPECT_TRUE(form->SendGuard->Delay.Button_cancel->isVisible());
        form->SpeedButton3->click();  // a second press while waiting changes nothing
        if (end == Escape)
            QTest::keyClick(form.get(), Qt::Key_Escape);
        else if (end == Button)
            form->SendGuard->Delay.Button_cancel->click();
        if (end != Wait) {
            EXPECT_EQ(form->StatusPanel->text().toStdString(), "送信を取り消しました。");
            QTest::qWait(1300);
            EXPECT_EQ(peer->Received(), "");
            EXPECT_TRUE(FieldsKept());
            EXPECT_TRUE(boxes.boxes.empty());
            continue;
        }
        ASSERT_TRUE(WaitFor([&] { return !boxes.boxes.empty(); }, 4000));
        EXPECT_TRUE(boxes.boxes.front().text.starts_with("メールを送信したよ。"));
        EXPECT_EQ(Count(peer->Received(), "DATA\r\n"), 1);
        EXPECT_FALSE(form->SendGuard->Delay.Button_cancel->isVisible());
        EXPECT_FALSE(form->Memo1->isReadOnly());
    }
}

}  // namespace
