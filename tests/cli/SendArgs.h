#pragma once
// The command line of a tidemark-send run against a server on 127.0.0.1: the usual options,
// then more. An option given in more replaces the usual one of the same name.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

inline std::vector<std::string> LocalSendArgs(uint16_t port, const std::vector<std::string>& more) {
    const std::vector<std::string> usual{"--to",    "to@localhost",       "--smtp",    "127.0.0.1",
                                         "--port",  std::to_string(port), "--user-id", "localhost",
                                         "--email", "me@localhost"};
    std::vector<std::string> args{TIDEMARK_SEND};
    for (size_t i = 0; i < usual.size(); i += 2) {
        if (std::ranges::count(more, usual[i]) == 0)
            args.insert(args.end(), {usual[i], usual[i + 1]});
    }
    args.insert(args.end(), more.begin(), more.end());
    return args;
}
