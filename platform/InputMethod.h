#pragma once
// Switching the desktop's Japanese input method on and off as the focus moves between fields.
// Qt has no such switch of its own: the desktop's input method is asked through its own control
// interface where it offers one, behind an interface so tests can record the switching instead.
class QWidget;

namespace platform {

class InputMethod {
  public:
    virtual ~InputMethod() = default;
    // Switches the input method of the focused window on or off. Asynchronous: it never waits for
    // the input method, and does nothing where the desktop offers no such switch.
    virtual void Switch(bool on) = 0;
};

// The input method in use: the desktop's unless a test installed its own.
InputMethod& CurrentInputMethod();
// Installs an input method (not owned); nullptr goes back to the desktop's.
void SetInputMethod(InputMethod* inputMethod);

// Makes the field switch the input method on (open) or off (closed) each time it gets the focus.
// A closed field also asks for Latin input through its hints, which is all that an input method
// without a switch learns; it still takes Japanese once the user switches the input method on by
// hand (a display name before the address).
void FollowInputMethod(QWidget* field, bool open);

}  // namespace platform
