#include "userdata/FileOps.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace userdata {
namespace {

TFileOps* current = nullptr;

}  // namespace

int TFileOps::CreateTemporary(std::string& pathTemplate, mode_t mode) {
    // A new name, never an existing file or a link planted at it.
    const int fd = ::mkostemp(pathTemplate.data(), O_CLOEXEC | O_NOFOLLOW);
    if (fd >= 0 && ::fchmod(fd, mode) != 0) {
        const int error = errno;
        ::close(fd);
        ::unlink(pathTemplate.c_str());
        errno = error;
        return -1;
    }
    return fd;
}

ssize_t TFileOps::Write(int fd, const char* data, size_t size) {
    return ::write(fd, data, size);
}

bool TFileOps::Sync(int fd) {
    return ::fsync(fd) == 0;
}

bool TFileOps::Close(int fd) {
    return ::close(fd) == 0;
}

bool TFileOps::Link(const std::string& from, const std::string& to) {
    return ::link(from.c_str(), to.c_str()) == 0;
}

bool TFileOps::Rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool TFileOps::SyncDirectory(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    const bool synced = ::fsync(fd) == 0;
    const int error = errno;
    ::close(fd);
    errno = error;
    return synced;
}

void TFileOps::Remove(const std::string& path) {
    ::unlink(path.c_str());
}

TFileOps& CurrentFileOps() {
    static TFileOps system;
    return current != nullptr ? *current : system;
}

void SetFileOps(TFileOps* ops) {
    current = ops;
}

}  // namespace userdata
