#pragma once
// The command line of the compose window: a mailto: link, or the fields as options, to open the
// window with; never a send.
#include <optional>
#include <string>
#include <vector>

#include "platform/DraftStore.h"
#include "platform/Exception.h"

// A command line that is not understood; the message (UTF-8) says why.
class EStartUsageError : public Exception {
    using Exception::Exception;
};

struct TStartOptions {
    std::optional<std::string> Screenshot;  // render the window to this PNG file instead
    std::optional<platform::TDraft> Fill;   // the fields to open the window with
    std::optional<std::string> BodyFile;    // the body of Fill, read by ReadBodyFile
    bool Help = false;
    bool Version = false;
};

// Reads the arguments after the program name (UTF-8): raises EStartUsageError for an argument
// it does not know and EFillError (app/MailtoLink.h) for text it cannot take, a field too long
// for the window included. Blanks in the address fields are collapsed (CollapseBlanks).
TStartOptions ParseStartOptions(const std::vector<std::string>& args);

// Puts the body file's text (UTF-8, at most a mebibyte) into Fill; raises EFillError, also for a
// directory, a device or a link to one. A FIFO is read to its end.
void ReadBodyFile(TStartOptions& options);

std::string StartUsage();
