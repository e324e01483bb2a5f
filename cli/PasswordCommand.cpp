#include "cli/PasswordCommand.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/Secret.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// The words of a command that the shell would run as one program with its arguments, untouched:
// letters, digits and _@%+,./:=- only (no quoting, expansion, redirection or assignment) and no
// command of the shell's own, which may behave otherwise than the program of that name. Empty
// when the shell must read the command. Starting such a program directly spares the shell.
std::vector<std::string> PlainProgram(const std::string& command) {
    static constexpr std::string_view kShellOwn[] = {
        "alias",  "bg",    "break",   "cd",     "chdir",  "command", "continue", "echo",
        "eval",   "exec",  "exit",    "export", "false",  "fc",      "fg",       "getopts",
        "hash",   "jobs",  "kill",    "local",  "printf", "pwd",     "read",     "readonly",
        "return", "set",   "shift",   "test",   "times",  "trap",    "true",     "type",
        "ulimit", "umask", "unalias", "unset",  "wait"};
    const auto plain = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("_@%+,./:=-").find(c) != std::string_view::npos;
    };
    std::vector<std::string> words;
    std::string word;
    for (const char c : command + ' ') {
        if (c == ' ' || c == '\t') {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else if (plain(c)) {
            word += c;
        } else {
            return {};
        }
    }
    if (words.empty() || words[0].find('=') != std::string::npos ||
        std::find(std::begin(kShellOwn), std::end(kShellOwn), words[0]) != std::end(kShellOwn)) {
        return {};
    }
    return words;
}

// Starts the program of Words (searched on PATH); an error number when it cannot be started.
int SpawnProgram(pid_t& pid, const posix_spawn_file_actions_t& actions,
                 const posix_spawnattr_t& attributes, const std::vector<std::string>& words) {
    if (words.empty())
        return ENOENT;
    std::vector<char*> argv;
    for (const std::string& w : words)
        argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    return ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
}

// The command's shell (or its plain program) with its standard output on a pipe, leading a process
// group of its own. Ending the object early (a failure, the time-out) kills the whole group and
// reaps the shell, so neither a zombie nor a command the shell started stays behind.
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
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        std::fflush(nullptr);
        // A program the shell would run as it is starts without the shell; one that cannot
        // start is left to the shell, which then fails as it always did.
        int error = SpawnProgram(pid_, actions, attributes, PlainProgram(command));
        if (error != 0)
            error = ::posix_spawn(&pid_, "/bin/sh", &actions, &attributes,
                                  const_cast<char* const*>(argv), environ);
        posix_spawnattr_destroy(&attributes);
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
        // The shell is not reaped yet, so its group's number cannot have passed to another.
        if (pid_ > 0) {
            ::kill(-pid_, SIGKILL);
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
            AwaitExit(deadline);
        }
        pid_ = -1;
        Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
    }

  private:
    // Sleeps until the shell has ended or the deadline has passed, whichever comes first, so
    // that a password printed just before the end costs no more than the end itself.
    void AwaitExit(Clock::time_point deadline) const {
        const int ended = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
        if (ended < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a kernel without pidfd
            return;
        }
        pollfd ready{ended, POLLIN, 0};
        ::poll(&ready, 1, MillisecondsUntil(deadline));
        ::close(ended);
    }

    pid_t pid_ = -1;
    int output_ = -1;
};

// A full buffer without a line end: said at once, not after the command stalls on its output.
void RequireShortLine(const std::string& buffer, size_t got) {
    if (got == buffer.size() && buffer.find('\n') >= got) {
        throw EPasswordCommandError("its first line is longer than " +
                                    std::to_string(buffer.size()) + " bytes");
    }
}

// The password out of the first line; the line's buffer is wiped by its owner.
std::string PasswordOf(const std::string& buffer, size_t got, const std::string& what) {
    const size_t lineFeed = buffer.find('\n');
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

// A command that could not start says so when it is read.
struct TPasswordCommand::TRunning {
    TRunning(const std::string& command, std::chrono::milliseconds timeOut)
        : deadline(Clock::now() + timeOut) {
        try {
            shell.emplace(command);
        } catch (const EPasswordCommandError& e) {
            startError = e.Message();
        }
    }
    Clock::time_point deadline;
    std::optional<ShellCommand> shell;
    std::string startError;
};

TPasswordCommand::TPasswordCommand(const std::string& Command, std::chrono::milliseconds TimeOut)
    : running_(std::make_unique<TRunning>(Command, TimeOut)), timeOut_(TimeOut) {}

TPasswordCommand::~TPasswordCommand() = default;

std::string TPasswordCommand::Finish(size_t MaxBytes, const char* What) {
    if (!running_)
        throw EPasswordCommandError("it was read already");
    const std::unique_ptr<TRunning> running = std::move(running_);
    if (!running->shell)
        throw EPasswordCommandError(running->startError);
    std::string buffer(MaxBytes, '\0');
    platform::SecretScope wipe(buffer);
    size_t got = 0;
    int status = 0;
    const bool read = running->shell->ReadFirstLine(buffer, got, running->deadline);
    if (read)
        RequireShortLine(buffer, got);
    if (!read || !running->shell->Wait(status, running->deadline)) {
        throw EPasswordCommandError("it did not finish within " +
                                    std::to_string((timeOut_.count() + 999) / 1000) + " seconds");
    }
    if (status != 0)
        throw EPasswordCommandError("it ended with an error");
    return PasswordOf(buffer, got, What);
}

std::string RunPasswordCommand(const std::string& Command, std::chrono::milliseconds TimeOut,
                               size_t MaxBytes, const char* What) {
    return TPasswordCommand(Command, TimeOut).Finish(MaxBytes, What);
}
