#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

void MakePipe(int fds[2]) {
    if (pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
}

// Appends what the descriptor has; false at end of file.
bool Drain(int fd, std::string& into) {
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0)
        into.append(buffer, static_cast<size_t>(n));
    return n > 0 || (n < 0 && errno == EINTR);
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env) {
    signal(SIGPIPE, SIG_IGN);  // a child that exits early must not take the test with it
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) {
        const std::string_view entry(*e);
        const auto replaced = [&](const std::string& own) {
            return entry.substr(0, entry.find('=') + 1) == own.substr(0, own.find('=') + 1);
        };
        if (std::none_of(env.begin(), env.end(), replaced))
            envp.push_back(*e);
    }
    for (const auto& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    int in[2], out[2], err[2];
    MakePipe(in);
    MakePipe(out);
    MakePipe(err);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        execve(args[0], args.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
    if (pid_ < 0)
        throw std::runtime_error("fork failed");
}

ChildProcess::~ChildProcess() {
    CloseInput();
    if (pid_ > 0)
        Finish("", std::chrono::seconds(5));
    if (out_ >= 0)
        close(out_);
    if (err_ >= 0)
        close(err_);
}

void ChildProcess::CloseInput() {
    if (in_ >= 0)
        close(in_);
    in_ = -1;
}

void ChildProcess::Kill() {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

bool ChildProcess::Reap(int& status) {
    rusage usage{};
    if (wait4(pid_, &status, WNOHANG, &usage) != pid_)
        return false;
    PeakKiB = usage.ru_maxrss;
    pid_ = -1;
    return true;
}

int ChildProcess::Finish(const std::string& input, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    size_t written = 0;
    if (input.empty())
        CloseInput();
    bool outOpen = out_ >= 0, errOpen = err_ >= 0, ended = false;
    int status = 0;
    while ((outOpen || errOpen || in_ >= 0) && RemainingMs(deadline) > 0) {
        ended = ended || Reap(status);
        pollfd p[3] = {
            {outOpen ? out_ : -1, POLLIN, 0}, {errOpen ? err_ : -1, POLLIN, 0}, {in_, POLLOUT, 0}};
        // While the child runs, a short wait: its end does not wake poll.
        if (poll(p, 3, ended ? 0 : std::min(RemainingMs(deadline), 20)) <= 0) {
            if (ended)
                break;
            continue;
        }
        if (p[0].revents)
            outOpen = Drain(out_, Out);
        if (p[1].revents)
            errOpen = Drain(err_, Err);
        if (p[2].revents & POLLOUT) {
            const ssize_t n = write(in_, input.data() + written, input.size() - written);
            if (n > 0)
                written += static_cast<size_t>(n);
            if (n < 0 || written == input.size())
                CloseInput();
        } else if (p[2].revents) {
            CloseInput();
        }
    }
    CloseInput();
    if (!ended && (outOpen || errOpen)) {
        Kill();
        return -1;
    }
    while (!ended && !(ended = Reap(status)) && RemainingMs(deadline) > 0)
        usleep(10000);
    if (!ended) {
        Kill();
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ChildResult RunChild(const std::vector<std::string>& argv, const std::string& input,
                     const std::vector<std::string>& env, std::chrono::milliseconds timeout) {
    ChildProcess child(argv, env);
    const int status = child.Finish(input, timeout);
    return {status, child.Out, child.Err};
}
