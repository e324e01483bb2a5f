#pragma once
// The two hidden window classes of the socket layer: one window per socket for its
// notifications, one per timer for its ticks.
#include "platform/NotifyWindow.h"

class TPowersock;
class TThreadTimer;

constexpr unsigned WM_SOCKETEVENT = platform::WM_USER + 101;
constexpr unsigned WM_LOOKUPDONE = platform::WM_USER + 102;

// Each returns nullptr when the window class cannot be registered.
platform::NotifyWindow* CreateSocketWindow(TPowersock* Owner);
platform::NotifyWindow* CreateTimerWindow(TThreadTimer* Owner);
