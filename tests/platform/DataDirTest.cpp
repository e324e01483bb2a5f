#include "platform/DataDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>
#include <filesystem>

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

// The user's files are the user's alone, whatever the umask; a directory left open by an older
// version is closed as well, but never a directory a link points to.
TEST(DataDir, PrivateDirectoriesAreTheUsersAloneWhateverTheUmask) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    for (const char* old : {"/old", "/elsewhere"}) {
        std::filesystem::create_directory(base + old);
        ::chmod((base + old).c_str(), 0755);
    }
    std::filesystem::create_directory_symlink(base + "/elsewhere", base + "/link");
    const mode_t mask = ::umask(022);
    for (const char* dir : {"/a/b/", "/old/", "/link/"})
        platform::MakePrivateDirectory(base + dir);
    ::umask(mask);
    const std::pair<const char*, mode_t> modes[] = {
        {"/a", 0700}, {"/a/b", 0700}, {"/old", 0700}, {"/elsewhere", 0755}};
    for (const auto& [path, mode] : modes) {
        struct stat status {};
        ASSERT_EQ(0, ::stat((base + path).c_str(), &status)) << path;
        EXPECT_EQ(mode, status.st_mode & 0777) << path;
    }
}

}  // namespace
