#pragma once
// The body of a command-line send: the file of --body-file, or standard input.
#include <cstddef>
#include <istream>
#include <optional>
#include <string>

#include "platform/Exception.h"

// A body that cannot be taken; the message (UTF-8) names the file and why.
class EBodyInputError : public Exception {
    using Exception::Exception;
};

// No body is longer: a file or a pipe without end must not take all memory.
inline constexpr size_t kMaxBodyBytes = 10 * 1024 * 1024;

// The whole body. A file must be a regular file or a FIFO; input is read as it comes. Raises
// EBodyInputError for anything else, a read that fails, or more than kMaxBodyBytes.
std::string ReadBodyInput(const std::optional<std::string>& path, std::istream& input);
