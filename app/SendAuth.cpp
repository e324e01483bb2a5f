#include "app/SendAuth.h"

#include "oauth/AccessTokens.h"
#include "platform/CodePage.h"

namespace {

TTokenCommandRunner& Runner() {
    static TTokenCommandRunner runner;
    return runner;
}

}  // namespace

void SetTokenCommandRunner(TTokenCommandRunner runner) {
    Runner() = std::move(runner);
}

TSendAuth::TSendAuth(const TSettingReader& read) {
    const std::string method = read("AuthMethod");
    if (method != "" && method != "password" && method != "oauth") {
        throw Exception(platform::Sjis("認証の方法 \"") + platform::Utf8ToSjis(method) +
                        platform::Sjis("\" は password、oauth のどちらでもありません"));
    }
    oauth_ = method == "oauth";
    if (!oauth_)
        return;
    command_ = read("OAuthTokenCommand");
    if (command_.empty())
        endpoints_ = ReadOAuthEndpoints(read);
}

std::string TSendAuth::AccessToken(const std::string& user) {
    return command_.empty() ? Refreshed(user, false) : FromCommand();
}

std::string TSendAuth::FreshToken(const std::string& user) {
    return command_.empty() ? Refreshed(user, true) : FromCommand();
}

// Without a command: from the refresh token that the sign-in kept.
std::string TSendAuth::Refreshed(const std::string& user, bool fresh) const {
    if (endpoints_.TokenUrl.empty() || endpoints_.ClientId.empty()) {
        throw ENoAccessToken(platform::Sjis(
            "OAuth には、トークンのコマンドか、トークンのアドレスとクライアント ID が要ります"));
    }
    try {
        return OAuthAccessToken(endpoints_, user, fresh);
    } catch (const ENotSignedIn& e) {
        throw ENoAccessToken(e.Message());
    }
}

// The command runs afresh every time: it is the one that knows when its token runs out.
std::string TSendAuth::FromCommand() const {
    if (!Runner())
        throw ENoAccessToken(
            platform::Sjis("トークンのコマンドは tidemark-send だけで使えます。ウィンドウからは"
                           "オプション設定の OAuth でサインインしてね"));
    try {
        return Runner()(command_);
    } catch (const std::exception& e) {
        throw ENoAccessToken(platform::Sjis("トークンのコマンドが失敗しました：") + MessageOf(e));
    }
}
