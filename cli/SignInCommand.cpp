#include "cli/SignInCommand.h"

#include "app/SendSettings.h"
#include "cli/SendCommand.h"
#include "cli/TerminalText.h"
#include "oauth/OAuthSignIn.h"
#include "platform/CodePage.h"
#include "platform/CommandShell.h"

int RunSignIn(const std::map<std::string, std::string>& overrides, bool openBrowser,
              std::ostream& out, std::ostream& err) {
    TSettingSource settings;
    settings.SetOverrides(overrides);
    const auto read = [&settings](const char* ident) { return settings.Read(ident); };
    const TOAuthEndpoints endpoints = ReadOAuthEndpoints(read);
    const std::string user = read("AuthUser");
    if (user.empty() || endpoints.AuthorizeUrl.empty() || endpoints.TokenUrl.empty() ||
        endpoints.ClientId.empty()) {
        err << "tidemark-send: --oauth-sign-in needs --auth-user, --oauth-client-id and the "
               "endpoints (--oauth-provider, or --oauth-authorize-url and --oauth-token-url)"
            << std::endl;
        return ssUsage;
    }
    platform::CommandShell browser;
    TSignInSteps steps;
    steps.ShowUrl = [&](const std::string& url) {
        err << "tidemark-send: sign in as " << user << " at this address (waiting up to "
            << kSignInTimeOut.count() << " minutes):" << std::endl;
        out << url << std::endl;
    };
    steps.Browser = openBrowser ? &browser : nullptr;
    try {
        OAuthSignIn(endpoints, platform::Utf8ToSjis(user), steps);
    } catch (const std::exception& e) {
        err << "tidemark-send: the sign-in failed: " << TerminalText(MessageOf(e)) << std::endl;
        return ssFailed;
    }
    err << "tidemark-send: signed in; the refresh token is kept in the desktop keyring"
        << std::endl;
    return ssSent;
}
