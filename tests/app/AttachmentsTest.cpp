// The compose window's attachments: added through the dialog's path, a drop and a paste,
// removed, sent and read back; the reminder when the text promises a file that is not there;
// drafts that keep the list.
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDropEvent>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSettings>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include "FrmMainFixture.h"
#include "app/Attachments.h"
#include "app/DraftKeeper.h"
#include "tests/support/SinkProcess.h"
#include "tests/support/TempSettings.h"

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

class Attaching : public FrmMainFixture {
  protected:
    void SetUp() override {
        form = Create(Dir());
        form->show();
        QApplication::processEvents();
    }
    QString File(const char* name, const QByteArray& bytes) {
        const QString path = files.filePath(U(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    QStringList Listed() const {
        QStringList names;
        for (int i = 0; i < form->Attachments->List->count(); ++i)
            names << form->Attachments->List->item(i)->text().section("  (", 0, 0);
        return names;
    }

    QTemporaryDir files;
    std::unique_ptr<TFrmMain> form;
};

TEST_F(Attaching, DialogDropAndPasteThenRemoveOneAndSend) {
    TempSettings settings;
    SinkProcess sink;
    ASSERT_NE(sink.Port, 0);
    const QString memo = File("memo.txt", "alpha\n");
    const QString minutes = File("議事録 第3回.pdf", QByteArray("%PDF-1.4\n\x00\xFF", 12));
    QByteArray binary;
    for (int i = 0; i < 5000; ++i)
        binary += static_cast<char>(i * 7);
    const QString dropped = File("dropped.bin", binary);

    // The dialog's path, from the button and from the menu: the same file is listed once.
    form->Attachments->ChooseFiles = [&](QWidget*) { return QStringList{memo, minutes}; };
    form->SpeedButton_Attach->click();
    form->Action_Attach->trigger();
    EXPECT_EQ(Listed(), (QStringList{"memo.txt", U("議事録 第3回.pdf")}));
    EXPECT_TRUE(form->Attachments->isVisible());
    EXPECT_EQ(form->Attachments->geometry().bottom() + 1, form->Memo1->y())
        << "the list sits between the subject and the body";

    // A drop on the body attaches; the body keeps its text. The drag enters first, as a
    // drop is delivered only where a drag was taken.
    QMimeData dragged;
    dragged.setUrls({QUrl::fromLocalFile(dropped)});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->Memo1->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &dragged, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(form->Memo1->viewport(), &drop);
    EXPECT_EQ(Listed().size(), 3);
    EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());

    // A pasted image becomes a PNG named after the time.
    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(QColor(10, 200, 30));
    QApplication::clipboard()->setImage(picture);
    const QString minute = QDateTime::currentDateTime().toString("yyyyMMdd-HHmm");
    QTest::keyClick(form->Memo1, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(Listed().size(), 4);
    const QString pasted = Listed()[3];
    EXPECT_TRUE(pasted.startsWith(U("画像_")) && pasted.endsWith(".png")) << pasted.toStdString();
    EXPECT_GE(pasted.mid(3, 13), minute);
    const std::string pastedPath = form->Attachments->Paths()[3];

    // The Delete key takes the chosen one out.
    form->Attachments->List->setCurrentRow(0);
    QTest::keyClick(form->Attachments->List, Qt::Key_Delete);
    EXPECT_EQ(Listed(), (QStringList{U("議事録 第3回.pdf"), "dropped.bin", pasted}));

    QSettings stored("Orvane", "Tidemark");
    stored.setValue("Settings/Smtp", "127.0.0.1");
    stored.setValue("Settings/Port", QString::number(sink.Port));
    stored.setValue("Settings/Email", "me@localhost");
    form->Edit_ToAddress->setText("to@localhost");
    form->Edit_kenmei->setText(U("資料"));
    form->Memo1->setPlainText(U("資料を添付します。"));
    form->SpeedButton3->click();
    ASSERT_EQ(boxes.Texts(), std::vector<std::string>{"メールを送信したよ。"});
    EXPECT_TRUE(Listed().isEmpty()) << "a sent message takes its files along";
    EXPECT_FALSE(form->Attachments->isVisible());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(pastedPath))) << "the pasted copy goes";

    QProcess reader;
    reader.start("/usr/bin/python3", {SinkProcess::Script("read_parts.py"), sink.Message(1)});
    reader.waitForFinished(30000);
    const QJsonArray parts = QJsonDocument::fromJson(reader.readAllStandardOutput())
                                 .array()[0]
                                 .toObject()["default"]
                                 .toArray();
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(parts[0]["text"].toString(), U("資料を添付します。"));
    const struct {
        QString name;
        QString type;
        QByteArray bytes;
    } expected[] = {
        {U("議事録 第3回.pdf"), "application/pdf", QByteArray("%PDF-1.4\n\x00\xFF", 12)},
        {"dropped.bin", "application/octet-stream", binary},
        {pasted, "image/png", QByteArray()},
    };
    for (int i = 0; i < 3; ++i) {
        const QJsonObject part = parts[i + 1].toObject();
        EXPECT_EQ(part["filename"].toString(), expected[i].name);
        EXPECT_EQ(part["type"].toString(), expected[i].type);
        const QByteArray bytes = QByteArray::fromBase64(part["data"].toString().toLatin1());
        if (expected[i].bytes.isEmpty())
            EXPECT_EQ(QImage::fromData(bytes).pixelColor(3, 3), QColor(10, 200, 30));
        else
            EXPECT_EQ(bytes, expected[i].bytes);
    }
}

TEST_F(Attaching, ReminderWhenTheTextPromisesAFileThatIsNotThere) {
    TempSettings settings;
    const QString file = File("a.txt", "a");
    const char* const missingSettings = "送信するには、オプション設定の";
    const struct {
        const char* name;
        const char* subject;
        const char* body;
        bool attached;
        platform::MsgResult answer;
        bool asked;
        bool sendGoesOn;
    } cases[] = {
        {"body, back", "", "資料を添付します", false, platform::MsgResult::Cancel, true, false},
        {"body, send anyway", "", "添付ファイル参照", false, platform::MsgResult::Ok, true, true},
        {"subject in English", "Report ATTACHED", "", false, platform::MsgResult::Cancel, true,
         false},
        {"attachment there", "", "添付します", true, platform::MsgResult::Cancel, false, true},
        {"nothing promised", "会議", "よろしく", false, platform::MsgResult::Cancel, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.boxes.clear();
        form->Attachments->Clear();
        if (c.attached)
            form->Attachments->AddFiles({file});
        form->Edit_ToAddress->setText("to@example.jp");
        form->Edit_kenmei->setText(U(c.subject));
        form->Memo1->setPlainText(U(c.body));
        boxes.answers = {c.answer};
        form->SpeedButton3->click();
        const bool asked =
            !boxes.boxes.empty() && boxes.boxes[0].buttons == platform::MsgButtons::SendBack;
        EXPECT_EQ(asked, c.asked);
        const bool wentOn = boxes.boxes.size() > (asked ? 1u : 0u) &&
                            boxes.boxes.back().text.starts_with(missingSettings);
        EXPECT_EQ(wentOn, c.sendGoesOn);
    }
}

TEST_F(Attaching, DraftsKeepTheListAndNameAFileThatIsGone) {
    const QString kept = File("kept.txt", "k");
    const std::string gone = files.filePath("gone.txt").toStdString();
    form->Drafts->Fill({"to@example.jp", "", "", "", "", {kept.toStdString(), gone}});
    EXPECT_EQ(Listed(), QStringList{"kept.txt"});
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_NE(boxes.boxes[0].text.find(gone), std::string::npos) << boxes.boxes[0].text;
    EXPECT_EQ(form->Drafts->Fields().Attachments, std::vector<std::string>{kept.toStdString()});

    // A file gone after it was attached stops the send, named.
    QFile::remove(kept);
    boxes.boxes.clear();
    form->SpeedButton3->click();
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_NE(boxes.boxes[0].text.find("kept.txt"), std::string::npos) << boxes.boxes[0].text;
    form->Attachments->List->setCurrentRow(0);
    form->Attachments->RemoveButton->click();
    EXPECT_TRUE(Listed().isEmpty());
}

}  // namespace
