#include "app/SendChecks.h"

#include "platform/CodePage.h"
#include "smtp/Zelsmtp.h"

namespace {

using platform::Sjis;

bool HasLineBreakOrNul(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

std::string BadAddressMessage(const char* field, const std::string& address) {
    return Sjis(field) + Sjis("のアドレス「") + address +
           Sjis(
               "」に、空白、< > や制御文字など、アドレスに使えない文字があります。"
               "直してから送信してね。");
}

// The first address of the field that cannot go into the envelope, with its message.
std::string CheckAddresses(const TCheckedField& field) {
    if (field.Kind == TCheckedField::Sender) {
        return IsEnvelopeAddress(field.Value) ? std::string()
                                              : BadAddressMessage(field.NameUtf8, field.Value);
    }
    for (const std::string& piece : TZelSMTP::SplitRecipients(field.Value)) {
        const std::string address = TZelSMTP::ExtractAddress(piece);
        if (!address.empty() && !IsEnvelopeAddress(address))
            return BadAddressMessage(field.NameUtf8, address);
    }
    return std::string();
}

}  // namespace

// Quotes open only in the local part, before the "@", and must close there.
bool IsEnvelopeAddress(const std::string& address) {
    bool quoted = false;
    bool domain = false;
    for (size_t i = 0; i < address.size(); ++i) {
        const auto c = static_cast<unsigned char>(address[i]);
        if (IsControl(c))
            return false;
        if (platform::IsDBCSLeadByte(c)) {
            ++i;  // its second byte may look like a backslash
        } else if (quoted) {
            if (c == '\\' && i + 1 < address.size() &&
                IsControl(static_cast<unsigned char>(address[++i]))) {
                return false;
            }
            quoted = c != '"';
        } else if (c == '"') {
            if (domain)
                return false;
            quoted = true;
        } else if (c == ' ' || c == '<' || c == '>') {
            return false;
        } else if (c == '@') {
            domain = true;
        }
    }
    return !quoted;
}

std::string RefusalBeforeConnecting(const std::vector<TCheckedField>& fields,
                                    const std::vector<std::string>& body) {
    for (const TCheckedField& field : fields) {
        if (HasLineBreakOrNul(field.Value)) {
            return Sjis(field.NameUtf8) +
                   Sjis("に改行またはNUL文字が含まれています。直してから送信してね。");
        }
    }
    for (const std::string& line : body) {
        if (line.find('\0') != std::string::npos)
            return Sjis("本文にNUL文字が含まれています。直してから送信してね。");
    }
    for (const TCheckedField& field : fields) {
        if (field.Kind == TCheckedField::Text)
            continue;
        if (std::string message = CheckAddresses(field); !message.empty())
            return message;
    }
    return std::string();
}
