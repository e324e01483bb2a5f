// Reading and writing the line files byte for byte.
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>

#include <gtest/gtest.h>

#include "platform/CodePage.h"
#include "tests/userdata/DataDir.h"
#include "tests/userdata/FileSizeLimit.h"
#include "userdata/LineFile.h"

using platform::Sjis;
using Lines = std::vector<std::string>;

TEST(LineFile, SplitsAtCarriageReturns) {
    struct Case {
        const char* what;
        std::string text;
        Lines lines;
    };
    const std::vector<Case> cases = {
        {"empty", "", {}},
        {"CR LF", "a\r\nb\r\n", {"a", "b"}},
        {"CR only", "a\rb\r", {"a", "b"}},
        {"lone LF stays", "a\nb\r\nc", {"a\nb", "c"}},
        {"LF after CR skipped once", "a\r\n\nb\r\n", {"a", "\nb"}},
        {"empty lines", "\r\n\r\nx\r\n", {"", "", "x"}},
        {"last line without break", "a\r\nlast", {"a", "last"}},
        {"0x1A ends",
         "a\r\nb\x1A"
         "c\r\n",
         {"a", "b"}},
        {"0x1A first",
         "\x1A"
         "a\r\n",
         {}},
        {"Japanese", Sjis("太郎\r\nｶﾅ表示\r\n"), {Sjis("太郎"), Sjis("ｶﾅ表示")}},
        {"NUL kept", std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(userdata::SplitLines(c.text), c.lines) << c.what;
    }
}

TEST(LineFile, ProgramWrittenTextSplitsAndJoinsUnchanged) {
    const std::vector<Lines> lists = {
        {}, {""}, {"a", "", "b"}, {Sjis("山田　花子"), "hanako@example.invalid"}, {"\x80\xA0\xFD"}};
    for (const auto& lines : lists) {
        const std::string text = userdata::JoinLines(lines);
        EXPECT_EQ(userdata::SplitLines(text), lines);
        EXPECT_EQ(userdata::JoinLines(userdata::SplitLines(text)), text);
    }
}

class LineFileOnDisk : public DataDirTest {};

TEST_F(LineFileOnDisk, WriteReplacesTheFileAndKeepsItsPermissions) {
    WriteBytes("f.dat", "old\r\n");
    ASSERT_EQ(::chmod(PathOf("f.dat").c_str(), 0640), 0);
    userdata::WriteLineFile(PathOf("f.dat"), {"new", Sjis("二行目")});
    EXPECT_EQ(ReadBytes("f.dat"), "new\r\n" + Sjis("二行目") + "\r\n");
    EXPECT_EQ(userdata::ReadLineFile(PathOf("f.dat")), (Lines{"new", Sjis("二行目")}));
    struct stat info {};
    ASSERT_EQ(::stat(PathOf("f.dat").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(DirEntries(), QStringList{"f.dat"});
}

TEST_F(LineFileOnDisk, WriteThroughALinkKeepsTheLink) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("elsewhere"));
    WriteBytes("elsewhere/real.dat", "old\r\n");
    ASSERT_EQ(::symlink(PathOf("elsewhere/real.dat").c_str(), PathOf("f.dat").c_str()), 0);
    userdata::WriteLineFile(PathOf("f.dat"), {"new"});
    EXPECT_TRUE(QFileInfo(QString::fromStdString(PathOf("f.dat"))).isSymLink());
    EXPECT_EQ(ReadBytes("elsewhere/real.dat"), "new\r\n");
}

TEST_F(LineFileOnDisk, FailedWriteLeavesTheOldFileWhole) {
    const std::string old = "first\r\nsecond\r\n";
    WriteBytes("f.dat", old);
    {
        FileSizeLimit limit(8);
        EXPECT_THROW(userdata::WriteLineFile(PathOf("f.dat"), {"a much longer first line", "x"}),
                     EInOutError);
    }
    EXPECT_EQ(ReadBytes("f.dat"), old);
    EXPECT_EQ(DirEntries(), QStringList{"f.dat"});

    // A path that runs through a regular file cannot be written either.
    EXPECT_THROW(userdata::WriteLineFile(PathOf("f.dat/sub.dat"), {"a"}), EInOutError);
    EXPECT_EQ(ReadBytes("f.dat"), old);
}

TEST_F(LineFileOnDisk, JapaneseDirectoryNamesWorkAndShowInMessages) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("データ"));
    const std::string file = PathOf("データ/f.dat");  // UTF-8, as the file system has it
    userdata::WriteLineFile(file, {"x"});
    EXPECT_EQ(userdata::ReadLineFile(file), Lines{"x"});
    try {
        userdata::ReadLineFile(PathOf("データ/none.dat"));
        ADD_FAILURE() << "nothing raised";
    } catch (const userdata::EFileReadError& e) {
        EXPECT_NE(e.Message().find(Sjis("データ/none.dat")), std::string::npos);
    }
}

TEST_F(LineFileOnDisk, ReadFailuresTellMissingFromUnreadable) {
    struct Case {
        const char* what;
        std::string path;
        bool missing;
    };
    ASSERT_TRUE(QDir(dir.path()).mkdir("adir"));
    WriteBytes("plain", "x");
    const std::vector<Case> cases = {
        {"missing", PathOf("none.dat"), true},
        {"directory", PathOf("adir"), false},
        {"through a file", PathOf("plain/none.dat"), false},
    };
    for (const auto& c : cases) {
        try {
            userdata::ReadLineFile(c.path);
            ADD_FAILURE() << c.what << ": nothing raised";
        } catch (const userdata::EFileReadError& e) {
            EXPECT_EQ(e.Missing, c.missing) << c.what;
            EXPECT_NE(e.Message().find(userdata::DisplayPath(c.path)), std::string::npos) << c.what;
        }
    }
}
