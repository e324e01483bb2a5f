#pragma once
// The shell's "open" for a program without a window: the desktop's opener command (xdg-open),
// started on its own, so that nothing of the graphical libraries enters the program.
#include "platform/Shell.h"

namespace platform {

class CommandShell : public Shell {
  public:
    void Open(const std::string& address) override;
};

}  // namespace platform
