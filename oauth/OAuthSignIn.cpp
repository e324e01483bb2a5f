#include "oauth/OAuthSignIn.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QUrl>

#include "oauth/AccessTokens.h"
#include "oauth/LoopbackRedirect.h"
#include "oauth/TokenEndpoint.h"
#include "platform/CodePage.h"
#include "platform/Credentials.h"
#include "platform/Secret.h"
#include "platform/Shell.h"

namespace {

using platform::Sjis;

std::string Base64Url(const QByteArray& bytes) {
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)
        .toStdString();
}

// 32 bytes from the system's generator: 43 characters of base64url, as a PKCE verifier wants.
std::string RandomText() {
    QByteArray bytes(32, '\0');
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return Base64Url(bytes);
}

std::string S256(const std::string& verifier) {
    return Base64Url(
        QCryptographicHash::hash(QByteArray::fromStdString(verifier), QCryptographicHash::Sha256));
}

std::string Encoded(const std::string& text) {
    return QUrl::toPercentEncoding(QString::fromStdString(text)).toStdString();
}

// The provider's sign-in page, with what the program asks for; parameters the address already
// carries (a preset's) stay.
std::string AuthorizationUrl(const TOAuthEndpoints& endpoints, const std::string& redirect,
                             const std::string& state, const std::string& challenge,
                             const std::string& user) {
    std::string query;
    const auto add = [&query](const char* name, const std::string& value) {
        query += std::string(query.empty() ? "" : "&") + name + "=" + Encoded(value);
    };
    add("response_type", "code");
    add("client_id", endpoints.ClientId);
    add("redirect_uri", redirect);
    add("scope", endpoints.Scope);
    add("state", state);
    add("code_challenge", challenge);
    add("code_challenge_method", "S256");
    if (!user.empty())
        add("login_hint", user);
    const std::string& base = endpoints.AuthorizeUrl;
    return base + (base.find('?') == std::string::npos ? "?" : "&") + query;
}

void RequireEndpoints(const TOAuthEndpoints& endpoints) {
    if (endpoints.AuthorizeUrl.empty() || endpoints.TokenUrl.empty() ||
        endpoints.ClientId.empty()) {
        throw Exception(
            Sjis("サインインには、認可のアドレス、トークンのアドレス、"
                 "クライアント ID が要ります"));
    }
    RequireSafeEndpoint(endpoints.AuthorizeUrl);
    RequireSafeEndpoint(endpoints.TokenUrl);
}

}  // namespace

void OAuthSignIn(const TOAuthEndpoints& Endpoints, const std::string& User,
                 const TSignInSteps& Steps) {
    RequireEndpoints(Endpoints);
    if (User.empty())
        throw Exception(Sjis("サインインする認証ユーザー名がありません"));
    platform::CredentialStore& store = platform::CurrentCredentialStore();
    if (!store.Available())
        throw Exception(Sjis("キーリングが使えないので、サインインを覚えておけません"));
    std::string verifier = RandomText();
    platform::SecretScope wipeVerifier(verifier);
    const std::string state = RandomText();
    TLoopbackRedirect redirect;
    const std::string url = AuthorizationUrl(Endpoints, redirect.RedirectUri(), state,
                                             S256(verifier), platform::SjisToUtf8(User));
    if (Steps.ShowUrl)
        Steps.ShowUrl(url);
    if (Steps.Browser)
        Steps.Browser->Open(url);
    std::string code = redirect.AwaitCode(state, Steps.TimeOut, Steps.Canceled);
    platform::SecretScope wipeCode(code);
    TFormFields form = {{"grant_type", "authorization_code"},
                        {"code", code},
                        {"redirect_uri", redirect.RedirectUri()},
                        {"client_id", Endpoints.ClientId},
                        {"code_verifier", verifier}};
    if (!Endpoints.ClientSecret.empty())
        form.emplace_back("client_secret", Endpoints.ClientSecret);
    platform::SecretScope wipeFormCode(form[1].second);
    platform::SecretScope wipeFormVerifier(form[4].second);
    try {
        TTokenGrant grant = RequestTokens(Endpoints.TokenUrl, form);
        platform::SecretScope wipeRefresh(grant.RefreshToken);
        if (grant.RefreshToken.empty()) {
            throw Exception(
                Sjis("リフレッシュトークンが届きませんでした。"
                     "スコープに offline_access などが要るかもしれません"));
        }
        if (!store.WritePassword(RefreshTokenKey(Endpoints, User), grant.RefreshToken))
            throw Exception(Sjis("リフレッシュトークンをキーリングに保存できませんでした"));
        KeepAccessToken(Endpoints, User, grant.AccessToken, grant.ExpiresIn);
        platform::WipeSecret(grant.AccessToken);
    } catch (const Exception& e) {
        redirect.Finish(false, e.Message());
        throw;
    }
    redirect.Finish(true);
}
