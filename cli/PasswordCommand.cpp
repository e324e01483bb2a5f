#include "cli/PasswordCommand.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>

std::optional<std::string> RunPasswordCommand(const std::string& Command) {
    std::fflush(nullptr);
    FILE* output = ::popen(Command.c_str(), "r");
    if (output == nullptr)
        return std::nullopt;
    std::string text;
    std::array<char, 512> chunk;
    for (size_t n; (n = std::fread(chunk.data(), 1, chunk.size(), output)) > 0;)
        text.append(chunk.data(), n);
    chunk.fill('\0');
    const int status = ::pclose(output);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    std::string line = text.substr(0, text.find('\n'));
    text.assign(text.size(), '\0');
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty())
        return std::nullopt;
    return line;
}
