#pragma once
// The AUTH password from a command the user names, as scripts keep it in a password manager.
#include <optional>
#include <string>

// The first line (without its line end) that `/bin/sh -c Command` prints on standard output;
// nullopt when the command fails or prints nothing.
std::optional<std::string> RunPasswordCommand(const std::string& Command);
