#include "platform/BoundedRead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace platform {
namespace {

// Closes the descriptor when it goes out of scope.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    void Reset(int fd) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_;
};

TReadProblem ProblemOfKind(mode_t mode, const TReadRules& rules) {
    if (S_ISREG(mode) || (S_ISFIFO(mode) && rules.Pipes))
        return TReadProblem::None;
    if (S_ISDIR(mode))
        return TReadProblem::Directory;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return TReadProblem::Device;
    return TReadProblem::Other;
}

// A FIFO opened without blocking reads as empty until a writer comes: it is opened again, now
// waiting for one, and must still be the same FIFO.
bool ReopenWaiting(const std::string& path, int flags, const struct stat& first, Descriptor& fd) {
    fd.Reset(::open(path.c_str(), flags & ~O_NONBLOCK));
    struct stat again {};
    return fd.Get() >= 0 && ::fstat(fd.Get(), &again) == 0 && again.st_dev == first.st_dev &&
           again.st_ino == first.st_ino;
}

// Reads to the end, or one byte past max.
TReadResult ReadUpTo(int fd, size_t max, size_t expected) {
    // A short file is read whole by the first read and its end found by the next, without
    // clearing and touching a full chunk of memory twice for a few bytes. A pipe says nothing
    // of its size.
    constexpr size_t kChunk = 64 * 1024;
    const size_t chunk = expected > 0 ? std::clamp<size_t>(expected + 1, 4096, kChunk) : kChunk;
    TReadResult result;
    std::string& bytes = result.Bytes;
    // Room for the last read too, which finds the end: a file of known size is never moved.
    bytes.reserve(std::min(expected, max) + chunk);
    for (;;) {
        const size_t room = std::min(chunk, max + 1 - bytes.size());
        const size_t had = bytes.size();
        bytes.resize(had + room);
        const ssize_t n = ::read(fd, bytes.data() + had, room);
        bytes.resize(had + static_cast<size_t>(std::max<ssize_t>(n, 0)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.Problem = TReadProblem::CannotRead;
            result.Error = errno;
            break;
        }
        if (n == 0)
            break;
        if (bytes.size() > max) {
            result.Problem = TReadProblem::TooLarge;
            break;
        }
    }
    if (result.Problem != TReadProblem::None)
        bytes = std::string();
    return result;
}

}  // namespace

TReadResult ReadBounded(const std::string& path, const TReadRules& rules) {
    TReadResult refused;
    const int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | (rules.FollowLinks ? 0 : O_NOFOLLOW);
    Descriptor fd(::open(path.c_str(), flags));
    struct stat status {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &status) != 0) {
        refused.Error = errno;
        refused.Problem = refused.Error == ELOOP && !rules.FollowLinks ? TReadProblem::Link
                                                                       : TReadProblem::CannotOpen;
        return refused;
    }
    refused.Problem = ProblemOfKind(status.st_mode, rules);
    if (refused.Problem == TReadProblem::None && S_ISREG(status.st_mode) &&
        static_cast<size_t>(status.st_size) > rules.MaxBytes)
        refused.Problem = TReadProblem::TooLarge;
    if (refused.Problem != TReadProblem::None)
        return refused;
    if (S_ISFIFO(status.st_mode) && !ReopenWaiting(path, flags, status, fd)) {
        refused.Problem = TReadProblem::CannotOpen;
        refused.Error = errno;
        return refused;
    }
    // A regular file opened without blocking reads as any other; the flag only kept the open
    // from waiting.
    ::fcntl(fd.Get(), F_SETFL, ::fcntl(fd.Get(), F_GETFL) & ~O_NONBLOCK);
    return ReadUpTo(fd.Get(), rules.MaxBytes, static_cast<size_t>(status.st_size));
}

}  // namespace platform
