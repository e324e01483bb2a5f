#include "cli/MessageText.h"

#include <QString>

#include "platform/CodePage.h"
#include "smtp/ZelLines.h"

namespace {

// Malformed sequences come back from the round trip as replacement characters.
bool IsValidUtf8(std::string_view text) {
    const QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// Code page 932 text that decodes without a replacement character.
bool IsValidCp932(std::string_view text) {
    return platform::SjisToUtf8(text).find("\xEF\xBF\xBD") == std::string::npos;
}

std::string FromUtf8(std::string_view text, const std::string& what) {
    if (!IsValidUtf8(text))
        throw EEncodingError(what + " は正しい UTF-8 ではありません。");
    try {
        return platform::Utf8ToSjis(text);
    } catch (const ECodePageError& e) {
        const std::string character = QString::fromUcs4(&e.Character, 1).toStdString();
        throw EEncodingError(what + " の文字「" + character + "」(" +
                             platform::CodePointName(e.Character) +
                             ") はシフトJISで表せないため、送信しませんでした。");
    }
}

}  // namespace

std::string ToShiftJis(std::string_view text, const std::string& encoding,
                       const std::string& what) {
    if (encoding == "utf-8")
        return FromUtf8(text, what);
    if (!IsValidCp932(text))
        throw EEncodingError(what + " は正しい cp932 ではありません。");
    return std::string(text);
}

std::vector<std::string> SplitBodyLines(std::string_view text) {
    // The client's own splitting, less the empty line after a final break.
    std::vector<std::string> lines = SplitLines(text);
    if (lines.back().empty())
        lines.pop_back();
    return lines;
}
