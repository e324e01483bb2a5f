#include "platform/ScreenText.h"

#include <algorithm>

#include "platform/CodePage.h"

namespace platform {
namespace {

bool IsControl(char16_t c) {
    return (c < 0x20 && c != u'\t' && c != u'\n') || (c >= 0x7F && c <= 0x9F);
}

bool HasEightBit(std::string_view bytes) {
    return std::any_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

}  // namespace

// Shift_JIS trail bytes start at 0x40, so no byte below that, nor DEL, is part of a character.
std::string ServerText(std::string_view Bytes) {
    std::string text =
        HasEightBit(Bytes) && IsUtf8(Bytes) ? Utf8ToSjisLossy(Bytes) : std::string(Bytes);
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte < 0x20 && c != '\t' && c != '\r' && c != '\n') || byte == 0x7F)
            c = '?';
    }
    return text;
}

std::string TerminalText(std::string_view Text) {
    return ShownText(Text).toStdString();
}

QString ShownText(std::string_view Text) {
    QString text = FromSjis(Text);
    for (QChar& c : text) {
        if (IsControl(c.unicode()))
            c = u'?';
    }
    return text;
}

}  // namespace platform
