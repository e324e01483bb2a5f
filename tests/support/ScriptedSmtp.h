#pragma once
// Replies of a scripted SMTP server, for ScriptedPeer::ReplyEach, and the message the session
// tests send to it.
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "smtp/Zelsmtp.h"
#include "tests/support/ScriptedPeer.h"

namespace testsupport {

using Overrides = std::vector<std::pair<std::string, std::string>>;

// Answers like an SMTP server: the first override whose prefix starts the line wins, then the
// usual positive reply of the command. Lines between DATA and "." get no reply.
inline ScriptedPeer::LineReply SmtpReplies(Overrides overrides) {
    auto inData = std::make_shared<bool>(false);
    return [overrides, inData](const std::string& line) -> std::string {
        if (*inData && line != ".\r\n")
            return "";
        std::string reply = line.starts_with("DATA")   ? "354 go ahead\r\n"
                            : line.starts_with("QUIT") ? "221 bye\r\n"
                                                       : "250 ok\r\n";
        for (const auto& [prefix, answer] : overrides) {
            if (line.starts_with(prefix)) {
                reply = answer;
                break;
            }
        }
        *inData = line.starts_with("DATA") && reply[0] != '4' && reply[0] != '5';
        return reply;
    };
}

// From me@localhost to a@localhost, CC "Cc Person <c@localhost>", BCC d@localhost; body "body".
inline void FillTestMessage(TPostMessage& m) {
    m.FromAddress = "me@localhost";
    m.ToAddress.Add("a@localhost");
    m.ToCarbonCopy.Add("Cc Person <c@localhost>");
    m.ToBlindCarbonCopy.Add("d@localhost");
    m.Body.Add("body");
}

}  // namespace testsupport
