#pragma once
// Where the data files ("Address.dat", "tanbun.dat") live. Paths are file-system bytes and end
// in the path separator.
#include <string>

namespace platform {

// One rule: a program run from its build tree (the executable's directory holds CMakeCache.txt)
// keeps its data beside the executable; any other, an installed one, in the per-user data
// directory $XDG_DATA_HOME/Orvane/Tidemark/ ($HOME/.local/share when XDG_DATA_HOME is unset or
// not absolute).
std::string DataDirFor(const std::string& executableDir, const std::string& xdgDataHome,
                       const std::string& home);

// The rule for the running program. Creates the per-user directory when it is missing, for the
// user alone (0700); a directory that cannot be made shows up when the data files are opened.
std::string DataDir();

// Makes dir and any missing directory above it for the user alone (0700), whatever the umask,
// and takes the others' access away from dir itself when it was there already (never through a
// link). A failure shows up when a file in it is opened.
void MakePrivateDirectory(const std::string& dir);

// The user guide shipped with the program, by the same rule: guide/tidemark-guide.md in the
// build tree, ../share/tidemark/tidemark-guide.md from the installed program's bin/.
std::string UserGuideFor(const std::string& executableDir);
std::string UserGuide();

}  // namespace platform
