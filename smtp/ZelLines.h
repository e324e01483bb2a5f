#pragma once
// Line rules of the SMTP client: a text that goes out as one line must hold no line break or
// NUL, body text is cut at its line breaks, content lines that begin with "." get one more "."
// so that no content line can end the DATA phase, and a header line too long for mail is
// folded.
#include <string>
#include <string_view>
#include <vector>

#include "platform/Stream.h"
#include "sock/ReplyLines.h"

// Raises Exception naming What when Text holds a CR, LF or NUL byte.
void RequireSingleLine(std::string_view What, std::string_view Text);

// Text cut at every CR LF, lone CR and lone LF; each line made by Convert when it is given.
using TLineConversion = std::string (*)(std::string_view);
std::vector<std::string> SplitLines(std::string_view Text, TLineConversion Convert = nullptr);

// Appends Line, with "." doubled at its start, and CR LF.
void AppendContentLine(std::string& Out, std::string_view Line);

// Writes CR LF-terminated Lines to Out, doubling a "." at the start of each line.
void WriteDotStuffed(TStream& Out, std::string_view Lines);

// Appends what is written to the end of Target with the dot rule of WriteDotStuffed, however
// the lines are cut into writes. It reads nothing, and a seek moves nothing: an encoder that
// rewinds its destination when it ends leaves Target as it is.
class TDotStuffedAppender : public TStream {
  public:
    explicit TDotStuffedAppender(TStream& Target) : target_(Target) {}
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t, int) override { return 0; }

  private:
    TStream& target_;
    bool atLineStart_ = true;
};

// Lines as they were before WriteDotStuffed: one "." less at the start of each line.
std::string WithoutDotStuffing(std::string_view Lines);

// The code of a reply line as Transaction reads it: up to ten leading digits, 0 when there are
// none or they overflow; raises ERangeError above what ReplyCode holds.
int ReplyCodeOf(const std::string& Line);

// A line that is a reply: three digits, then a blank, a "-" or the line end.
bool IsReplyLine(std::string_view Line);

// Line without the CR and LF bytes that end it.
std::string WithoutLineEnd(std::string Line);

// Line as it goes out in the header: unchanged while it holds at most 998 bytes; a longer line
// is folded (CR LF put before a blank) so that its lines stay near 78 characters. A shorter
// line longer than 76 characters is folded between its encoded-words, so that runs of them stay
// within 76. A word longer than that keeps a line of its own; the first word of the value stays
// beside the name. Everywhere (a message in UTF-8): every line longer than 78 characters is
// folded at its blanks.
std::string FoldHeaderLine(std::string_view Line, bool Everywhere = false);
