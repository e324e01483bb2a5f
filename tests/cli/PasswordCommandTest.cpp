// The password command: what it prints, how long it may take, and what is refused.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "cli/PasswordCommand.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(PasswordCommandTest, FirstLineWithinTimeAndSize) {
    const std::string longest(kPasswordCommandMaxBytes - 1, 'a');
    const struct {
        const char* name;
        std::string command;
        std::string password;  // "" when refused
        std::string error;     // part of the refusal
    } cases[] = {
        {"first line", "printf 'pw\\nsecond\\n'", "pw", ""},
        {"CR LF", "printf 'pw\\r\\n'", "pw", ""},
        {"no line end", "printf 'p w'", "p w", ""},
        {"longest line", "printf '%s\\n' " + longest, longest, ""},
        {"line too long", "printf '%s\\n' a" + longest, "", "longer than 4096 bytes"},
        {"lingering child", "echo pw; (sleep 5 2>/dev/null &)", "pw", ""},
        {"fails", "echo pw; exit 3", "", "ended with an error"},
        {"prints nothing", "true", "", "printed no password"},
        {"empty line", "echo", "", "printed no password"},
        {"NUL", "printf 'p\\0w\\n'", "", "NUL or line break"},
        {"CR inside", "printf 'p\\rw\\n'", "", "NUL or line break"},
        {"never ends", "echo pw; exec sleep 5", "", "did not finish within 1 seconds"},
        {"silent and never ends", "exec sleep 5", "", "did not finish within 1 seconds"},
        {"plain program", "/usr/bin/printf pw", "pw", ""},
        {"plain program not found", "no-such-program-here x", "", "ended with an error"},
        {"the shell's own echo", "echo -e pw", "-e pw", ""},
        {"assignment first", "A=b /usr/bin/printf pw", "pw", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto started = Clock::now();
        std::string password, error;
        try {
            password = RunPasswordCommand(c.command, 400ms);
        } catch (const EPasswordCommandError& e) {
            error = e.Message();
        }
        EXPECT_EQ(password, c.password);
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_EQ(error.empty(), c.error.empty()) << error;
        EXPECT_LT(Clock::now() - started, 1500ms);
    }
}

// A plain program runs as the command's own child: no shell stands between them.
TEST(PasswordCommandTest, PlainProgramWithoutShell) {
    const std::string stat = RunPasswordCommand("cat /proc/self/stat", 2000ms);
    // "pid (comm) state ppid ...": the parent follows the name's closing parenthesis.
    const std::string after = stat.substr(stat.rfind(')') + 2);
    const std::string parent = after.substr(2, after.find(' ', 2) - 2);
    EXPECT_EQ(parent, std::to_string(::getpid())) << stat;
    EXPECT_NE(stat.find("(cat)"), std::string::npos) << stat;
}

// The first bytes of a file under /proc; empty when the process has gone meanwhile.
std::string ProcText(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "";
    std::string text(4096, '\0');
    const ssize_t n = ::read(fd, text.data(), text.size());
    ::close(fd);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

// Running processes whose command line holds marker (zombies waiting for a reaper do not count).
int LiveWith(const std::string& marker) {
    int live = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string status = ProcText(entry.path() / "stat");
        const size_t paren = status.rfind(')');
        if (ProcText(entry.path() / "cmdline").find(marker) != std::string::npos &&
            paren != std::string::npos && paren + 2 < status.size() && status[paren + 2] != 'Z')
            ++live;
    }
    return live;
}

// A command that overruns is ended with everything it started; a first line that never ends is
// refused as soon as the buffer is full, not at the time-out.
TEST(PasswordCommandTest, OverrunEndsEverythingItStarted) {
    // Each sleep carries a number no other process has on its command line.
    const std::string seconds = "1000." + std::to_string(::getpid());
    const std::string sleep = "sleep " + seconds;
    const struct {
        const char* name;
        std::string command;
        std::chrono::milliseconds timeOut;
        const char* error;
    } cases[] = {
        {"child in front", sleep + "; echo pw", 300ms, "did not finish"},
        {"children behind and in front", sleep + " & " + sleep + "; echo pw", 300ms,
         "did not finish"},
        {"endless first line", "yes | tr -d '\\n'", 20s, "longer than 4096 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto started = Clock::now();
        std::string error;
        try {
            RunPasswordCommand(c.command, c.timeOut);
        } catch (const EPasswordCommandError& e) {
            error = e.Message();
        }
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_LT(Clock::now() - started, std::min<std::chrono::milliseconds>(c.timeOut, 1s) + 1s);
        for (int i = 0; i < 100 && LiveWith(seconds) > 0; ++i)
            std::this_thread::sleep_for(10ms);
        EXPECT_EQ(0, LiveWith(seconds));
    }
}

}  // namespace
