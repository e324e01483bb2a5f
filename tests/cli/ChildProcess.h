#pragma once
// A program run by a test with its standard streams in pipes, bounded in time. Arguments are
// bytes, so Shift_JIS text can be passed as it is.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

class ChildProcess {
  public:
    // Starts argv[0] (a path) with the environment of the test plus env ("NAME=value"), whose
    // entries replace the test's own of the same name.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});
    ~ChildProcess();  // kills the child if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Feeds input, closes standard input, collects both outputs and waits for the end.
    // Returns the exit status, or -1 when the child had to be killed after timeout. Once the
    // child has ended, only what it left in the pipes is read: a process it started and left
    // behind may hold them open for much longer.
    int Finish(const std::string& input, std::chrono::milliseconds timeout);

    // The child's process id until Finish has reaped it.
    pid_t Pid() const { return pid_; }

    std::string Out;
    std::string Err;
    long PeakKiB = 0;  // the child's peak resident memory, once Finish has reaped it

  private:
    void CloseInput();
    void Kill();
    bool Reap(int& status);  // false while the child runs

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
