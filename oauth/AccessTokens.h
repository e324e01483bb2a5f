#pragma once
// Access tokens refreshed from the refresh token that the sign-in kept in the keyring. Each is
// kept in memory until shortly before it runs out, and a refresh token the provider replaces is
// stored at once, before its access token is used.
#include <chrono>
#include <string>

#include "oauth/OAuthConfig.h"
#include "platform/Exception.h"

// Nobody has signed in for these endpoints and user (or no keyring answers).
class ENotSignedIn : public Exception {
    using Exception::Exception;
};

// The provider no longer takes the refresh token ("invalid_grant"): the user must sign in again.
class ESignInAgain : public Exception {
    using Exception::Exception;
};

// The access token for User (Shift_JIS) at the provider; Fresh skips the one kept in memory (the
// server has just refused it). Raises ENotSignedIn, ESignInAgain, or Exception when the provider
// cannot be asked.
std::string OAuthAccessToken(const TOAuthEndpoints& Endpoints, const std::string& User,
                             bool Fresh = false);

// Keeps an access token that the provider has just handed out, for ExpiresIn.
void KeepAccessToken(const TOAuthEndpoints& Endpoints, const std::string& User,
                     const std::string& Token, std::chrono::seconds ExpiresIn);
