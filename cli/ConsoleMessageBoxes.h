#pragma once
// Message boxes of a command-line send: each text becomes a line of output (UTF-8), and every
// question is answered "OK", since nobody is there to click.
#include <ostream>

#include "platform/MessageBoxes.h"

class TConsoleMessageBoxes : public platform::MessageBoxes {
  public:
    // Installs itself as the program's message boxes for its lifetime.
    explicit TConsoleMessageBoxes(std::ostream& out);
    ~TConsoleMessageBoxes() override;
    TConsoleMessageBoxes(const TConsoleMessageBoxes&) = delete;
    TConsoleMessageBoxes& operator=(const TConsoleMessageBoxes&) = delete;

    platform::MsgResult Show(const std::string& caption, const std::string& text,
                             platform::MsgIcon icon, platform::MsgButtons buttons) override;

  private:
    std::ostream& out_;
};
