#pragma once
// Signing the user in with the provider in the system's browser (authorization code with PKCE,
// the redirect to a loopback address), and keeping the refresh token in the keyring.
#include <chrono>
#include <functional>
#include <string>

#include "oauth/OAuthConfig.h"

namespace platform {
class Shell;
}

constexpr std::chrono::minutes kSignInTimeOut{5};

struct TSignInSteps {
    // Shown the address the user opens to sign in (before the browser is asked to open it).
    std::function<void(const std::string& url)> ShowUrl;
    // Opens the address; nullptr when only shown.
    platform::Shell* Browser = nullptr;
    // Asked now and then while the sign-in waits; true ends it.
    std::function<bool()> Canceled;
    std::chrono::milliseconds TimeOut = kSignInTimeOut;
};

// Signs User (Shift_JIS, as the settings hold it) in at the provider and keeps the refresh token
// in the keyring under RefreshTokenKey. Raises Exception (Shift_JIS) saying what went wrong; the
// browser's page says it too.
void OAuthSignIn(const TOAuthEndpoints& Endpoints, const std::string& User,
                 const TSignInSteps& Steps);
