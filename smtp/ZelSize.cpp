// TZelSMTP: the message size extension. A server that lists SIZE learns the size of the message
// in MAIL FROM, and one too large for its limit is refused before MAIL, so that nothing of it
// goes out only to be turned away at the end.
#include <cstdio>

#include "smtp/Zelsmtp.h"

EMessageTooLarge::EMessageTooLarge(int64_t size, int64_t limit)
    : Exception("The message (" + MegaBytes(size, limit) + ") is larger than the server takes (" +
                MegaBytes(limit, size) + ")"),
      Size(size),
      Limit(limit) {}

std::string MegaBytes(int64_t Bytes, int64_t Other) {
    constexpr double kMegaByte = 1024.0 * 1024.0;
    char text[2][40];
    int decimals = 1;
    for (;; ++decimals) {
        std::snprintf(text[0], sizeof text[0], "%.*f", decimals, Bytes / kMegaByte);
        std::snprintf(text[1], sizeof text[1], "%.*f", decimals, Other / kMegaByte);
        if (decimals == 6 || std::string_view(text[0]) != text[1])
            break;
    }
    return std::string(text[0]) + " MB";
}

int64_t TZelSMTP::MessageSize() const {
    const std::string_view content = ContentStream.Data();
    int64_t doubled = content.starts_with('.') ? 1 : 0;
    for (size_t at = content.find("\n."); at != std::string_view::npos;
         at = content.find("\n.", at + 2))
        ++doubled;
    return static_cast<int64_t>(HeaderText("").size() + content.size()) - doubled;
}

std::string TZelSMTP::MailFromCommand() const {
    const std::string command = "MAIL FROM:<" + PostMessage.FromAddress + ">";
    return SizeOffered ? command + " SIZE=" + std::to_string(MessageSize()) : command;
}

void TZelSMTP::CheckMessageSize() const {
    if (!SizeOffered || MaxMessageSize <= 0)
        return;
    if (const int64_t size = MessageSize(); size > MaxMessageSize)
        throw EMessageTooLarge(size, MaxMessageSize);
}
