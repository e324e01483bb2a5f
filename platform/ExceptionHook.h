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

}  // namespace platform
