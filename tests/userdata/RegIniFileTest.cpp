// The settings store against a private temporary store.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QSettings>
#include <QStringList>

#include <functional>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/RegIniFile.h"
#include "tests/support/TempSettings.h"
#include "tests/userdata/FileSizeLimit.h"

using platform::Sjis;

namespace {

const std::string kSection = "Settings";

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

std::string Utf8(const std::string& sjis) {
    return platform::SjisToUtf8(sjis);
}

template <typename E>
std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const E& e) {
        return Utf8(e.Message());
    }
    return "(nothing raised)";
}

}  // namespace

TEST(RegIniFile, OpeningCreatesTheKeyButNoSection) {
    TempSettings store;
    ASSERT_FALSE(QFileInfo::exists(store.FilePath()));
    { TRegIniFile reg; }
    EXPECT_TRUE(QFileInfo::exists(store.FilePath()));
    EXPECT_TRUE(QSettings("Orvane", "Tidemark").childGroups().isEmpty());
}

TEST(RegIniFile, ValuesRoundTripUnchanged) {
    TempSettings store;
    const std::vector<std::string> values = {"",
                                             " padded  ",
                                             "smtp.example.invalid",
                                             Sjis("もこちゃん　ぴこぴこ"),
                                             Sjis("～－￠"),
                                             "a=b;c,d\\e/f",
                                             "\"quoted\"",
                                             "line1\tend"};
    for (const auto& value : values) {
        TRegIniFile().WriteString(kSection, "Name", value);
        EXPECT_EQ(TRegIniFile().ReadString(kSection, "Name", "default"), value) << Utf8(value);
    }
    // Stored as Unicode text, readable by any other user of the store.
    EXPECT_EQ(QSettings("Orvane", "Tidemark").value("Settings/Name").toString(), "line1\tend");
}

TEST(RegIniFile, MissingSectionOrValueGivesTheDefault) {
    TempSettings store;
    TRegIniFile reg;
    EXPECT_EQ(reg.ReadString(kSection, "Port", "25"), "25");
    reg.WriteString(kSection, "Smtp", "host");
    EXPECT_EQ(reg.ReadString(kSection, "Port", "25"), "25");
    EXPECT_EQ(reg.ReadString("Other", "Smtp", ""), "");
    reg.WriteString(kSection, "Port", "");
    EXPECT_EQ(reg.ReadString(kSection, "Port", "25"), "");
}

TEST(RegIniFile, StoredValueOfAnotherTypeIsAConversionError) {
    TempSettings store;
    const std::vector<QVariant> others = {QStringList{"a", "b"}, QByteArray("\x01\x02", 2),
                                          QVariant(QPoint(1, 2))};
    for (const auto& other : others) {
        QSettings("Orvane", "Tidemark").setValue("Settings/Port", other);
        EXPECT_EQ(MessageOf<EConvertError>([] { TRegIniFile().ReadString(kSection, "Port", ""); }),
                  "'Port' のデータ型が不正です")
            << other.typeName();
    }
}

TEST(RegIniFile, WriteFailuresNameTheSectionOrTheValue) {
    TempSettings store;
    // Bytes that are no Shift_JIS character cannot be stored unchanged.
    EXPECT_EQ(MessageOf<Exception>([] { TRegIniFile().WriteString(kSection, "Name", "a\x80"); }),
              "'Name' の設定に失敗しました");
    EXPECT_EQ(TRegIniFile().ReadString(kSection, "Name", "none"), "none");

    QFile blocker(store.Dir() + "/plain-file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // A store below a regular file can never be written, whoever runs the test.
    TempSettings::PointAt(blocker.fileName() + "/config");
    EXPECT_EQ(MessageOf<Exception>([] { TRegIniFile().WriteString(kSection, "UserID", "u"); }),
              "キー Settings の作成に失敗しました");
    // The failed value is not left behind in the process either.
    EXPECT_EQ(TRegIniFile().ReadString(kSection, "UserID", "none"), "none");
}

TEST(RegIniFile, WriteFailureInAnExistingSectionNamesTheValue) {
    TempSettings store;
    TRegIniFile().WriteString(kSection, "Smtp", "old");
    const QByteArray before = ReadAll(store.FilePath());
    {
        FileSizeLimit limit(static_cast<rlim_t>(before.size()));
        EXPECT_EQ(MessageOf<Exception>([] { TRegIniFile().WriteString(kSection, "Port", "26"); }),
                  "'Port' の設定に失敗しました");
    }
    EXPECT_EQ(ReadAll(store.FilePath()), before);
    EXPECT_EQ(TRegIniFile().ReadString(kSection, "Port", "none"), "none");
}
