#pragma once
// A credential store in memory, installed for the life of the object, that can play a missing
// keyring or one that refuses. The store it replaced comes back when it goes.
#include <map>
#include <string>

#include "platform/Credentials.h"

class KeptPasswords : public platform::CredentialStore {
  public:
    KeptPasswords() : replaced_(platform::CurrentCredentialStore()) {
        platform::SetCredentialStore(this);
    }
    ~KeptPasswords() override { platform::SetCredentialStore(&replaced_); }

    bool Available() override { return available; }
    std::optional<std::string> ReadPassword(const std::string& key) override {
        const auto it = passwords.find(key);
        if (!available || it == passwords.end())
            return std::nullopt;
        return it->second;
    }
    bool WritePassword(const std::string& key, const std::string& password) override {
        if (!available || refuse)
            return false;
        passwords[key] = password;
        return true;
    }
    bool DeletePassword(const std::string& key) override {
        if (!available || refuse)
            return false;
        passwords.erase(key);
        return true;
    }

    bool available = true;
    bool refuse = false;
    std::map<std::string, std::string> passwords;

  private:
    platform::CredentialStore& replaced_;
};
