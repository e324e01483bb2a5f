#include "oauth/OAuthConfig.h"

namespace {

// Scopes that let the token send over SMTP and store the Sent copy over IMAP, and keep a refresh
// token coming.
const char* const kMicrosoftScope =
    "https://outlook.office.com/SMTP.Send https://outlook.office.com/IMAP.AccessAsUser.All "
    "offline_access";
const char* const kGoogleScope = "https://mail.google.com/";

// A tenant names a directory by its ID or its domain; nothing else may reach the address.
bool IsTenant(std::string_view tenant) {
    return !tenant.empty() && tenant.size() <= 100 &&
           tenant.find_first_not_of(
               "abcdefghijklmnopqrstuvwxyz"
               "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-") == std::string_view::npos;
}

}  // namespace

std::optional<TOAuthEndpoints> OAuthPreset(std::string_view Name) {
    if (Name == "google") {
        return TOAuthEndpoints{"https://accounts.google.com/o/oauth2/v2/auth",
                               "https://oauth2.googleapis.com/token", "", "", kGoogleScope};
    }
    std::string_view tenant = "common";
    if (Name.starts_with("microsoft:"))
        tenant = Name.substr(10);
    else if (Name != "microsoft")
        return std::nullopt;
    if (!IsTenant(tenant))
        return std::nullopt;
    const std::string base =
        "https://login.microsoftonline.com/" + std::string(tenant) + "/oauth2/v2.0/";
    return TOAuthEndpoints{base + "authorize", base + "token", "", "", kMicrosoftScope};
}

TOAuthEndpoints ReadOAuthEndpoints(const std::function<std::string(const char* ident)>& Read) {
    return {Read("OAuthAuthorizeUrl"), Read("OAuthTokenUrl"), Read("OAuthClientId"),
            Read("OAuthClientSecret"), Read("OAuthScope")};
}

std::string RefreshTokenKey(const TOAuthEndpoints& Endpoints, const std::string& User) {
    return "OAuth " + Endpoints.TokenUrl + " " + Endpoints.ClientId + " " + User;
}
