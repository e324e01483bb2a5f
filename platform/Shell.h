#pragma once
// The desktop shell's "open" of a document or web address with its default handler, behind an
// interface so tests can record what would have been opened instead of opening it.
#include <string>

namespace platform {

class Shell {
  public:
    virtual ~Shell() = default;
    // Hands the address to the default handler; whether that worked is not reported.
    virtual void Open(const std::string& address) = 0;
};

// The shell in use: the desktop's unless a test installed its own.
Shell& CurrentShell();
// Installs a shell (not owned); nullptr goes back to the desktop's.
void SetShell(Shell* shell);

}  // namespace platform
