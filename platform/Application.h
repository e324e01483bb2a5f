#pragma once
// Facts about the running program and its general error display.
#include <exception>
#include <string>

namespace platform {

// The executable's name up to its first period, every character after the first in lower
// case ("Tidemark" for build/tidemark). Caption of every message box.
std::string ApplicationTitle();
std::string ApplicationTitleFor(const std::string& executablePath);
// A windowed program names itself after its main window (Shift_JIS), so that its boxes carry
// the title the user sees; an empty title goes back to the executable's name.
void SetApplicationTitle(const std::string& title);

// Directory of the executable, ending in the path separator.
std::string ExecutableDir();

// The general error display: the message of an exception that left an event handler, in an
// error box, with a period appended unless the text already ends in one (or a byte below it).
void HandleException(const std::exception& e);
std::string ErrorDisplayText(const std::string& message);

}  // namespace platform
