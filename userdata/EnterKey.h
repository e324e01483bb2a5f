#pragma once
// Runs a command when Enter (the main key or the keypad's) is pressed in a widget, as a button
// or a double click would, for windows that are to work without a mouse.
#include <functional>

class QWidget;

namespace userdata {

void OnEnter(QWidget* widget, std::function<void()> command);

}  // namespace userdata
