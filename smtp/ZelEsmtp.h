#pragma once
// The pure parts of the extended session: reading the keywords of a reply to EHLO and encoding
// the AUTH responses. No socket, no state, so they can be fed any bytes.
#include <cstdint>
#include <set>
#include <string>

#include "sock/SaslOAuth.h"
#include <vector>

// What a server offers in its reply to EHLO.
struct TEhloKeywords {
    std::set<std::string> Keywords;        // upper-cased, e.g. "STARTTLS", "AUTH", "8BITMIME"
    std::set<std::string> AuthMechanisms;  // upper-cased parameters of AUTH
    // The largest message the server takes, from "SIZE n"; 0 when it names no limit.
    int64_t SizeLimit = 0;
    bool Has(const std::string& Keyword) const { return Keywords.contains(Keyword); }
};

// The keywords of a 250 reply given line by line (with or without line ends). The first line
// is the greeting and carries none; a line that is no "250-" or "250 " line is skipped.
// "AUTH=X" counts as AUTH offering X; a SIZE parameter that is no number counts as no limit.
TEhloKeywords ParseEhloReply(const std::vector<std::string>& Lines);

// The mechanism to use: "PLAIN" when offered, else "LOGIN" when offered, else "".
std::string ChooseAuthMechanism(const TEhloKeywords& Offered);

// The initial response of AUTH PLAIN: base64 of NUL, the user, NUL, the password.
std::string AuthPlainResponse(const std::string& User, const std::string& Password);

// One response of AUTH LOGIN (the user name or the password), base64 encoded.
std::string AuthLoginResponse(const std::string& Text);

// The mechanism for an OAuth 2.0 access token: "OAUTHBEARER" when offered, else "XOAUTH2" when
// offered, else "". Never one that carries a password.
std::string ChooseOAuthMechanism(const TEhloKeywords& Offered);

// What a client answers to the error the server sent in place of a success: a dummy "AQ=="
// (a single ^A) for OAUTHBEARER, an empty line for XOAUTH2. The server's refusal follows.
std::string OAuthErrorAnswer(const std::string& Mechanism);
