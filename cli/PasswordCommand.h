#pragma once
// The AUTH password from a command the user names, as scripts keep it in a password manager.
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "platform/Exception.h"

// The command failed, took too long or printed no usable password; the message says which.
class EPasswordCommandError : public Exception {
    using Exception::Exception;
};

constexpr std::chrono::milliseconds kPasswordCommandTimeOut{30000};
// The first line may hold this many bytes with its line end.
constexpr size_t kPasswordCommandMaxBytes = 4096;

// The first line (without its line end) that `/bin/sh -c Command` prints on standard output.
// Reading stops at the first line end, so a background child that keeps the output open does
// not hold the sender; the command itself must end within TimeOut, or it is killed. A line
// holding a NUL or CR is refused, as no server could be given it whole. What names the line in
// messages; an access token is read the same way, under a larger MaxBytes.
std::string RunPasswordCommand(const std::string& Command,
                               std::chrono::milliseconds TimeOut = kPasswordCommandTimeOut,
                               size_t MaxBytes = kPasswordCommandMaxBytes,
                               const char* What = "password");

// The same command started at once and read later, so that it runs while the send gets ready.
// Finish raises EPasswordCommandError as RunPasswordCommand does, also for a command that could
// not start. A command never finished is ended with its whole group.
class TPasswordCommand {
  public:
    explicit TPasswordCommand(const std::string& Command,
                              std::chrono::milliseconds TimeOut = kPasswordCommandTimeOut);
    ~TPasswordCommand();
    TPasswordCommand(const TPasswordCommand&) = delete;
    TPasswordCommand& operator=(const TPasswordCommand&) = delete;

    // The first line, once.
    std::string Finish(size_t MaxBytes = kPasswordCommandMaxBytes, const char* What = "password");

  private:
    struct TRunning;
    std::unique_ptr<TRunning> running_;
    std::chrono::milliseconds timeOut_;
};
