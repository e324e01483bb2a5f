#pragma once
// mailto: links (RFC 6068) as the fields of a message to write. Only to, cc, bcc, subject and
// body are taken; every other field (an attachment, another header) is ignored.
#include <string>
#include <string_view>

#include "platform/DraftStore.h"
#include "platform/Exception.h"

// Text offered to fill the window (a link, an option, a body file) that cannot be taken; the
// message (UTF-8) says why.
class EFillError : public Exception {
    using Exception::Exception;
};

// The longest link taken, in bytes.
inline constexpr size_t kMaxMailtoLength = 64 * 1024;

bool IsMailtoLink(std::string_view argument);

// The fields the link fills. Percent escapes are UTF-8; '+' is a plus sign. Addresses before
// the '?' and those of every to field make the To field, separated by ", ", as several cc
// and bcc fields do; of several subjects or bodies the first counts. A body's line breaks
// (%0D%0A) become LF. Raises EFillError for a link that is too long, a broken escape, text
// that is not UTF-8, a control character in an address or the subject, or NUL in the body.
platform::TDraft ParseMailto(std::string_view link);

// The checks text from the command line passes as well: no control character in an address or
// the subject (what: the field's name); a body without NUL, its line ends made LF.
void CheckHeaderField(std::string_view what, std::string_view text);
std::string TakeBody(std::string_view text);

// Runs of blanks in the address fields become one space, and blanks at their ends go, so that
// padding cannot push an address out of sight in a one-line field.
void CollapseBlanks(platform::TDraft& draft);

// The longest text a one-line field of the window holds, counted as the field counts (UTF-16).
inline constexpr int kMaxFieldLength = 32767;

// Raises EFillError naming the first one-line field longer than kMaxFieldLength, with its
// length: a field is never cut short without a word.
void CheckFieldLengths(const platform::TDraft& draft);
