#include "cli/TerminalText.h"

#include <QString>

#include "platform/CodePage.h"

namespace {

bool IsControl(char16_t c) {
    return (c < 0x20 && c != u'\t' && c != u'\n') || (c >= 0x7F && c <= 0x9F);
}

}  // namespace

std::string TerminalText(std::string_view Text) {
    const std::string utf8 = platform::SjisToUtf8(Text);
    QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    for (QChar& c : text) {
        if (IsControl(c.unicode()))
            c = u'?';
    }
    return text.toStdString();
}
