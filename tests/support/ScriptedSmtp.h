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

// (prefix of a received line, reply); a reply of "" answers nothing.
using Overrides = std::vector<std::pair<std::string, std::string>>;

// Answers like a willing SMTP server: the override with the longest prefix that starts the line
// wins (so a whole RCPT line beats "RCPT"), else the usual positive reply of the command. Lines
// between DATA and "." get no reply; a DATA answered with a refusal starts no data.
inline ScriptedPeer::LineReply SmtpReplies(Overrides overrides = {}) {
    auto inData = std::make_shared<bool>(false);
    return [overrides, inData](const std::string& line) -> std::string {
        if (*inData && line != ".\r\n")
            return "";
        std::string reply = line.starts_with("DATA")   ? "354 go ahead\r\n"
                            : line.starts_with("QUIT") ? "221 bye\r\n"
                                                       : "250 ok\r\n";
        int longest = -1;
        for (const auto& [prefix, answer] : overrides) {
            if (line.starts_with(prefix) && static_cast<int>(prefix.size()) > longest) {
                reply = answer;
                longest = static_cast<int>(prefix.size());
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
