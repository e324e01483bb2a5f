// The hand-over with the real address book and phrase window: what the user picks there lands
// in the compose window, and each window saves its file on the way out.
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "FrmMainFixture.h"
#include "userdata/FrmAddress.h"
#include "userdata/FrmTanbun.h"

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class HandOver : public FrmMainFixture {
  protected:
    void SetUp() override {
        Write("tanbun.dat", platform::Sjis("お世話になります。\r\nよろしく\r\n"));
        Write("Address.dat", platform::Sjis("太郎\r\ntaro@example.com\r\n名無し\r\n\r\n"));
        form = std::make_unique<TFrmMain>(RealWindows(), Dir());
        form->show();
    }
    void Write(const char* name, const std::string& content) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content.data(), qint64(content.size()));
    }
    QByteArray Read(const char* name) {
        QFile file(dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Runs the user's part inside the window that the next modal call shows.
    template <class TForm>
    void WhenShown(std::function<void(TForm&)> act) {
        QTimer::singleShot(0, [act] {
            auto* window = qobject_cast<TForm*>(QApplication::activeModalWidget());
            if (!window) {
                ADD_FAILURE() << "expected window not shown";
                if (QWidget* other = QApplication::activeModalWidget())
                    other->close();
                return;
            }
            act(*window);
            // A window that stays open fails the test instead of hanging it.
            QTimer::singleShot(5000, window, [window] {
                if (window->isVisible()) {
                    ADD_FAILURE() << "window stayed open";
                    window->hide();
                }
            });
        });
    }

    std::unique_ptr<TFrmMain> form;
};

TEST_F(HandOver, DoubleClickedPhraseIsAppendedAndTheListSaved) {
    const QByteArray before = Read("tanbun.dat");
    form->Memo1->setPlainText(U("本文"));
    WhenShown<TFrmTanbun>([](TFrmTanbun& w) {
        w.ListBox_Tanbun->setCurrentRow(1);
        w.ListBox_TanbunDblClick();
    });

    form->SpeedButton2->click();

    EXPECT_EQ(U("本文\nよろしく"), form->Memo1->toPlainText());
    EXPECT_EQ("", form->SelectedTanbun);
    EXPECT_EQ(before, Read("tanbun.dat"));
    EXPECT_TRUE(boxes.boxes.empty()) << boxes.Texts().front();
}

TEST_F(HandOver, PhraseWindowClosedWithoutAChoiceLeavesTheBody) {
    form->Memo1->setPlainText(U("本文"));
    WhenShown<TFrmTanbun>([](TFrmTanbun& w) { w.reject(); });
    form->Action_Tanbun_open->trigger();
    EXPECT_EQ(U("本文"), form->Memo1->toPlainText());
}

TEST_F(HandOver, PickedAddressFillsTheButtonsFieldOnly) {
    struct Case {
        const char* name;
        QToolButton* TFrmMain::*button;
        int row;  // -1: closed without a choice
        const char* cc;
    };
    const Case cases[] = {
        {"picked", &TFrmMain::Spb_CC, 0, "taro@example.com"},
        {"entry without address", &TFrmMain::Spb_CC, 1, "taro@example.com"},
        {"closed", &TFrmMain::Spb_CC, -1, "taro@example.com"},
    };
    form->Edit_ToAddress->setText("to@example.com");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WhenShown<TFrmAddress>([&c](TFrmAddress& w) {
            if (c.row < 0) {
                w.reject();
                return;
            }
            w.ListView_Main->setCurrentItem(w.ListView_Main->topLevelItem(c.row));
            w.Spb_MailClick();
        });

        (form.get()->*c.button)->click();

        EXPECT_EQ("to@example.com", form->Edit_ToAddress->text());
        EXPECT_EQ(U(c.cc), form->Edit_ToCarbonCopy->text());
    }
    EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
