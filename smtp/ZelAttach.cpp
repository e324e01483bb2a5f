#include "smtp/ZelAttach.h"

#include <iconv.h>

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QString>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "jconvert/HeaderWords.h"
#include "smtp/ZelUtf8.h"

namespace {

constexpr size_t kLineWidth = 78;
const char* const kCrLf = "\r\n";
const char* const kOctetStream = "application/octet-stream";

bool Hidden(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Bytes of the UTF-8 sequence at text[at] (AttachmentName gives well-formed UTF-8).
size_t CodePointLength(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t n = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return std::min(n, text.size() - at);
}

// A conversion that refuses what it cannot carry; nullopt then.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(in.size() * 4 + 16, '\0');
    char* src = const_cast<char*>(in.data());
    size_t left = in.size();
    char* dst = out.data();
    size_t room = out.size();
    const bool whole = iconv(cd, &src, &left, &dst, &room) != static_cast<size_t>(-1) &&
                       iconv(cd, nullptr, nullptr, &dst, &room) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (!whole)
        return std::nullopt;
    out.resize(out.size() - room);
    return out;
}

// Whole characters in ISO-2022-JP, back in ASCII at the end, as a word must be.
std::string AsIso2022Jp(std::string_view characters) {
    return Convert("ISO-2022-JP", "UTF-8", characters).value_or(std::string());
}

// Words short enough that the first, after " name=\"", stays within 78.
const TWordCharset kJisNameWords = {"ISO-2022-JP", CodePointLength, CodePointLength, AsIso2022Jp,
                                    66};

// ISO-2022-JP when every character of the name goes there and comes back as itself (code page
// 932's own forms of the wave dash and its kin would come back as others).
const TWordCharset& NameWordCharset(const std::string& name) {
    const std::optional<std::string> jis = Convert("ISO-2022-JP", "UTF-8", name);
    const bool fits = jis && Convert("UTF-8", "ISO-2022-JP", *jis) == name;
    return fits ? kJisNameWords : Utf8Words;
}

// The name's characters percent-encoded for filename*=, one entry per character, so that
// sections can end only between characters (some readers decode each section on its own).
std::vector<std::string> PercentEncoded(std::string_view name) {
    static const char kHex[] = "0123456789ABCDEF";
    std::vector<std::string> characters;
    for (size_t at = 0; at < name.size();) {
        const size_t n = CodePointLength(name, at);
        std::string encoded;
        for (const char c : name.substr(at, n)) {
            const auto b = static_cast<unsigned char>(c);
            if (std::isalnum(b) || std::string_view("-._~").find(c) != std::string_view::npos) {
                encoded += c;
            } else {
                encoded += '%';
                encoded += kHex[b >> 4];
                encoded += kHex[b & 15];
            }
        }
        characters.push_back(std::move(encoded));
        at += n;
    }
    return characters;
}

// Head, "; " and the parameter on one line when it fits; else the parameter's lines, each
// after a blank, below "Head;".
std::string HeaderField(const std::string& head, const std::vector<std::string>& lines) {
    std::string joined;
    for (const std::string& line : lines)
        joined += line;
    if (head.size() + 2 + joined.size() <= kLineWidth && lines.size() == 1)
        return head + "; " + joined + kCrLf;
    std::string field = head + ";" + kCrLf;
    for (const std::string& line : lines)
        field.append(" ").append(line).append(kCrLf);
    return field;
}

// name="..." with encoded-words: the words, one a line, inside the quotes.
std::vector<std::string> EncodedNameLines(const std::string& name) {
    std::vector<std::string> words = EncodeWords(name, NameWordCharset(name));
    std::string oneLine;
    for (const std::string& word : words)
        oneLine += (oneLine.empty() ? "" : " ") + word;
    if (words.size() <= 1 || 8 + oneLine.size() <= kLineWidth)
        return {"name=\"" + oneLine + "\""};
    words.front() = "name=\"" + words.front();
    words.back() += "\"";
    return words;
}

// filename*=UTF-8''... when it fits a line; else numbered sections, each within 78.
std::vector<std::string> ExtendedFileNameLines(const std::string& name) {
    const std::vector<std::string> characters = PercentEncoded(name);
    std::string whole = "filename*=UTF-8''";
    for (const std::string& c : characters)
        whole += c;
    if (1 + whole.size() <= kLineWidth)
        return {whole};
    std::vector<std::string> lines;
    for (size_t at = 0; at < characters.size();) {
        std::string line =
            "filename*" + std::to_string(lines.size()) + "*=" + (lines.empty() ? "UTF-8''" : "");
        // Room for the blank before the line and the ";" after it.
        do {
            line += characters[at++];
        } while (at < characters.size() &&
                 1 + line.size() + characters[at].size() + 1 <= kLineWidth);
        lines.push_back(line);
    }
    for (size_t i = 0; i + 1 < lines.size(); ++i)
        lines[i] += ';';
    return lines;
}

// A media type as a header may hold it: token "/" token.
bool IsMediaType(const std::string& type) {
    const size_t slash = type.find('/');
    const auto token = [](std::string_view t) {
        return !t.empty() && std::all_of(t.begin(), t.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) ||
                   std::string_view("!#$&^_.+-").find(c) != std::string_view::npos;
        });
    };
    return slash != std::string::npos && token(std::string_view(type).substr(0, slash)) &&
           token(std::string_view(type).substr(slash + 1));
}

}  // namespace

std::string AttachmentName(std::string_view Entry) {
    const size_t slash = Entry.find_last_of('/');
    const std::string_view last = slash == std::string_view::npos ? Entry : Entry.substr(slash + 1);
    const QString decoded = QString::fromUtf8(last.data(), static_cast<qsizetype>(last.size()));
    QString kept;
    for (const char32_t c : decoded.toUcs4()) {
        if (!Hidden(c))
            kept += QString::fromUcs4(&c, 1);
    }
    return kept.isEmpty() ? std::string("attachment") : kept.toStdString();
}

bool AttachableFile(const std::string& Path) {
    std::error_code error;
    return std::filesystem::is_regular_file(Path, error) && std::ifstream(Path).is_open();
}

std::string AttachmentType(const std::string& Path) {
    const QFileInfo file(QFile::decodeName(QByteArray::fromStdString(Path)));
    if (!file.isFile() || file.size() == 0)
        return kOctetStream;
    const QMimeType type = QMimeDatabase().mimeTypeForFile(file);
    const std::string name = type.name().toStdString();
    return type.isValid() && !type.isDefault() && IsMediaType(name) ? name : kOctetStream;
}

std::string AttachmentPartHeader(const std::string& Type, const std::string& Name) {
    // A quoted string cannot be folded: a name too long for a line goes as any other.
    const bool ascii = IsAscii(Name) && 1 + 9 + QuotedString(Name).size() <= kLineWidth;
    const std::string contentType = "Content-Type: " + (IsMediaType(Type) ? Type : kOctetStream);
    const std::vector<std::string> nameLines =
        ascii ? std::vector<std::string>{"name=" + QuotedString(Name)} : EncodedNameLines(Name);
    const std::vector<std::string> fileNameLines =
        ascii ? std::vector<std::string>{"filename=" + QuotedString(Name)}
              : ExtendedFileNameLines(Name);
    return HeaderField(contentType, nameLines) + "Content-Transfer-Encoding: base64" + kCrLf +
           HeaderField("Content-Disposition: attachment", fileNameLines);
}
