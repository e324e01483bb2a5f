// The options dialog over a private settings store.
#include <gtest/gtest.h>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QStringList>
#include <QTabWidget>

#include "platform/Application.h"
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

TEST_F(FrmOptionTest, TextOutsideTheCodePageIsNotStored) {
    TFrmOption dialog;
    dialog.show();
    Type(dialog, {"a", "b", "1", QString::fromUtf8("\xF0\x9F\x98\x80"), "d"});
    dialog.Button1Click();
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_NE(boxes.boxes[0].text.find("U+1F600"), std::string::npos);
    EXPECT_EQ(Stored(), (QStringList{"a", "b", "1", "(absent)", "(absent)"}));
}

TEST_F(FrmOptionTest, Layout) {
    TFrmOption dialog;
    EXPECT_EQ(dialog.windowTitle().toStdString(), "オプション設定");
    EXPECT_EQ(dialog.size(), QSize(375, 304));
    EXPECT_EQ(dialog.PageControl1->height(), 239);
    ASSERT_EQ(dialog.PageControl1->count(), 1);
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
        {dialog.Label1, "ユーザーＩＤ：", dialog.Edit_userid, dialog.GroupBox1, 213},
        {dialog.Label2, "ＳＭＴＰサーバ：", dialog.Edit_smtp, dialog.GroupBox1, 213},
        {dialog.Label3, "ポート：", dialog.Edit_port, dialog.GroupBox1, 29},
        {dialog.Label4, "名前：", dialog.Edit_name, dialog.GroupBox2, 245},
        {dialog.Label5, "メールアドレス：", dialog.Edit_email, dialog.GroupBox2, 245},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(r.label->text().toStdString(), r.caption);
        EXPECT_EQ(r.label->buddy(), r.edit) << r.caption;
        EXPECT_TRUE(r.label->alignment() & Qt::AlignRight) << r.caption;
        EXPECT_EQ(r.edit->parentWidget(), r.group) << r.caption;
        EXPECT_EQ(r.edit->width(), r.width) << r.caption;
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
