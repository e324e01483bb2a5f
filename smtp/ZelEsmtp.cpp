#include "smtp/ZelEsmtp.h"

#include <algorithm>
#include <sstream>

#include "jconvert/jconvert.h"
#include "platform/Secret.h"
#include "smtp/ZelLines.h"

namespace {

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c; });
    return text;
}

int64_t SizeParameter(std::istream& words) {
    std::string limit;
    words >> limit;
    const bool number = !limit.empty() && limit.size() <= 18 &&
                        limit.find_first_not_of("0123456789") == std::string::npos;
    return number ? std::stoll(limit) : 0;
}

}  // namespace

TEhloKeywords ParseEhloReply(const std::vector<std::string>& Lines) {
    TEhloKeywords offered;
    for (size_t i = 1; i < Lines.size(); ++i) {
        const std::string line = WithoutLineEnd(Lines[i]);
        if (line.size() < 5 || !line.starts_with("250") || (line[3] != '-' && line[3] != ' '))
            continue;
        std::istringstream words(line.substr(4));
        std::string keyword;
        if (!(words >> keyword))
            continue;
        keyword = Upper(keyword);
        // Older servers also write "AUTH=LOGIN PLAIN".
        if (keyword.starts_with("AUTH=")) {
            if (keyword.size() > 5)
                offered.AuthMechanisms.insert(keyword.substr(5));
            keyword = "AUTH";
        }
        offered.Keywords.insert(keyword);
        if (keyword == "SIZE")
            offered.SizeLimit = SizeParameter(words);
        if (keyword != "AUTH")
            continue;
        for (std::string mechanism; words >> mechanism;)
            offered.AuthMechanisms.insert(Upper(mechanism));
    }
    return offered;
}

std::string ChooseAuthMechanism(const TEhloKeywords& Offered) {
    if (!Offered.Has("AUTH"))
        return "";
    for (const char* mechanism : {"PLAIN", "LOGIN"}) {
        if (Offered.AuthMechanisms.contains(mechanism))
            return mechanism;
    }
    return "";
}

std::string AuthPlainResponse(const std::string& User, const std::string& Password) {
    std::string fields;
    platform::SecretScope wipe(fields);
    fields.reserve(User.size() + Password.size() + 2);
    fields.append(1, '\0').append(User).append(1, '\0').append(Password);
    return Base64Encode(fields);
}

std::string AuthLoginResponse(const std::string& Text) {
    return Base64Encode(Text);
}

std::string ChooseOAuthMechanism(const TEhloKeywords& Offered) {
    if (!Offered.Has("AUTH"))
        return "";
    for (const char* mechanism : {"OAUTHBEARER", "XOAUTH2"}) {
        if (Offered.AuthMechanisms.contains(mechanism))
            return mechanism;
    }
    return "";
}

std::string OAuthErrorAnswer(const std::string& Mechanism) {
    return Mechanism == "OAUTHBEARER" ? "AQ==" : "";
}
