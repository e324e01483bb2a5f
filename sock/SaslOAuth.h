#pragma once
// The OAuth 2.0 initial response that both mail clients send at login (SMTP AUTH and IMAP
// AUTHENTICATE), built once for both.
#include <string>

// The initial response of Mechanism ("OAUTHBEARER" or "XOAUTH2") for User's access token at
// Host and Port, base64 encoded. OAUTHBEARER names the user as a GS2 authzid, with "," and "="
// escaped.
std::string OAuthResponse(const std::string& Mechanism, const std::string& User,
                          const std::string& Host, int Port, const std::string& Token);
