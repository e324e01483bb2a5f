#pragma once
// The shape of a server's reply as the socket component reads it: one or more lines, every one
// but the last marked as having more lines of the same reply after it.
#include <string_view>

// A reply line that more lines of the same reply follow ("250-..." or a leading blank).
bool IsContinuationLine(std::string_view Reply);
