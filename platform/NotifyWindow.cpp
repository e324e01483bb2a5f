#include "platform/NotifyWindow.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>
#include <algorithm>
#include <climits>
#include <map>

namespace platform {
namespace {

const QEvent::Type kMessageEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

struct MessageEvent : QEvent {
    MessageEvent(unsigned m, uintptr_t w, intptr_t l)
        : QEvent(kMessageEvent), message(m), wParam(w), lParam(l) {}
    unsigned message;
    uintptr_t wParam;
    intptr_t lParam;
};

std::map<std::string, WindowProcedure>& Classes() {
    static std::map<std::string, WindowProcedure> classes;
    return classes;
}

DefaultProcessingHook& Hook() {
    static DefaultProcessingHook hook;
    return hook;
}

int liveWindows = 0;  // GUI thread only, as the windows are

}  // namespace

int LiveWindowCount() {
    return liveWindows;
}

NotifyWindow::NotifyWindow(WindowProcedure procedure, std::string className)
    : procedure_(procedure), className_(std::move(className)) {
    ++liveWindows;
}

NotifyWindow::~NotifyWindow() {
    --liveWindows;
    for (const auto& timer : timers_)
        killTimer(timer.second);
}

intptr_t NotifyWindow::Dispatch(unsigned message, uintptr_t wParam, intptr_t lParam) {
    return procedure_(this, message, wParam, lParam);
}

bool NotifyWindow::StartTimer(uintptr_t id, unsigned milliseconds) {
    StopTimer(id);
    // Longer periods are clamped, as the desktop platform does.
    const int period = static_cast<int>(std::min<unsigned>(milliseconds, INT_MAX));
    const int qtId = startTimer(period, Qt::PreciseTimer);
    if (qtId == 0)
        return false;
    timers_.emplace_back(id, qtId);
    return true;
}

bool NotifyWindow::StopTimer(uintptr_t id) {
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [id](const auto& timer) { return timer.first == id; });
    if (it == timers_.end())
        return false;
    killTimer(it->second);
    timers_.erase(it);
    return true;
}

bool NotifyWindow::event(QEvent* e) {
    if (e->type() != kMessageEvent)
        return QObject::event(e);
    auto* m = static_cast<MessageEvent*>(e);
    Dispatch(m->message, m->wParam, m->lParam);
    return true;
}

void NotifyWindow::timerEvent(QTimerEvent* e) {
    for (const auto& timer : timers_) {
        if (timer.second == e->timerId()) {
            Dispatch(WM_TIMER, timer.first, 0);
            return;
        }
    }
}

bool GetClassInfo(const std::string& name) {
    return Classes().count(name) != 0;
}

bool RegisterClass(const WindowClass& windowClass) {
    if (windowClass.name.empty() || windowClass.procedure == nullptr)
        return false;
    return Classes().emplace(windowClass.name, windowClass.procedure).second;
}

NotifyWindow* CreateWindow(const std::string& className) {
    auto it = Classes().find(className);
    if (it == Classes().end())
        return nullptr;
    return new NotifyWindow(it->second, className);
}

void DestroyWindow(NotifyWindow* window) {
    delete window;
}

void PostMessage(NotifyWindow* window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    QCoreApplication::postEvent(window, new MessageEvent(message, wParam, lParam));
}

intptr_t SendMessage(NotifyWindow* window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    return window->Dispatch(message, wParam, lParam);
}

intptr_t DefWindowProc(NotifyWindow* window, unsigned message, uintptr_t, intptr_t) {
    if (Hook())
        Hook()(window, message);
    return 0;
}

void SetDefaultProcessingHook(DefaultProcessingHook hook) {
    Hook() = std::move(hook);
}

bool SetTimer(NotifyWindow* window, uintptr_t id, unsigned milliseconds) {
    return window != nullptr && window->StartTimer(id, milliseconds);
}

bool KillTimer(NotifyWindow* window, uintptr_t id) {
    return window != nullptr && window->StopTimer(id);
}

}  // namespace platform
