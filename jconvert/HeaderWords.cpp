#include "jconvert/HeaderWords.h"

#include <algorithm>

#include "jconvert/jconvert.h"

namespace {

using Byte = unsigned char;

constexpr std::string_view WordSuffix = "?=";

constexpr bool IsLeadByte(Byte b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// A double-byte character, or a half-width katakana with the mark after it, which the converter
// may absorb into one character.
size_t ShiftJisCharLength(std::string_view text, size_t at) {
    const Byte b = static_cast<Byte>(text[at]);
    size_t n = IsLeadByte(b) ? 2 : 1;
    if (b >= 0xA1 && b <= 0xDF) {
        const Byte mark = at + 1 < text.size() ? static_cast<Byte>(text[at + 1]) : 0;
        n = mark == 0xDE || mark == 0xDF ? 2 : 1;
    }
    return std::min(n, text.size() - at);
}

// One character: a lead byte and the byte after it, or a single byte.
size_t ShiftJisCodeLength(std::string_view text, size_t at) {
    return std::min<size_t>(IsLeadByte(static_cast<Byte>(text[at])) ? 2 : 1, text.size() - at);
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool HasEightBit(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<Byte>(c) >= 0x80; });
}

// The characters an atom may hold.
bool IsAtext(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           std::string_view("!#$%&'*+-/=?^_`{|}~").find(c) != std::string_view::npos;
}

bool IsAtom(std::string_view word) {
    return !word.empty() && std::all_of(word.begin(), word.end(), IsAtext);
}

bool MustEncodeInText(std::string_view word) {
    return HasEightBit(word);
}

bool MustEncodeInPhrase(std::string_view word) {
    return HasEightBit(word) || !IsAtom(word);
}

// Where the quoted string opening at text[open] ends (past its closing quote), or npos when it
// is not closed. A backslash escapes the character after it; the second byte of a double-byte
// character may look like a backslash, so code points are stepped over whole.
size_t QuotedEnd(std::string_view text, size_t open, const TWordCharset& charset) {
    for (size_t i = open + 1; i < text.size();) {
        if (text[i] == '"')
            return i + 1;
        const size_t escape = text[i] == '\\' ? 1 : 0;
        if (i + escape >= text.size())
            break;
        i += escape + charset.CodePointLength(text, i + escape);
    }
    return std::string_view::npos;
}

bool IsQuotedString(std::string_view text, const TWordCharset& charset) {
    return text.starts_with('"') && QuotedEnd(text, 0, charset) == text.size();
}

// The content of a quoted string, its escapes undone.
std::string Unquoted(std::string_view quoted, const TWordCharset& charset) {
    std::string text;
    for (size_t i = 1; i + 1 < quoted.size();) {
        i += quoted[i] == '\\' ? 1 : 0;
        const size_t n = charset.CodePointLength(quoted, i);
        text += quoted.substr(i, n);
        i += n;
    }
    return text;
}

// ASCII atoms and quoted strings, separated by blanks or not.
bool IsPhrase(std::string_view text, const TWordCharset& charset) {
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '"') {
            i = QuotedEnd(text, i, charset);
            if (i == std::string_view::npos)
                return false;
        } else if (IsBlank(text[i]) || IsAtext(text[i])) {
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

std::string JoinedWords(std::string_view text, const TWordCharset& charset) {
    std::string joined;
    for (const std::string& word : EncodeWords(text, charset)) {
        if (!joined.empty())
            joined += ' ';
        joined += word;
    }
    return joined;
}

// The text with every run of words that mustEncode picks, the blanks between them included,
// as encoded-words; everything else as it is.
std::string EncodeChosenWords(std::string_view text, bool (*mustEncode)(std::string_view),
                              const TWordCharset& charset) {
    std::string out;
    size_t written = 0;
    size_t runStart = std::string_view::npos, runEnd = 0;
    const auto endRun = [&] {
        out += JoinedWords(text.substr(runStart, runEnd - runStart), charset);
        written = runEnd;
        runStart = std::string_view::npos;
    };
    for (size_t i = 0; i < text.size();) {
        if (IsBlank(text[i])) {
            ++i;
            continue;
        }
        const size_t end = std::min(text.find_first_of(" \t", i), text.size());
        if (mustEncode(text.substr(i, end - i))) {
            if (runStart == std::string_view::npos) {
                out += text.substr(written, i - written);
                runStart = i;
            }
            runEnd = end;
        } else if (runStart != std::string_view::npos) {
            endRun();
        }
        i = end;
    }
    if (runStart != std::string_view::npos)
        endRun();
    return out.append(text.substr(written));
}

}  // namespace

std::string QuotedString(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

const TWordCharset Iso2022JpWords = {"ISO-2022-JP", ShiftJisCharLength, ShiftJisCodeLength,
                                     SjisToJis};

std::vector<std::string> EncodeWords(std::string_view text, const TWordCharset& charset) {
    const std::string prefix = "=?" + std::string(charset.Name) + "?B?";
    // Bytes whose base64 fits in one word.
    const size_t room = (charset.MaxWordLength - prefix.size() - WordSuffix.size()) / 4 * 3;
    std::vector<std::string> words;
    for (size_t start = 0; start < text.size();) {
        size_t end = start + charset.CharLength(text, start);
        std::string bytes = charset.Encode(text.substr(start, end - start));
        while (end < text.size()) {
            const size_t next = end + charset.CharLength(text, end);
            std::string longer = charset.Encode(text.substr(start, next - start));
            if (longer.size() > room)
                break;
            bytes = std::move(longer);
            end = next;
        }
        // A character cut off at the end encodes to nothing and gives no word.
        if (!bytes.empty())
            words.push_back(prefix + Base64Encode(bytes) + std::string(WordSuffix));
        start = end;
    }
    return words;
}

std::string EncodeHeaderText(std::string_view text, const TWordCharset& charset) {
    if (!HasEightBit(text))
        return std::string(text);
    return EncodeChosenWords(text, MustEncodeInText, charset);
}

std::string EncodePhrase(std::string_view name, const TWordCharset& charset) {
    name = TrimBlanks(name);
    if (!HasEightBit(name))
        return IsPhrase(name, charset) ? std::string(name) : QuotedString(name);
    const std::string text =
        IsQuotedString(name, charset) ? Unquoted(name, charset) : std::string(name);
    return EncodeChosenWords(text, MustEncodeInPhrase, charset);
}
