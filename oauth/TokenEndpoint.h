#pragma once
// The provider's token endpoint: a form goes up, JSON comes back. Over HTTPS with the system's
// certificates; plain HTTP only to this machine.
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "platform/Exception.h"

struct TTokenGrant {
    std::string AccessToken;
    std::string RefreshToken;           // empty when the provider keeps the one it had
    std::chrono::seconds ExpiresIn{0};  // 0 when it did not say
};

// The provider answered with an error; Error is its code ("invalid_grant": the refresh token or
// the authorization code is no longer good).
class ETokenEndpointError : public Exception {
  public:
    ETokenEndpointError(const std::string& Message, std::string Code)
        : Exception(Message), Error(std::move(Code)) {}
    std::string Error;
};

using TFormFields = std::vector<std::pair<std::string, std::string>>;

constexpr std::chrono::milliseconds kTokenEndpointTimeOut{30000};

// Raises Exception unless Url is https, or http to 127.0.0.1, ::1 or localhost.
void RequireSafeEndpoint(const std::string& Url);

// POSTs Form (UTF-8 names and values) to TokenUrl and reads the tokens. Raises
// ETokenEndpointError for a refusal, Exception when no usable answer came within TimeOut.
// CAFile: a PEM bundle to trust instead of the system's certificates.
TTokenGrant RequestTokens(const std::string& TokenUrl, const TFormFields& Form,
                          std::chrono::milliseconds TimeOut = kTokenEndpointTimeOut,
                          const std::string& CAFile = "");
