#include "cli/MessageText.h"

#include <QString>

#include "platform/CodePage.h"
#include "smtp/ZelLines.h"

namespace {

// Code page 932 text that decodes without a replacement character.
bool IsValidCp932(std::string_view text) {
    return platform::SjisToUtf8(text).find("\xEF\xBF\xBD") == std::string::npos;
}

void RequireValid(std::string_view text, const std::string& encoding, const std::string& what) {
    if (encoding == "utf-8" && !platform::IsUtf8(text))
        throw EEncodingError(what + " は正しい UTF-8 ではありません。");
    if (encoding != "utf-8" && !IsValidCp932(text))
        throw EEncodingError(what + " は正しい cp932 ではありません。");
}

}  // namespace

TConsoleText ReadConsoleText(std::string text, const std::string& encoding,
                             const std::string& what) {
    RequireValid(text, encoding, what);
    TConsoleText read;
    if (encoding != "utf-8") {
        read.Utf8 = platform::SjisToUtf8(text);
        read.Sjis = std::move(text);
        return read;
    }
    try {
        read.Sjis = platform::Utf8ToSjis(text);
    } catch (const ECodePageError& e) {
        read.Unencodable = e.Character;
    }
    read.Utf8 = std::move(text);
    return read;
}

EEncodingError UnencodableError(const std::string& what, char32_t character) {
    return EEncodingError(what + " の文字「" + QString::fromUcs4(&character, 1).toStdString() +
                          "」(" + platform::CodePointName(character) +
                          ") はシフトJISで表せないため、送信しませんでした。");
}

std::string ToShiftJis(std::string_view text, const std::string& encoding,
                       const std::string& what) {
    const TConsoleText read = ReadConsoleText(std::string(text), encoding, what);
    if (read.Unencodable != 0)
        throw UnencodableError(what, read.Unencodable);
    return read.Sjis;
}

std::vector<std::string> SplitBodyLines(std::string_view text, TLineConversion convert) {
    // The client's own splitting, less the empty line after a final break.
    std::vector<std::string> lines = SplitLines(text, convert);
    if (lines.back().empty())
        lines.pop_back();
    return lines;
}
