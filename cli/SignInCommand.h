#pragma once
// tidemark-send --oauth-sign-in: signs the AUTH user in with OAuth 2.0 in the system's browser
// and keeps the refresh token in the desktop keyring, for the sends after it.
#include <map>
#include <ostream>
#include <string>

// Settings (UTF-8) given for this run replace the stored ones of the same name. The address to
// open goes to out on a line of its own, the browser opens it unless openBrowser is false, and
// err gets what happens. Returns the exit status: 0 signed in, 1 the sign-in failed, 2 settings
// that cannot be used.
int RunSignIn(const std::map<std::string, std::string>& overrides, bool openBrowser,
              std::ostream& out, std::ostream& err);
