#include "cli/PasswordCommand.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <thread>

#include "platform/Secret.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// The command's shell with its standard output on a pipe. Ending the object early (a failure,
// the time-out) kills the shell and reaps it, so no zombie and no stray command stay behind.
class ShellCommand {
  public:
    explicit ShellCommand(const std::string& command) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            throw EPasswordCommandError("cannot make a pipe");
        output_ = ends[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO);
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        std::fflush(nullptr);
        const int error = ::posix_spawn(&pid_, "/bin/sh", &actions, nullptr,
                                        const_cast<char* const*>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]);
        if (error != 0) {
            pid_ = -1;
            ::close(output_);
            throw EPasswordCommandError("cannot start /bin/sh");
        }
    }
    ~ShellCommand() {
        ::close(output_);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    ShellCommand(const ShellCommand&) = delete;
    ShellCommand& operator=(const ShellCommand&) = delete;

    // Reads into Buffer until a line feed, the end of the output or a full buffer; false when
    // the deadline passes first.
    bool ReadFirstLine(std::string& Buffer, size_t& got, Clock::time_point deadline) {
        got = 0;
        while (got < Buffer.size() && Buffer.find('\n') >= got) {
            pollfd ready{output_, POLLIN, 0};
            const int polled = ::poll(&ready, 1, MillisecondsUntil(deadline));
            if (polled == 0)
                return false;
            if (polled < 0 && errno == EINTR)
                continue;
            const ssize_t n = ::read(output_, Buffer.data() + got, Buffer.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<size_t>(n);
        }
        return true;
    }

    // Waits for the shell to end; false when the deadline passes first. Status: its exit
    // status, -1 when a signal ended it.
    bool Wait(int& Status, Clock::time_point deadline) {
        int status = 0;
        for (;;) {
            const pid_t done = ::waitpid(pid_, &status, WNOHANG);
            if (done == pid_)
                break;
            if (done < 0 && errno != EINTR)
                throw EPasswordCommandError("cannot wait for the command");
            if (Clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
        Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
    }

  private:
    pid_t pid_ = -1;
    int output_ = -1;
};

// The password out of the first line; the line's buffer is wiped by its owner.
std::string PasswordOf(const std::string& buffer, size_t got, const std::string& what) {
    const size_t lineFeed = buffer.find('\n');
    if (lineFeed >= got && got == buffer.size()) {
        throw EPasswordCommandError("its first line is longer than " +
                                    std::to_string(buffer.size()) + " bytes");
    }
    size_t length = std::min(lineFeed, got);
    if (length > 0 && buffer[length - 1] == '\r')
        --length;
    if (length == 0)
        throw EPasswordCommandError("it printed no " + what);
    const std::string_view line(buffer.data(), length);
    if (line.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos)
        throw EPasswordCommandError("the " + what + " holds a NUL or line break");
    return std::string(line);
}

}  // namespace

std::string RunPasswordCommand(const std::string& Command, std::chrono::milliseconds TimeOut,
                               size_t MaxBytes, const char* What) {
    const Clock::time_point deadline = Clock::now() + TimeOut;
    ShellCommand shell(Command);
    std::string buffer(MaxBytes, '\0');
    platform::SecretScope wipe(buffer);
    size_t got = 0;
    int status = 0;
    if (!shell.ReadFirstLine(buffer, got, deadline) || !shell.Wait(status, deadline)) {
        throw EPasswordCommandError("it did not finish within " +
                                    std::to_string((TimeOut.count() + 999) / 1000) + " seconds");
    }
    if (status != 0)
        throw EPasswordCommandError("it ended with an error");
    return PasswordOf(buffer, got, What);
}
