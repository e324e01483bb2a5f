#include "app/SendPassword.h"

#include "platform/Credentials.h"

void TSendPassword::Give(std::optional<std::string> password) {
    given_ = password.has_value();
    override_.reset();
    fetch_ = nullptr;
    if (password)
        override_.emplace(std::move(*password));
}

void TSendPassword::GiveLater(std::function<std::string()> fetch) {
    Give(std::nullopt);
    given_ = true;
    fetch_ = std::move(fetch);
}

std::optional<platform::TSecret> TSendPassword::Take(const std::string& user,
                                                     const std::string& host,
                                                     TComposeFields& fields) {
    if (fetch_) {
        const std::function<std::string()> fetch = std::move(fetch_);
        fetch_ = nullptr;
        std::string password = fetch();
        override_.emplace(std::move(password));
    }
    if (override_) {
        std::optional<platform::TSecret> given = std::move(override_);
        override_.reset();
        return given;
    }
    platform::CredentialStore& store = platform::CurrentCredentialStore();
    if (store.Available()) {
        // The key as the options dialog keeps it: Shift_JIS, as the settings hold the names.
        if (std::optional<std::string> stored =
                store.ReadPassword(platform::CredentialKey(user, host))) {
            platform::TSecret secret(std::move(*stored));
            return secret;
        }
    }
    std::optional<std::string> answer = fields.AskPassword(user);
    if (!answer)
        return std::nullopt;
    return platform::TSecret(std::move(*answer));
}
