#include "platform/HostName.h"

#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <memory>

namespace platform {
namespace {

HostNameSource& Source() {
    static HostNameSource source;
    return source;
}

// The canonical name of the host as the system's lookup (its hosts file first) gives it.
std::string CanonicalName(const std::string& name) {
    addrinfo hints{};
    hints.ai_flags = AI_CANONNAME;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return name;
    const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, freeaddrinfo);
    return found->ai_canonname != nullptr ? std::string(found->ai_canonname) : name;
}

std::string SystemHostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return std::string();
    const std::string host(name);
    return host.find('.') != std::string::npos ? host : CanonicalName(host);
}

bool IsLabelChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-';
}

// A dotted name of letters, digits and hyphens that no label starts or ends with a hyphen.
bool IsFullyQualified(const std::string& name) {
    if (name.empty() || name.size() > 253 || name.find('.') == std::string::npos)
        return false;
    size_t start = 0;
    for (size_t dot = name.find('.');; dot = name.find('.', start)) {
        const std::string label =
            name.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-' ||
            !std::all_of(label.begin(), label.end(), IsLabelChar)) {
            return false;
        }
        if (dot == std::string::npos)
            return true;
        start = dot + 1;
    }
}

}  // namespace

std::string HeloName() {
    const std::string name = Source() ? Source()() : SystemHostName();
    return IsFullyQualified(name) ? name : "localhost";
}

void SetHostNameSource(HostNameSource source) {
    Source() = std::move(source);
}

}  // namespace platform
