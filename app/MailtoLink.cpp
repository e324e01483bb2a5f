#include "app/MailtoLink.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <utility>

namespace {

std::optional<int> HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower >= 'a' && lower <= 'f')
        return lower - 'a' + 10;
    return std::nullopt;
}

std::string PercentDecoded(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        const auto high = i + 2 < text.size() ? HexDigit(text[i + 1]) : std::nullopt;
        const auto low = i + 2 < text.size() ? HexDigit(text[i + 2]) : std::nullopt;
        if (!high || !low)
            throw EFillError("リンクに壊れた %エンコードがあります: " +
                             std::string(text.substr(i, 3)));
        out += static_cast<char>(*high * 16 + *low);
        i += 2;
    }
    return out;
}

// The length of the UTF-8 sequence a lead byte starts, 0 for a byte that cannot lead.
size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

bool ValidSequence(std::string_view text, size_t at, size_t length) {
    if (length == 0 || at + length > text.size())
        return false;
    uint32_t code = static_cast<unsigned char>(text[at]) & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[at + i]);
        if ((byte & 0xC0) != 0x80)
            return false;
        code = code << 6 | (byte & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    constexpr uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    return length == 1 ||
           (code >= kShortest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF));
}

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void AddAddresses(std::string& field, const std::string& addresses) {
    if (addresses.empty())
        return;
    field += field.empty() ? addresses : ", " + addresses;
}

// CR LF and a lone CR end a line as LF does.
std::string WithLfLineEnds(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') {
            out += text[i];
            continue;
        }
        out += '\n';
        if (i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
    }
    return out;
}

// One "name=value" field of the query; a field without '=' has an empty value.
void TakeField(platform::TDraft& draft, std::string_view field, bool& subjectSeen, bool& bodySeen) {
    const size_t equals = field.find('=');
    const std::string name = Lowercase(PercentDecoded(field.substr(0, equals)));
    const std::string value =
        equals == std::string_view::npos ? std::string() : PercentDecoded(field.substr(equals + 1));
    if (!IsUtf8(value))
        throw EFillError("リンクの " + name + " が UTF-8 ではありません");
    if (name == "to" || name == "cc" || name == "bcc") {
        CheckHeaderField(name, value);
        AddAddresses(name == "to" ? draft.To : name == "cc" ? draft.Cc : draft.Bcc, value);
    } else if (name == "subject" && !std::exchange(subjectSeen, true)) {
        CheckHeaderField(name, value);
        draft.Subject = value;
    } else if (name == "body" && !std::exchange(bodySeen, true)) {
        draft.Body = TakeBody(value);
    }
}

}  // namespace

bool IsUtf8(std::string_view text) {
    for (size_t at = 0; at < text.size();) {
        const size_t length = SequenceLength(static_cast<unsigned char>(text[at]));
        if (!ValidSequence(text, at, length))
            return false;
        at += length;
    }
    return true;
}

void CheckHeaderField(std::string_view what, std::string_view text) {
    const bool control = std::any_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
    if (control)
        throw EFillError(std::string(what) + " に改行や制御文字は使えません");
}

std::string TakeBody(std::string_view text) {
    if (text.find('\0') != std::string_view::npos)
        throw EFillError("本文に NUL 文字は使えません");
    return WithLfLineEnds(text);
}

bool IsMailtoLink(std::string_view argument) {
    return argument.size() >= 7 && Lowercase(std::string(argument.substr(0, 7))) == "mailto:";
}

platform::TDraft ParseMailto(std::string_view link) {
    if (link.size() > kMaxMailtoLength) {
        throw EFillError("リンクが長すぎます (" + std::to_string(link.size()) + " バイト、" +
                         std::to_string(kMaxMailtoLength) + " バイトまで)");
    }
    if (!IsMailtoLink(link))
        throw EFillError("mailto: のリンクではありません");
    link.remove_prefix(7);
    const size_t question = link.find('?');
    platform::TDraft draft;
    const std::string to = PercentDecoded(link.substr(0, question));
    if (!IsUtf8(to))
        throw EFillError("リンクの宛先が UTF-8 ではありません");
    CheckHeaderField("to", to);
    draft.To = to;
    bool subjectSeen = false, bodySeen = false;
    std::string_view query =
        question == std::string_view::npos ? std::string_view() : link.substr(question + 1);
    while (!query.empty()) {
        const size_t amp = query.find('&');
        if (const std::string_view field = query.substr(0, amp); !field.empty())
            TakeField(draft, field, subjectSeen, bodySeen);
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    }
    return draft;
}
