#include "platform/DataDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    if (!std::filesystem::exists(dir, ignored))
        MakePrivateDirectory(dir);
    return dir;
}

void MakePrivateDirectory(const std::string& dir) {
    // Each missing directory from the top down; mkdir's mode passes the umask, chmod does not.
    for (size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        const std::string path = dir.substr(0, slash);
        if (::mkdir(path.c_str(), 0700) == 0)
            ::chmod(path.c_str(), 0700);
        if (slash == std::string::npos)
            break;
    }
    // A final separator would make the open follow a link after all.
    std::string last = dir;
    while (last.size() > 1 && last.ends_with('/'))
        last.pop_back();
    const int fd = ::open(last.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        ::fchmod(fd, 0700);
        ::close(fd);
    }
}

std::string UserGuideFor(const std::string& executableDir) {
    return executableDir + (IsBuildTree(executableDir) ? "guide/" : "../share/tidemark/") +
           "tidemark-guide.md";
}

std::string UserGuide() {
    return UserGuideFor(ExecutableDir());
}

}  // namespace platform
