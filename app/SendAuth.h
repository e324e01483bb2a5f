#pragma once
// What proves the AUTH user to the server: the password, or, when the settings choose OAuth 2.0,
// an access token. The token comes from the user's token command, else it is refreshed from the
// refresh token that the sign-in kept in the keyring. The send asks for one before connecting
// and for a fresh one, once, when the server refuses it.
#include <functional>
#include <string>

#include "oauth/OAuthConfig.h"
#include "platform/Exception.h"

// No access token could be had (the command failed or printed nothing, nobody signed in):
// nothing was sent.
class ENoAccessToken : public Exception {
    using Exception::Exception;
};

// Runs a token command (UTF-8) and gives the first line it printed; raises Exception saying why
// there is none.
using TTokenCommandRunner = std::function<std::string(const std::string& command)>;
// The command-line sender installs its runner; without one (the window) a token command is
// refused with a pointer to the sign-in.
void SetTokenCommandRunner(TTokenCommandRunner runner);

class TSendAuth {
  public:
    // Values of the settings by name, UTF-8.
    using TSettingReader = std::function<std::string(const char* ident)>;

    TSendAuth() = default;
    // Reads "AuthMethod" ("password" or empty, or "oauth") and the settings of OAuth; raises
    // Exception for a method it does not know.
    explicit TSendAuth(const TSettingReader& read);

    bool OAuth() const { return oauth_; }
    // The access token for user (Shift_JIS, as the settings hold it). Raises ENoAccessToken, or
    // Exception when the provider refused to refresh it (the user must sign in again).
    std::string AccessToken(const std::string& user);
    // A fresh access token after the server refused the last one.
    std::string FreshToken(const std::string& user);

  private:
    std::string FromCommand() const;
    std::string Refreshed(const std::string& user, bool fresh) const;

    bool oauth_ = false;
    std::string command_;  // UTF-8
    TOAuthEndpoints endpoints_;
};
