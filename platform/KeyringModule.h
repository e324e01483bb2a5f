#pragma once
// The desktop keyring lives in a module of its own (tidemark-keyring.so), loaded at run time only
// when a password is needed: its library pulls in the session bus, which the command-line sender
// must not link. These are the names the loader and the module agree on.
#include "platform/Credentials.h"

namespace platform {

inline constexpr const char* kKeyringModuleFile = "tidemark-keyring.so";
// Where an installed program keeps the module, relative to the executable's directory.
inline constexpr const char* kKeyringModuleInstallDir = "../lib/tidemark";
inline constexpr const char* kKeyringFactoryName = "TidemarkKeyringStore";

// The module's one export: its keyring store, alive until the process ends.
using KeyringFactory = CredentialStore* (*)();

}  // namespace platform

extern "C" platform::CredentialStore* TidemarkKeyringStore();
