#include "sock/SaslOAuth.h"

#include "jconvert/jconvert.h"
#include "platform/Secret.h"

std::string OAuthResponse(const std::string& Mechanism, const std::string& User,
                          const std::string& Host, int Port, const std::string& Token) {
    // Built in place, so that no copy of the token is left unwiped.
    std::string fields;
    platform::SecretScope wipe(fields);
    fields.reserve(User.size() * 3 + Host.size() + Token.size() + 64);
    const char separator = '\x01';
    if (Mechanism == "OAUTHBEARER") {
        fields.append("n,a=");
        for (const char c : User)
            fields.append(c == ',' ? "=2C" : c == '=' ? "=3D" : std::string(1, c));
        fields.append(",").append(1, separator).append("host=").append(Host);
        fields.append(1, separator).append("port=").append(std::to_string(Port));
    } else {
        fields.append("user=").append(User);
    }
    fields.append(1, separator).append("auth=Bearer ").append(Token);
    fields.append(2, separator);
    return Base64Encode(fields);
}
