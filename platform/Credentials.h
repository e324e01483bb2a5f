#pragma once
// The user's secrets (the SMTP AUTH password) in the desktop keyring, behind an interface that
// tests replace. A secret is never written to the settings store, a status text or any output.
#include <optional>
#include <string>

namespace platform {

class CredentialStore {
  public:
    virtual ~CredentialStore() = default;
    // False when no keyring answers; then nothing can be read or stored.
    virtual bool Available() = 0;
    // The password kept under key (UTF-8), nullopt when there is none or no keyring answers.
    virtual std::optional<std::string> ReadPassword(const std::string& key) = 0;
    // Stores or replaces the password; false when the keyring refused or is not there.
    virtual bool WritePassword(const std::string& key, const std::string& password) = 0;
    // Forgets the password; true also when none was kept.
    virtual bool DeletePassword(const std::string& key) = 0;
};

// The keyring service under which the program keeps its secrets.
inline constexpr const char* kCredentialService = "Tidemark";

// The key of the password of authUser at the SMTP server smtp (both Shift_JIS, as the settings
// hold them): authUser + "@" + smtp.
std::string CredentialKey(const std::string& authUser, const std::string& smtp);

// The store in use: the desktop keyring unless a test installed its own.
CredentialStore& CurrentCredentialStore();
// Installs a store (not owned); nullptr goes back to the keyring.
void SetCredentialStore(CredentialStore* store);

}  // namespace platform
