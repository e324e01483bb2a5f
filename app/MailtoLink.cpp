#include "app/MailtoLink.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <utility>

#include <QString>

#include "platform/CodePage.h"

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
    if (!platform::IsUtf8(value))
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

// Blank to the eye: spaces of every width, and the fillers that draw as nothing.
bool IsBlank(QChar c) {
    return c.isSpace() || c == u'\u115F' || c == u'\u1160' || c == u'\u3164' || c == u'\uFFA0' ||
           c == u'\u2800' || c == u'\u180E';
}

std::string Collapsed(const std::string& field) {
    QString out;
    bool blank = false;
    for (const QChar c : QString::fromStdString(field)) {
        if (IsBlank(c)) {
            blank = true;
            continue;
        }
        if (blank && !out.isEmpty())
            out += u' ';
        blank = false;
        out += c;
    }
    return out.toStdString();
}

}  // namespace

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

void CollapseBlanks(platform::TDraft& draft) {
    for (std::string* field : {&draft.To, &draft.Cc, &draft.Bcc})
        *field = Collapsed(*field);
}

void CheckFieldLengths(const platform::TDraft& draft) {
    const std::pair<const char*, const std::string*> fields[] = {
        {"宛先", &draft.To}, {"ＣＣ", &draft.Cc}, {"ＢＣＣ", &draft.Bcc}, {"件名", &draft.Subject}};
    for (const auto& [name, text] : fields) {
        const qsizetype length = QString::fromStdString(*text).size();
        if (length > kMaxFieldLength) {
            throw EFillError(std::string(name) + "が長すぎます (" + std::to_string(length) +
                             " 文字、" + std::to_string(kMaxFieldLength) + " 文字まで)");
        }
    }
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
    if (!platform::IsUtf8(to))
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
