#include "platform/ExceptionHook.h"

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ScreenText.h"

namespace platform {
namespace {

ExceptionHook& Hook() {
    static ExceptionHook hook;
    return hook;
}

const char* program = "tidemark";

// Messages are Shift_JIS; should even the conversion fail, the bare fact is told.
void Tell(const char* what) {
    try {
        const std::string text = TerminalText(what);
        std::fprintf(stderr, "%s: unexpected error: %s\n", program, text.c_str());
    } catch (...) {
        std::fprintf(stderr, "%s: unexpected error\n", program);
    }
}

void TellCurrent() {
    try {
        throw;
    } catch (const std::exception& e) {
        Tell(e.what());
    } catch (...) {
        Tell("an exception of unknown type");
    }
}

[[noreturn]] void LastResort() {
    if (std::current_exception())
        TellCurrent();
    else
        Tell("the program was ended");
    std::fflush(nullptr);
    std::_Exit(1);
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

void InstallLastResort(const char* name) {
    program = name;
    std::set_terminate(LastResort);
}

int RunGuarded(const std::function<int()>& body) {
    try {
        return body();
    } catch (...) {
        TellCurrent();
        return 1;
    }
}

}  // namespace platform
