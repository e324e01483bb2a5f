#pragma once
// The header of one attachment part: the file's name as the reader should show it, its media
// type, and the header lines that carry both without a byte above 0x7F, within 78 characters
// a line wherever a line can be folded.
#include <string>
#include <string_view>

// The name an attachment entry (a path, bytes as the file system holds them) goes out with:
// its last path component as UTF-8 (a byte that is no UTF-8 becomes U+FFFD), without control
// characters and without the marks that reorder text (U+200E/F, U+202A-E, U+2066-9), so that
// no name hides its real extension. "attachment" when nothing is left.
std::string AttachmentName(std::string_view Entry);

// A regular file that opens for reading: what can be attached. A directory, a device or a
// pipe cannot, nor a path that leads nowhere.
bool AttachableFile(const std::string& Path);

// The media type of the file at Path, by its name and content; application/octet-stream for an
// empty file, one that cannot be read, one whose type is unknown, and anything but a file.
std::string AttachmentType(const std::string& Path);

// The part header for a file of Type named Name (UTF-8, as AttachmentName gives it), without
// the delimiter line and the empty line that end it: Content-Type with name=,
// Content-Transfer-Encoding: base64, Content-Disposition: attachment with the file name. Each
// line ends in CR LF. An ASCII name that fits a line goes as a quoted string; any other as
// filename*=UTF-8''... (in numbered sections when long) and, for readers that know only name=,
// as encoded-words in ISO-2022-JP when the name fits it, else in UTF-8.
std::string AttachmentPartHeader(const std::string& Type, const std::string& Name);
