#include "userdata/LineFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/CodePage.h"

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

bool WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
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

void SyncDirectory(const std::string& target) {
    const size_t slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    FileDescriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY));
    if (fd.Get() >= 0)
        ::fsync(fd.Get());
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
    const std::string target = ThroughLinks(path);
    std::string temporary = target + ".XXXXXX";
    FileDescriptor fd(::mkstemp(temporary.data()));
    if (fd.Get() < 0)
        throw EInOutError(FileErrorText("ファイル %s に書き込めません", path, errno));

    const bool written = ::fchmod(fd.Get(), ModeFor(target)) == 0 &&
                         WriteAll(fd.Get(), JoinLines(lines)) && ::fsync(fd.Get()) == 0 &&
                         fd.Close() && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!written) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw EInOutError(FileErrorText("ファイル %s に書き込めません", path, error));
    }
    SyncDirectory(target);
}

}  // namespace userdata
