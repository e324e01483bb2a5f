#include "app/SendChecks.h"

#include "app/MessageCharset.h"
#include "app/SendFlowText.h"
#include "platform/CodePage.h"
#include "smtp/AddressList.h"
#include "smtp/ZelUtf8.h"

namespace {

using platform::Sjis;

bool HasLineBreakOrNul(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7F;
}

std::string BadAddressMessage(const char* field, const std::string& address) {
    return Sjis(
        "{1}のアドレス「{2}」に、空白、< > や制御文字など、アドレスに使えない文字があります。"
        "直してから送信してね。",
        {Sjis(field), address});
}

std::string UnreadableMessage(const char* field, const std::string& piece) {
    return Sjis(
        "{1}の「{2}」を、メールアドレスとして読めません。引用符 \" \"、かっこ ( )、< > "
        "の閉じ忘れなどを直してから送信してね。",
        {Sjis(field), piece});
}

// The first address of the field that cannot go into the envelope, with its message; the
// field's addresses read as the client reads them. No server without SMTPUTF8 takes an address
// outside ASCII, whatever the message's set.
std::string CheckAddresses(const TCheckedField& field) {
    if (field.Kind == TCheckedField::Sender) {
        if (const char32_t c = FindNonAsciiAddressChar({{"", field.Value, field.Value}}))
            return NonAsciiAddressMessage(field.NameUtf8, c);
        return IsEnvelopeAddress(field.Value)
                   ? std::string()
                   : BadAddressMessage(field.NameUtf8, field.Value);
    }
    std::vector<TMailbox> mailboxes;
    try {
        mailboxes = ParseAddressList(field.Value, Utf8Words);
    } catch (const EAddressSyntaxError& e) {
        return UnreadableMessage(field.NameUtf8, platform::Utf8ToSjisShown(e.Piece));
    }
    if (const char32_t c = FindNonAsciiAddressChar(mailboxes))
        return NonAsciiAddressMessage(field.NameUtf8, c);
    for (const TMailbox& mailbox : mailboxes) {
        if (!mailbox.Address.empty() && !IsEnvelopeAddress(mailbox.Address))
            return BadAddressMessage(field.NameUtf8, mailbox.Address);
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
        // Not even quoted: a server that reads the path naively would end it there.
        if (IsControl(c) || c == '<' || c == '>')
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
        } else if (c == ' ') {
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
            return Sjis("{1}に改行またはNUL文字が含まれています。直してから送信してね。",
                        {Sjis(field.NameUtf8)});
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
