#pragma once
// Timing and figures shared by the benchmarks. Times are CPU time (user + system, page faults
// included) so that other work on a shared machine does not distort them.
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace bench {

// CPU time of this process and of the children it has waited for, in seconds.
inline double CpuSeconds() {
    timespec self{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &self);
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return self.tv_sec + self.tv_nsec / 1e9 + seconds(children.ru_utime) +
           seconds(children.ru_stime);
}

// Best of a few runs, in CPU seconds.
template <class F>
double BestSeconds(int runs, F work) {
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        const double start = CpuSeconds();
        work();
        best = std::min(best, CpuSeconds() - start);
    }
    return best;
}

// Runs a shell command and fails the benchmark when it fails.
inline void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

inline double MBps(double bytes, double seconds) {
    return bytes / 1e6 / seconds;
}

inline void Report(const char* name, double bytes, double seconds) {
    std::printf("  %-44s %8.1f MB/s  (%.3f s CPU)\n", name, MBps(bytes, seconds), seconds);
}

// A scratch directory, removed at the end.
class TempDir {
  public:
    TempDir() {
        char pattern[] = "/tmp/tidemark-bench-XXXXXX";
        if (!mkdtemp(pattern))
            std::exit(1);
        path_ = pattern;
    }
    ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
    std::string File(const char* name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

}  // namespace bench
