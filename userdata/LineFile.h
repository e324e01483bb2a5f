#pragma once
// The line files of the address book and the short-phrase list: Shift_JIS text, CR LF after
// every line. Paths are file-system bytes, as the platform gives the program's directory.
#include <string>
#include <vector>

#include "platform/Exception.h"

namespace userdata {

// A file that could not be opened or read. Missing tells a file that is not there at all
// (nothing to lose by writing one) from one that is there but unreadable.
class EFileReadError : public EInOutError {
  public:
    EFileReadError(std::string message, bool missing)
        : EInOutError(std::move(message)), Missing(missing) {}
    bool Missing;
};

// The lines of a text: a line ends at CR and one LF right after the CR is skipped; a lone LF
// stays inside the line; the byte 0x1A ends the text. A last line without CR counts.
std::vector<std::string> SplitLines(const std::string& text);

// Each line followed by CR LF.
std::string JoinLines(const std::vector<std::string>& lines);

// A path in Shift_JIS, for messages.
std::string DisplayPath(const std::string& path);

// A file error message: utf8Format with the path in place of %s, then the system's reason.
std::string FileErrorText(const char* utf8Format, const std::string& path, int error);

// Raises EFileReadError.
std::vector<std::string> ReadLineFile(const std::string& path);

// Replaces the file by the lines, each followed by CR LF, as ReplaceFile does.
void WriteLineFile(const std::string& path, const std::vector<std::string>& lines);

// Replaces the file by bytes as a whole: a temporary file in the same directory is written, synced,
// closed and renamed over the old one, and the directory synced, so that a failure at any step
// leaves the old file as it was (put back when the directory did not record the rename) and a
// crash leaves the old or the new file whole. Every step goes through CurrentFileOps().
// Raises EInOutError.
void ReplaceFile(const std::string& path, const std::string& bytes);

// ReplaceFile for a file of the user's alone: the new file is readable and writable by the user
// only (0600, whatever the umask), and a link at path is replaced itself, never written through.
void ReplacePrivateFile(const std::string& path, const std::string& bytes);

}  // namespace userdata
