#pragma once
// The compose window's fields through which the other windows read the program's directory and
// hand back their choice. The compose window derives from it; the address book and the
// short-phrase window receive it as `FrmMain`.
#include <string>

struct THandOverFields {
    std::string ProgramDir;       // directory of the data files (platform::DataDir), with the
                                  // final separator; file-system bytes, not Shift_JIS
    std::string SelectedTanbun;   // phrase chosen in the short-phrase window; empty: none
    std::string SelectedAddless;  // addresses chosen in the address book, ", " between;
                                  // empty: none
};
