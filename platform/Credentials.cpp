#include "platform/Credentials.h"

namespace platform {
namespace {

// Where no keyring can be reached: nothing is kept, nothing can be read.
class NoKeyring : public CredentialStore {
  public:
    bool Available() override { return false; }
    std::optional<std::string> ReadPassword(const std::string&) override { return std::nullopt; }
    bool WritePassword(const std::string&, const std::string&) override { return false; }
    bool DeletePassword(const std::string&) override { return true; }
};

CredentialStore* installed = nullptr;

}  // namespace

std::string CredentialKey(const std::string& authUser, const std::string& smtp) {
    return authUser + "@" + smtp;
}

CredentialStore& CurrentCredentialStore() {
    static NoKeyring none;
    return installed ? *installed : none;
}

void SetCredentialStore(CredentialStore* store) {
    installed = store;
}

}  // namespace platform
