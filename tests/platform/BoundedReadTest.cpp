// Files whose kind and size are not to be trusted: each refused or read within its bound, fast.
#include "platform/BoundedRead.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using namespace std::chrono_literals;
using platform::TReadProblem;

TEST(BoundedRead, EveryKindOfFileIsReadOrRefusedAtOnce) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString() + "/";
    std::ofstream(base + "small") << "text";
    std::ofstream(base + "large") << std::string(101, 'x');
    std::filesystem::create_directory(base + "dir");
    ::mkfifo((base + "fifo").c_str(), 0600);
    ::mkfifo((base + "fed").c_str(), 0600);
    std::filesystem::create_symlink("/dev/zero", base + "zero");
    std::filesystem::create_symlink(base + "small", base + "link");
    // The writer of "fed" comes after the reader has opened it, as a pipe's writer may.
    std::thread writer([&] {
        std::this_thread::sleep_for(200ms);
        std::ofstream(base + "fed") << "piped";
    });
    const struct {
        const char* name;
        platform::TReadRules rules;
        TReadProblem problem;
        std::string bytes;
    } cases[] = {
        {"small", {100, false, false}, TReadProblem::None, "text"},
        {"large", {100, false, false}, TReadProblem::TooLarge, ""},
        {"large", {101, false, false}, TReadProblem::None, std::string(101, 'x')},
        {"dir", {100, true, true}, TReadProblem::Directory, ""},
        {"fifo", {100, false, false}, TReadProblem::Other, ""},
        {"fed", {100, true, true}, TReadProblem::None, "piped"},
        {"zero", {100, true, true}, TReadProblem::Device, ""},
        {"zero", {100, true, false}, TReadProblem::Link, ""},
        {"link", {100, false, false}, TReadProblem::Link, ""},
        {"link", {100, false, true}, TReadProblem::None, "text"},
        {"missing", {100, true, true}, TReadProblem::CannotOpen, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto started = std::chrono::steady_clock::now();
        const platform::TReadResult read = platform::ReadBounded(base + c.name, c.rules);
        EXPECT_EQ(c.problem, read.Problem);
        EXPECT_EQ(c.bytes, read.Bytes);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    }
    writer.join();
}

}  // namespace
