#include "sock/HiddenWindows.h"

#include <stdexcept>

#include "platform/ExceptionHook.h"
#include "sock/Psock.h"

namespace {

intptr_t SocketWindowProc(platform::NotifyWindow* window, unsigned message, uintptr_t wParam,
                          intptr_t lParam) {
    auto* owner = static_cast<TPowersock*>(window->Owner());
    if (owner == nullptr || message < WM_SOCKETEVENT) {
        return platform::DefWindowProc(window, message, wParam, lParam);
    }
    intptr_t result = 0;
    owner->HandleSocketMessage(message, wParam, lParam, result);
    return result;
}

intptr_t TimerWindowProc(platform::NotifyWindow* window, unsigned message, uintptr_t wParam,
                         intptr_t lParam) {
    auto* owner = static_cast<TThreadTimer*>(window->Owner());
    if (owner == nullptr)
        return platform::DefWindowProc(window, message, wParam, lParam);
    if (message == platform::WM_ACTIVATEAPP)
        return 0;
    if (message != platform::WM_TIMER) {
        return platform::DefWindowProc(window, message, wParam, lParam);
    }
    // A tick runs inside whatever loop is processing messages: nothing may escape it.
    try {
        owner->DoTimer();
    } catch (const std::exception& e) {
        platform::ReportHandlerException(e);
    } catch (...) {
        platform::ReportHandlerException(std::runtime_error("Unknown exception"));
    }
    return 0;
}

platform::NotifyWindow* CreateHiddenWindow(const platform::WindowClass& windowClass, void* owner) {
    if (!platform::GetClassInfo(windowClass.name) && !platform::RegisterClass(windowClass)) {
        return nullptr;
    }
    platform::NotifyWindow* window = platform::CreateWindow(windowClass.name);
    if (window != nullptr && owner != nullptr)
        window->SetOwner(owner);
    return window;
}

}  // namespace

platform::NotifyWindow* CreateSocketWindow(TPowersock* Owner) {
    static const platform::WindowClass socketClass{"PsockWindowClass", SocketWindowProc};
    return CreateHiddenWindow(socketClass, Owner);
}

platform::NotifyWindow* CreateTimerWindow(TThreadTimer* Owner) {
    static const platform::WindowClass timerClass{"TmrWindowClass", TimerWindowProc};
    return CreateHiddenWindow(timerClass, Owner);
}
