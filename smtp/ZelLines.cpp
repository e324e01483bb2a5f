#include "smtp/ZelLines.h"

#include <algorithm>

#include "platform/Exception.h"

namespace {

constexpr size_t kMaxLineLength = 998;
constexpr size_t kFoldWidth = 78;
// Readers of encoded-words may refuse a line of more than 76 characters that holds them.
constexpr size_t kEncodedWordLine = 76;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Where Line may be folded: before the first blank of each run that has more text after it,
// past the first word of the value.
std::vector<size_t> FoldPoints(std::string_view Line) {
    const size_t colon = Line.find(':');
    const size_t value =
        Line.find_first_not_of(" \t", colon == std::string_view::npos ? 0 : colon + 1);
    std::vector<size_t> points;
    if (value == std::string_view::npos)
        return points;
    for (size_t i = value + 1; i < Line.size(); ++i) {
        if (IsBlank(Line[i]) && !IsBlank(Line[i - 1]) &&
            Line.find_first_not_of(" \t", i) != std::string_view::npos) {
            points.push_back(i);
        }
    }
    return points;
}

// The fold points of Line between two encoded-words. A reader drops the blanks there anyway,
// so even one that decodes a folded line without unfolding it first reads the same text.
std::vector<size_t> PointsBetweenEncodedWords(std::string_view Line) {
    std::vector<size_t> points;
    for (const size_t point : FoldPoints(Line)) {
        const size_t next = Line.find_first_not_of(" \t", point);
        if (Line.substr(0, point).ends_with("?=") && Line.substr(next).starts_with("=?"))
            points.push_back(point);
    }
    return points;
}

// Line with CR LF put before those of points that keep its lines within width where they can.
std::string Fold(std::string_view Line, std::vector<size_t> points, size_t width) {
    std::string folded;
    size_t start = 0;
    size_t last = start;  // the latest fold point on the current line
    points.push_back(Line.size());
    for (const size_t point : points) {
        if (point - start > width && last > start) {
            folded.append(Line.substr(start, last - start)).append("\r\n");
            start = last;
        }
        last = point;
    }
    return folded.append(Line.substr(start));
}

}  // namespace

void RequireSingleLine(std::string_view What, std::string_view Text) {
    if (Text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos)
        return;
    throw Exception(std::string(What) + " contains a line break or NUL character");
}

std::vector<std::string> SplitLines(std::string_view Text, TLineConversion Convert) {
    std::vector<std::string> lines;
    // Counted first: a body of many lines is not copied while the list grows.
    const auto each = [Text](auto&& line) {
        size_t start = 0;
        for (;;) {
            const size_t stop = Text.find_first_of("\r\n", start);
            line(Text.substr(start, stop - start));
            if (stop == std::string_view::npos)
                return;
            const bool crlf =
                Text[stop] == '\r' && stop + 1 < Text.size() && Text[stop + 1] == '\n';
            start = stop + (crlf ? 2 : 1);
        }
    };
    size_t count = 0;
    each([&count](std::string_view) { ++count; });
    lines.reserve(count);
    each([&lines, Convert](std::string_view line) {
        if (Convert)
            lines.push_back(Convert(line));
        else
            lines.emplace_back(line);
    });
    return lines;
}

void AppendContentLine(std::string& Out, std::string_view Line) {
    if (!Line.empty() && Line.front() == '.')
        Out += '.';
    Out += Line;
    Out += "\r\n";
}

void WriteDotStuffed(TStream& Out, std::string_view Lines) {
    // Runs of lines without a leading dot go out in one piece.
    size_t start = 0;
    while (start < Lines.size()) {
        if (Lines[start] == '.')
            Out.WriteBuffer(".", 1);
        const size_t dotLine = Lines.find("\n.", start);
        const size_t stop = dotLine == std::string_view::npos ? Lines.size() : dotLine + 1;
        Out.WriteBuffer(Lines.data() + start, static_cast<int64_t>(stop - start));
        start = stop;
    }
}

int64_t TDotStuffedAppender::Write(const void* buffer, int64_t count) {
    if (count <= 0)
        return 0;
    std::string_view text(static_cast<const char*>(buffer), static_cast<size_t>(count));
    while (!text.empty()) {
        if (atLineStart_ && text.front() == '.')
            target_.WriteBuffer(".", 1);
        const size_t dotLine = text.find("\n.");
        const size_t stop = dotLine == std::string_view::npos ? text.size() : dotLine + 1;
        target_.WriteBuffer(text.data(), static_cast<int64_t>(stop));
        atLineStart_ = text[stop - 1] == '\n';
        text.remove_prefix(stop);
    }
    return count;
}

std::string WithoutDotStuffing(std::string_view Lines) {
    std::string text;
    text.reserve(Lines.size());
    size_t start = 0;
    while (start < Lines.size()) {
        if (Lines[start] == '.')
            ++start;
        const size_t dotLine = Lines.find("\n.", start);
        const size_t stop = dotLine == std::string_view::npos ? Lines.size() : dotLine + 1;
        text.append(Lines.substr(start, stop - start));
        start = stop;
    }
    return text;
}

std::string FoldHeaderLine(std::string_view Line, bool Everywhere) {
    if (Everywhere && Line.size() > kFoldWidth)
        return Fold(Line, FoldPoints(Line), kFoldWidth);
    if (Line.size() > kMaxLineLength)
        return Fold(Line, FoldPoints(Line), kFoldWidth);
    if (Line.size() > kEncodedWordLine)
        return Fold(Line, PointsBetweenEncodedWords(Line), kEncodedWordLine);
    return std::string(Line);
}

int ReplyCodeOf(const std::string& Line) {
    const auto digits = std::find_if(Line.begin(), Line.begin() + std::min<size_t>(Line.size(), 10),
                                     [](char c) { return c < '0' || c > '9'; }) -
                        Line.begin();
    if (digits == 0)
        return 0;
    const long long value = std::stoll(Line.substr(0, digits));
    if (value > 2147483647LL)
        return 0;
    if (value > 32767)
        throw ERangeError("Reply code out of range: " + std::to_string(value));
    return static_cast<int>(value);
}

bool IsReplyLine(std::string_view Line) {
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    if (Line.size() < 3 || !std::all_of(Line.begin(), Line.begin() + 3, isDigit))
        return false;
    return Line.size() == 3 || std::string_view(" -\r\n").find(Line[3]) != std::string_view::npos;
}

std::string WithoutLineEnd(std::string Line) {
    while (!Line.empty() && (Line.back() == '\r' || Line.back() == '\n'))
        Line.pop_back();
    return Line;
}
