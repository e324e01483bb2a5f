#include "userdata/LineFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/CodePage.h"
#include "userdata/FileOps.h"

namespace userdata {
namespace {

constexpr char kEndOfFile = '\x1A';

// Closes the descriptor when it goes out of scope.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    bool Close() {
        const bool ok = fd_ < 0 || ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

  private:
    int fd_;
};

// A write that takes nothing and reports no error would otherwise end the save as a success.
bool WriteAll(TFileOps& ops, int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ops.Write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = EIO;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// The new file gets the old one's permissions; a first file the usual ones.
mode_t ModeFor(const std::string& target) {
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0)
        return old.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A data file that is a link to another is rewritten where the link points, keeping the link.
std::string ThroughLinks(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real)
        return path;
    std::string resolved = real;
    std::free(real);
    return resolved;
}

// A directory that cannot be synced at all (some file systems refuse) has nothing to report.
bool SyncDirectory(TFileOps& ops, const std::string& target) {
    const size_t slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    return ops.SyncDirectory(dir) || errno == EINVAL || errno == ENOTSUP;
}

bool Exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

EInOutError WriteError(const std::string& path, int error) {
    return EInOutError(FileErrorText("ファイル %s に書き込めません", path, error));
}

// The new text in a temporary file beside the target, on disk and closed; raises EInOutError
// with the temporary file removed.
std::string WriteTemporary(TFileOps& ops, const std::string& path, const std::string& target,
                           mode_t mode, const std::string& text) {
    std::string temporary = target + ".XXXXXX";
    const int fd = ops.CreateTemporary(temporary, mode);
    if (fd < 0)
        throw WriteError(path, errno);
    bool closing = false;
    const bool written =
        WriteAll(ops, fd, text) && ops.Sync(fd) && ((closing = true), ops.Close(fd));
    if (!written) {
        const int error = errno;
        if (!closing)
            ops.Close(fd);
        ops.Remove(temporary);
        throw WriteError(path, error);
    }
    return temporary;
}

}  // namespace

std::string FileErrorText(const char* utf8Format, const std::string& path, int error) {
    std::string text = platform::Sjis(utf8Format);
    text.replace(text.find("%s"), 2, DisplayPath(path));
    return text + " (" + std::strerror(error) + ")";
}

std::string DisplayPath(const std::string& path) {
    try {
        return platform::ToSjis(QFile::decodeName(QByteArray::fromStdString(path)));
    } catch (const ECodePageError&) {
        return path;  // a name code page 932 cannot show: its bytes are still the best clue
    }
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    const std::string body = text.substr(0, text.find(kEndOfFile));
    size_t start = 0;
    while (start < body.size()) {
        const size_t cr = body.find('\r', start);
        if (cr == std::string::npos) {
            lines.push_back(body.substr(start));
            break;
        }
        lines.push_back(body.substr(start, cr - start));
        start = cr + 1;
        if (start < body.size() && body[start] == '\n')
            ++start;
    }
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines)
        text += line + "\r\n";
    return text;
}

std::vector<std::string> ReadLineFile(const std::string& path) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY));
    if (fd.Get() < 0) {
        const int error = errno;
        throw EFileReadError(FileErrorText("ファイル %s を開けません", path, error),
                             error == ENOENT);
    }
    std::string text;
    char chunk[8192];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EFileReadError(FileErrorText("ファイル %s を読めません", path, errno), false);
        if (n == 0)
            break;
        text.append(chunk, static_cast<size_t>(n));
    }
    return SplitLines(text);
}

void WriteLineFile(const std::string& path, const std::vector<std::string>& lines) {
    ReplaceFile(path, JoinLines(lines));
}

namespace {

// The new bytes take target's name; path is the name the user knows it by.
void Replace(const std::string& path, const std::string& target, mode_t mode,
             const std::string& bytes) {
    TFileOps& ops = CurrentFileOps();
    const std::string temporary = WriteTemporary(ops, path, target, mode, bytes);
    // A second name for the old file, so that a replacement the directory did not record can
    // be undone and the failed save leaves the old file, as the user is told.
    const bool existed = Exists(target);
    const std::string backup = temporary + ".old";
    const bool backedUp = existed && ops.Link(target, backup);
    if (!ops.Rename(temporary, target)) {
        const int error = errno;
        ops.Remove(temporary);
        if (backedUp)
            ops.Remove(backup);
        throw WriteError(path, error);
    }
    if (!SyncDirectory(ops, target)) {
        const int error = errno;
        if (!existed)
            ops.Remove(target);
        else if (!backedUp || !ops.Rename(backup, target))
            ops.Remove(backup);
        throw WriteError(path, error);
    }
    if (backedUp)
        ops.Remove(backup);
}

}  // namespace

void ReplaceFile(const std::string& path, const std::string& bytes) {
    const std::string target = ThroughLinks(path);
    Replace(path, target, ModeFor(target), bytes);
}

void ReplacePrivateFile(const std::string& path, const std::string& bytes) {
    Replace(path, path, 0600, bytes);
}

}  // namespace userdata
