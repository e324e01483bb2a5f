// The password command: what it prints, how long it may take, and what is refused.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <string>

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

}  // namespace
