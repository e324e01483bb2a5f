#pragma once
// A program run by a test with its standard streams in pipes, bounded in time. Arguments are
// bytes, so Shift_JIS text can be passed as it is.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

class ChildProcess {
  public:
    // Starts argv[0] (a path) with the environment of the test plus env ("NAME=value").
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Feeds input, closes standard input, collects both outputs and waits for the end.
    // Returns the exit status, or -1 when the child had to be killed after timeout.
    int Finish(const std::string& input, std::chrono::milliseconds timeout);

    std::string Out;
    std::string Err;

  private:
    void CloseInput();
    void Kill();

    pid_t pid_ = -1;
    int in_ = -1, out_ = -1, err_ = -1;
};

// Runs a program to its end: exit status, standard output and standard error.
struct ChildResult {
    int status;
    std::string out;
    std::string err;
};
ChildResult RunChild(const std::vector<std::string>& argv, const std::string& input,
                     const std::vector<std::string>& env = {},
                     std::chrono::milliseconds timeout = std::chrono::seconds(30));
