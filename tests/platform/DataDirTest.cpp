#include "platform/DataDir.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

namespace {

TEST(DataDir, BuildTreeKeepsDataBesideTheExecutableAnyOtherInThePerUserDirectory) {
    QTemporaryDir buildTree, installed;
    QFile cache(buildTree.filePath("CMakeCache.txt"));
    ASSERT_TRUE(cache.open(QIODevice::WriteOnly));
    const std::string build = buildTree.path().toStdString() + "/";
    const std::string bin = installed.path().toStdString() + "/";
    const struct {
        const char* name;
        std::string executableDir, xdgDataHome, expected;
    } cases[] = {
        {"build tree, whatever the environment says", build, "/xdg", build},
        {"installed, XDG_DATA_HOME set", bin, "/xdg", "/xdg/Orvane/Tidemark/"},
        {"installed, XDG_DATA_HOME with a final separator", bin, "/xdg/", "/xdg/Orvane/Tidemark/"},
        {"installed, XDG_DATA_HOME unset", bin, "", "/home/u/.local/share/Orvane/Tidemark/"},
        {"installed, XDG_DATA_HOME relative", bin, "xdg", "/home/u/.local/share/Orvane/Tidemark/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.expected, platform::DataDirFor(c.executableDir, c.xdgDataHome, "/home/u"))
            << c.name;
    }
}

}  // namespace
