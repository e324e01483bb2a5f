#pragma once
// Reading a file whose kind and size are not to be trusted: a name may stand for a FIFO nobody
// writes to, a device without end, a directory or a link to any of them, or a file far larger
// than any text the program takes. Nothing here blocks on such a file or reads past the bound.
#include <cstddef>
#include <string>

namespace platform {

struct TReadRules {
    size_t MaxBytes = 0;
    bool Pipes = false;       // a FIFO is read to its end (waiting for a writer), not refused
    bool FollowLinks = true;  // false: a symbolic link is refused, never followed
};

enum class TReadProblem {
    None,
    CannotOpen,  // Error says why
    Link,        // a symbolic link, where none is followed
    Directory,
    Device,      // a character or block device
    Other,       // a socket, or a FIFO where none is read
    TooLarge,    // more than MaxBytes
    CannotRead,  // Error says why
};

struct TReadResult {
    std::string Bytes;  // the whole file when Problem is None
    TReadProblem Problem = TReadProblem::None;
    int Error = 0;
};

// The file at path under rules: opened without blocking and checked for its kind before a
// byte is read.
TReadResult ReadBounded(const std::string& path, const TReadRules& rules);

}  // namespace platform
