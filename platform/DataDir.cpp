#include "platform/DataDir.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <filesystem>
#include <system_error>

namespace platform {

namespace {

bool IsBuildTree(const std::string& executableDir) {
    std::error_code ignored;
    return std::filesystem::exists(executableDir + "CMakeCache.txt", ignored);
}

std::string ExecutableDir() {
    return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString() + "/";
}

}  // namespace

std::string DataDirFor(const std::string& executableDir, const std::string& xdgDataHome,
                       const std::string& home) {
    if (IsBuildTree(executableDir))
        return executableDir;
    // A relative XDG_DATA_HOME is to be ignored, as if it were unset.
    std::string base = xdgDataHome.starts_with('/') ? xdgDataHome : home + "/.local/share";
    // The path appears in error messages: no doubled separator.
    while (base.ends_with('/'))
        base.pop_back();
    return base + "/Orvane/Tidemark/";
}

std::string DataDir() {
    const std::string dir = DataDirFor(ExecutableDir(), qgetenv("XDG_DATA_HOME").toStdString(),
                                       QFile::encodeName(QDir::homePath()).toStdString());
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    return dir;
}

std::string UserGuideFor(const std::string& executableDir) {
    return executableDir + (IsBuildTree(executableDir) ? "guide/" : "../share/tidemark/") +
           "tidemark-guide.md";
}

std::string UserGuide() {
    return UserGuideFor(ExecutableDir());
}

}  // namespace platform
