#pragma once
// Hidden notification windows: objects on the GUI thread that receive numbered messages
// (posted or sent) and window timers, and hand them to the window procedure of their class.
// A class is registered once per name; every owner gets a window of its own.
#include <QObject>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace platform {

constexpr unsigned WM_ACTIVATEAPP = 28;
constexpr unsigned WM_TIMER = 275;
constexpr unsigned WM_USER = 1024;

class NotifyWindow;

using WindowProcedure = intptr_t (*)(NotifyWindow* window, unsigned message, uintptr_t wParam,
                                     intptr_t lParam);

struct WindowClass {
    std::string name;
    WindowProcedure procedure = nullptr;
};

class NotifyWindow : public QObject {
  public:
    NotifyWindow(WindowProcedure procedure, std::string className);
    ~NotifyWindow() override;

    const std::string& ClassName() const { return className_; }
    // The reference the owner stores in the window's extra bytes.
    void* Owner() const { return owner_; }
    void SetOwner(void* owner) { owner_ = owner; }

    intptr_t Dispatch(unsigned message, uintptr_t wParam, intptr_t lParam);
    bool StartTimer(uintptr_t id, unsigned milliseconds);
    bool StopTimer(uintptr_t id);

  protected:
    bool event(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

  private:
    WindowProcedure procedure_;
    std::string className_;
    void* owner_ = nullptr;
    std::vector<std::pair<uintptr_t, int>> timers_;  // window timer id -> Qt timer id
};

// Windows created and not yet destroyed, of every class (a soak run watches it stay flat).
int LiveWindowCount();

// Registration. A second registration of a known name fails, as on the desktop platform.
bool GetClassInfo(const std::string& name);
bool RegisterClass(const WindowClass& windowClass);

// A window of a registered class, or nullptr when the class is unknown.
NotifyWindow* CreateWindow(const std::string& className);
void DestroyWindow(NotifyWindow* window);

// Queues the message for the window; it is dropped if the window is destroyed first.
void PostMessage(NotifyWindow* window, unsigned message, uintptr_t wParam, intptr_t lParam);
// Calls the window procedure at once.
intptr_t SendMessage(NotifyWindow* window, unsigned message, uintptr_t wParam, intptr_t lParam);

// The default processing of a message a window procedure does not handle. Nothing needs it
// here, so it only tells the hook (tests watch it) and answers 0.
intptr_t DefWindowProc(NotifyWindow* window, unsigned message, uintptr_t wParam, intptr_t lParam);
using DefaultProcessingHook = std::function<void(NotifyWindow* window, unsigned message)>;
void SetDefaultProcessingHook(DefaultProcessingHook hook);

// Window timers: ticks arrive as WM_TIMER with the timer's id. Setting an id that runs
// restarts it with the new period.
bool SetTimer(NotifyWindow* window, uintptr_t id, unsigned milliseconds);
bool KillTimer(NotifyWindow* window, uintptr_t id);

}  // namespace platform
