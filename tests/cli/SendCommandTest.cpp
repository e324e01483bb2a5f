// The command run in this process against a scripted peer, for replies a real server never gives.
#include "cli/SendCommand.h"

#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/ScriptedPeer.h"
#include "tests/support/TempSettings.h"

namespace {

using namespace std::chrono_literals;

TEST(SendCommand, RefusedQuitAfterAcceptanceStillCountsAsSent) {
    TempSettings settings;
    bool inData = false;  // outlives the peer, whose thread uses it
    testsupport::ScriptedPeer peer;
    peer.Send("220 hi\r\n").ReplyEach([&inData](const std::string& line) -> std::string {
        if (inData) {
            inData = line != ".\r\n";
            return inData ? "" : "250 queued\r\n";
        }
        inData = line.starts_with("DATA");
        if (inData)
            return "354 go\r\n";
        return line.starts_with("QUIT") ? "340 not now\r\n" : "250 ok\r\n";
    });
    peer.Start();
    std::istringstream input("body\n");
    std::ostringstream out, err;
    const int status =
        RunSendCommand({"--to", "to@example.jp", "--smtp", "127.0.0.1", "--port",
                        std::to_string(peer.Port()), "--user-id", "t", "--email", "me@example.jp"},
                       input, out, err);
    EXPECT_TRUE(peer.Wait(5s));
    EXPECT_EQ(status, ssSent);
    EXPECT_EQ(out.str(), "メールを送信したよ。\n送信に失敗したよ。\n");
    EXPECT_TRUE(err.str().ends_with("\n340 not now\n")) << err.str();
}

}  // namespace
