#include "app/MessageCharset.h"

#include <QString>
#include <algorithm>

#include "platform/CodePage.h"
#include "platform/Exception.h"

namespace {

bool IsOutsideAscii(char32_t c) {
    return c >= 0x80;
}

bool IsPrivateUse(char32_t c) {
    return (c >= 0xE000 && c <= 0xF8FF) || c >= 0xF0000;
}

char32_t FirstOf(std::string_view utf8, bool (*wanted)(char32_t)) {
    const std::u32string text =
        QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())).toStdU32String();
    const auto found = std::find_if(text.begin(), text.end(), wanted);
    return found == text.end() ? 0 : *found;
}

}  // namespace

TCharset CharsetOf(const std::string& setting) {
    if (setting.empty() || setting == "auto")
        return TCharset::Auto;
    if (setting == "iso-2022-jp")
        return TCharset::Iso2022Jp;
    if (setting == "utf-8")
        return TCharset::Utf8;
    throw Exception(platform::Sjis("文字コード \"") + platform::Utf8ToSjis(setting) +
                    platform::Sjis("\" は auto、iso-2022-jp、utf-8 のどれでもありません"));
}

char32_t FindPrivateUseChar(std::string_view utf8) {
    return FirstOf(utf8, IsPrivateUse);
}

char32_t FindNonAsciiAddressChar(const std::vector<TMailbox>& mailboxes) {
    for (const TMailbox& mailbox : mailboxes) {
        if (const char32_t c = FirstOf(mailbox.Address, IsOutsideAscii))
            return c;
    }
    return 0;
}
