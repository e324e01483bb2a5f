#pragma once
// The masked box in which the compose window asks for the SMTP AUTH password when no keyring
// holds it. Nothing typed here is stored.
#include <optional>
#include <string>

class QWidget;

// Asks for the password of authUser (Shift_JIS); the text as typed (UTF-8) on OK, nullopt on
// キャンセル.
std::optional<std::string> AskPasswordBox(const std::string& authUser, QWidget* owner);
