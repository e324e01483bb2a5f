#include "smtp/ZelLines.h"

#include "platform/Exception.h"

void RequireSingleLine(std::string_view What, std::string_view Text) {
    if (Text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos)
        return;
    throw Exception(std::string(What) + " contains a line break or NUL character");
}

std::vector<std::string> SplitLines(std::string_view Text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (;;) {
        const size_t stop = Text.find_first_of("\r\n", start);
        lines.emplace_back(Text.substr(start, stop - start));
        if (stop == std::string_view::npos)
            return lines;
        const bool crlf = Text[stop] == '\r' && stop + 1 < Text.size() && Text[stop + 1] == '\n';
        start = stop + (crlf ? 2 : 1);
    }
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
