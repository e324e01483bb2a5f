#include "platform/ExceptionHook.h"

#include <QtGlobal>

namespace platform {
namespace {

ExceptionHook& Hook() {
    static ExceptionHook hook;
    return hook;
}

}  // namespace

void SetExceptionHook(ExceptionHook hook) {
    Hook() = std::move(hook);
}

void ReportHandlerException(const std::exception& e) {
    if (Hook()) {
        Hook()(e);
    } else {
        qWarning("Unhandled exception in a handler: %s", e.what());
    }
}

}  // namespace platform
