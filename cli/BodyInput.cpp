#include "cli/BodyInput.h"

#include <cstring>
#include <ios>

#include "platform/BoundedRead.h"

namespace {

std::string TooLong(const std::string& what) {
    return what + " is longer than " + std::to_string(kMaxBodyBytes / (1024 * 1024)) + " MiB (" +
           std::to_string(kMaxBodyBytes) + " bytes), the most a body may hold";
}

std::string FileProblem(const std::string& what, const platform::TReadResult& read) {
    using platform::TReadProblem;
    switch (read.Problem) {
        case TReadProblem::Directory:
            return what + " is a directory";
        case TReadProblem::Device:
            return what + " is a device, not a file";
        case TReadProblem::TooLarge:
            return TooLong(what);
        case TReadProblem::CannotOpen:
            return "cannot open " + what + ": " + std::strerror(read.Error);
        case TReadProblem::CannotRead:
            return "cannot read " + what + ": " + std::strerror(read.Error);
        default:
            return what + " is neither a file nor a pipe";
    }
}

// A stream buffer may report a failed read by throwing, whatever the stream's exception mask.
std::string ReadInput(std::istream& input) {
    std::string body;
    constexpr size_t kChunk = 64 * 1024;
    try {
        while (input && body.size() <= kMaxBodyBytes) {
            const size_t had = body.size();
            body.resize(had + kChunk);
            input.read(body.data() + had, static_cast<std::streamsize>(kChunk));
            body.resize(had + static_cast<size_t>(input.gcount()));
        }
    } catch (const std::ios_base::failure&) {
        input.setstate(std::ios::badbit);
    }
    if (input.bad())
        throw EBodyInputError("cannot read the body from standard input");
    if (body.size() > kMaxBodyBytes)
        throw EBodyInputError(TooLong("standard input"));
    body.shrink_to_fit();
    return body;
}

}  // namespace

std::string ReadBodyInput(const std::optional<std::string>& path, std::istream& input) {
    if (!path)
        return ReadInput(input);
    platform::TReadResult read = platform::ReadBounded(*path, {kMaxBodyBytes, true, true});
    if (read.Problem != platform::TReadProblem::None)
        throw EBodyInputError(FileProblem("the body file '" + *path + "'", read));
    return std::move(read.Bytes);
}
