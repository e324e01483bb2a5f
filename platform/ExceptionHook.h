#pragma once
// Where an exception goes that escaped a handler run by a hidden window (a timer tick). The
// program installs its general error display here at start-up; until then the message goes
// to the debug output. Either way the window procedure returns normally.
#include <exception>
#include <functional>

namespace platform {

using ExceptionHook = std::function<void(const std::exception& e)>;
void SetExceptionHook(ExceptionHook hook);
void ReportHandlerException(const std::exception& e);

// The last resort: an exception that nothing caught (thrown through a noexcept function, out of
// a thread) is told on standard error after the program's name, and the program ends with
// status 1 rather than an abort.
void InstallLastResort(const char* program);

// Runs body and gives its status; an exception that leaves it is told as the last resort tells
// it, giving 1.
int RunGuarded(const std::function<int()>& body);

}  // namespace platform
