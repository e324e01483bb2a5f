#pragma once
// Where an OAuth 2.0 provider signs the user in and hands out tokens, and what the program asks
// it for; the presets of the providers the program knows; the keyring entry of a refresh token.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// UTF-8, as the settings hold them.
struct TOAuthEndpoints {
    std::string AuthorizeUrl;
    std::string TokenUrl;
    std::string ClientId;      // the user's own registration with the provider
    std::string ClientSecret;  // only where a provider wants one of installed programs too
    std::string Scope;         // blank-separated
};

// The endpoints and scope of "microsoft" (tenant "common"), "microsoft:TENANT" (a tenant's ID
// or domain) or "google"; no client ID. nullopt for a name it does not know.
std::optional<TOAuthEndpoints> OAuthPreset(std::string_view Name);

// The settings "OAuthAuthorizeUrl", "OAuthTokenUrl", "OAuthClientId", "OAuthClientSecret" and
// "OAuthScope", read through Read.
TOAuthEndpoints ReadOAuthEndpoints(const std::function<std::string(const char* ident)>& Read);

// The keyring entry of the refresh token of User (Shift_JIS, as the settings hold it) at the
// provider's token endpoint for this client.
std::string RefreshTokenKey(const TOAuthEndpoints& Endpoints, const std::string& User);
