#include "platform/Credentials.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include "platform/KeyringModule.h"

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

// The keyring module's store, from beside the executable or from the installed program's library
// directory; nullptr when neither holds a module that loads.
CredentialStore* LoadKeyringModule() {
    if (!QCoreApplication::instance())
        return nullptr;  // keyring calls wait on the application's event loop
    const QDir exeDir(QCoreApplication::applicationDirPath());
    for (const QString& dir : {exeDir.path(), exeDir.filePath(kKeyringModuleInstallDir)}) {
        const QString path = QDir(dir).filePath(kKeyringModuleFile);
        if (!QFileInfo::exists(path))
            continue;
        QLibrary module(path);  // stays loaded: QLibrary unloads only when asked to
        auto factory = reinterpret_cast<KeyringFactory>(module.resolve(kKeyringFactoryName));
        if (factory)
            return factory();
    }
    return nullptr;
}

// The program's default store: loads the module on first use, no keyring without it.
class LazyKeyring : public CredentialStore {
  public:
    bool Available() override { return Store().Available(); }
    std::optional<std::string> ReadPassword(const std::string& key) override {
        return Store().ReadPassword(key);
    }
    bool WritePassword(const std::string& key, const std::string& password) override {
        return Store().WritePassword(key, password);
    }
    bool DeletePassword(const std::string& key) override { return Store().DeletePassword(key); }

  private:
    CredentialStore& Store() {
        if (!loaded_) {
            loaded_ = true;
            module_ = LoadKeyringModule();
        }
        return module_ ? *module_ : none_;
    }

    bool loaded_ = false;
    CredentialStore* module_ = nullptr;
    NoKeyring none_;
};

CredentialStore* installed = nullptr;

}  // namespace

std::string CredentialKey(const std::string& authUser, const std::string& smtp) {
    return authUser + "@" + smtp;
}

CredentialStore& CurrentCredentialStore() {
    static LazyKeyring keyring;
    return installed ? *installed : keyring;
}

void SetCredentialStore(CredentialStore* store) {
    installed = store;
}

}  // namespace platform
