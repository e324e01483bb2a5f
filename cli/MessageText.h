#pragma once
// Turning command-line text into the program's Shift_JIS byte strings.
#include <string>
#include <string_view>
#include <vector>

#include "platform/Exception.h"
#include "smtp/ZelLines.h"

// Text that the named encoding does not hold, or that code page 932 cannot take (UTF-8 message).
class EEncodingError : public Exception {
    using Exception::Exception;
};

// A text of the command line in both of the program's forms.
struct TConsoleText {
    std::string Utf8;          // as given, in UTF-8
    std::string Sjis;          // in Shift_JIS, when code page 932 holds the text
    char32_t Unencodable = 0;  // else the first character it lacks
};

// Reads text given in encoding ("utf-8" or "cp932"); raises EEncodingError for bytes that are
// not valid in it. what names the text in the error message.
TConsoleText ReadConsoleText(std::string text, const std::string& encoding,
                             const std::string& what);

// The refusal of a text that holds character, which code page 932 lacks.
EEncodingError UnencodableError(const std::string& what, char32_t character);

// Converts text given in encoding ("utf-8" or "cp932") to Shift_JIS. what names the text in the
// error message ("--subject", "the body").
std::string ToShiftJis(std::string_view text, const std::string& encoding, const std::string& what);

// Lines of a body: a break is CR LF, LF or a lone CR; a final break adds no empty line. Each
// line is made by convert when it is given.
std::vector<std::string> SplitBodyLines(std::string_view text, TLineConversion convert = nullptr);
