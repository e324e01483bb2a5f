#pragma once
// Turning command-line text into the program's Shift_JIS byte strings.
#include <string>
#include <string_view>
#include <vector>

#include "platform/Exception.h"

// Text that the named encoding does not hold, or that code page 932 cannot take (UTF-8 message).
class EEncodingError : public Exception {
    using Exception::Exception;
};

// Converts text given in encoding ("utf-8" or "cp932") to Shift_JIS. what names the text in the
// error message ("--subject", "the body").
std::string ToShiftJis(std::string_view text, const std::string& encoding, const std::string& what);

// Lines of a body: a break is CR LF, LF or a lone CR; a final break adds no empty line.
std::vector<std::string> SplitBodyLines(std::string_view text);
