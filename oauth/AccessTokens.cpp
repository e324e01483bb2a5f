#include "oauth/AccessTokens.h"

#include <map>

#include "oauth/TokenEndpoint.h"
#include "platform/CodePage.h"
#include "platform/Credentials.h"
#include "platform/Secret.h"

namespace {

using Clock = std::chrono::steady_clock;
using platform::Sjis;

// A token this close to its end could run out on its way to the server.
constexpr std::chrono::seconds kMargin{60};
// How long a token is kept whose lifetime the provider did not say.
constexpr std::chrono::seconds kUnsaidLifetime{300};

struct TKeptToken {
    std::string Token;
    Clock::time_point Until;
};

// By keyring entry. The tokens are wiped as they are replaced and when the program ends.
class TKeptTokens {
  public:
    ~TKeptTokens() {
        for (auto& [key, kept] : tokens_)
            platform::WipeSecret(kept.Token);
    }
    const std::string* Find(const std::string& key) const {
        const auto found = tokens_.find(key);
        return found != tokens_.end() && Clock::now() < found->second.Until ? &found->second.Token
                                                                            : nullptr;
    }
    void Keep(const std::string& key, const std::string& token, std::chrono::seconds lifetime) {
        TKeptToken& kept = tokens_[key];
        platform::WipeSecret(kept.Token);
        kept.Token = token;
        kept.Until = Clock::now() + (lifetime.count() > 0 ? lifetime : kUnsaidLifetime) - kMargin;
    }

  private:
    std::map<std::string, TKeptToken> tokens_;
};

TKeptTokens& Kept() {
    static TKeptTokens kept;
    return kept;
}

TTokenGrant Refresh(const TOAuthEndpoints& endpoints, std::string& refreshToken) {
    TFormFields form = {{"grant_type", "refresh_token"},
                        {"refresh_token", refreshToken},
                        {"client_id", endpoints.ClientId}};
    if (!endpoints.ClientSecret.empty())
        form.emplace_back("client_secret", endpoints.ClientSecret);
    if (!endpoints.Scope.empty())
        form.emplace_back("scope", endpoints.Scope);
    platform::SecretScope wipe(form[1].second);
    try {
        return RequestTokens(endpoints.TokenUrl, form);
    } catch (const ETokenEndpointError& e) {
        if (e.Error == "invalid_grant") {
            throw ESignInAgain(Sjis("サインインの期限が切れたか、取り消されました。"
                                    "もう一度サインインしてね（") +
                               e.Message() + ")");
        }
        throw;
    }
}

}  // namespace

std::string OAuthAccessToken(const TOAuthEndpoints& Endpoints, const std::string& User,
                             bool Fresh) {
    const std::string key = RefreshTokenKey(Endpoints, User);
    if (const std::string* kept = Kept().Find(key); kept && !Fresh)
        return *kept;
    platform::CredentialStore& store = platform::CurrentCredentialStore();
    std::optional<std::string> refreshToken =
        store.Available() ? store.ReadPassword(key) : std::nullopt;
    if (!refreshToken || refreshToken->empty()) {
        throw ENotSignedIn(Sjis("まだサインインしていません（") + User +
                           Sjis("）。先にサインインしてね"));
    }
    platform::SecretScope wipe(*refreshToken);
    TTokenGrant grant = Refresh(Endpoints, *refreshToken);
    platform::SecretScope wipeRefresh(grant.RefreshToken);
    // Providers that rotate refresh tokens take the old one back at once: the new one must be
    // kept before anything else can fail.
    if (!grant.RefreshToken.empty() && grant.RefreshToken != *refreshToken &&
        !store.WritePassword(key, grant.RefreshToken)) {
        throw Exception(Sjis("新しいリフレッシュトークンをキーリングに保存できませんでした"));
    }
    KeepAccessToken(Endpoints, User, grant.AccessToken, grant.ExpiresIn);
    return std::move(grant.AccessToken);
}

void KeepAccessToken(const TOAuthEndpoints& Endpoints, const std::string& User,
                     const std::string& Token, std::chrono::seconds ExpiresIn) {
    Kept().Keep(RefreshTokenKey(Endpoints, User), Token, ExpiresIn);
}
