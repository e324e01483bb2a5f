// The command run in this process against a scripted peer: each exit status with what it prints,
// including replies a real server rarely gives.
#include "cli/SendCommand.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <sstream>

#include "tests/support/ScriptedPeer.h"
#include "tests/support/ScriptedSmtp.h"
#include "tests/support/TempSettings.h"

namespace {

using namespace std::chrono_literals;
using Replies = testsupport::Overrides;

TEST(SendCommand, ExitStatusAndWhatItPrints) {
    const std::string unknown = "550 5.1.1 User unknown\r\n";
    const struct {
        const char* name;
        std::string greeting;  // "" greets never
        Replies replies;
        std::vector<std::string> options;
        int status;
        std::string out;
        std::string err;  // a part of standard error
    } cases[] = {
        {"QUIT refused after acceptance",
         "220 hi\r\n",
         {{"QUIT", "340 not now\r\n"}},
         {},
         ssSent,
         "メールを送信したよ。\n",
         "接続は解除されました"},
        {"some recipients refused",
         "220 hi\r\n",
         {{"RCPT TO:<jiro@example.jp>\r\n", unknown}},
         {"--cc", "jiro@example.jp"},
         ssSentToSome,
         "メールを送信したよ。\n次の宛先には送れませんでした：\njiro@example.jp … 550 5.1.1 User "
         "unknown\n宛先欄には送れなかった宛先だけを残したので、直して送り直してね。\n",
         ""},
        {"every recipient refused",
         "220 hi\r\n",
         {{"RCPT", unknown}},
         {},
         ssFailed,
         "送信に失敗したよ。\nどの宛先も受け取ってもらえませんでした：\nto@example.jp … 550 5.1.1 "
         "User unknown\n",
         "No recipient was accepted"},
        {"a server that never greets costs one time-out",
         "",
         {},
         {},
         ssFailed,
         "送信に失敗したよ。\nサーバー 127.0.0.1 のポート ",
         "Socket"},
        {"no reply to the end of the message",
         "220 hi\r\n",
         {{".", ""}},
         {},
         ssNoReply,
         "送信に失敗したよ。\nサーバーから応答がありませんでした。メールは届いている可能性があり"
         "ます。\n",
         "No reply"},
        {"line break in the subject: nothing connects",
         "220 hi\r\n",
         {},
         {"--subject", "a\nBcc: x@example.jp"},
         ssUsage,
         "件名に改行またはNUL文字が含まれています。直してから送信してね。\n",
         ""},
        {"no sender: nothing connects",
         "220 hi\r\n",
         {},
         {"--email", ""},
         ssUsage,
         "",
         "送信するには、オプション設定の メールアドレス が必要です。"},
        {"machine-dependent characters: a warning, no question",
         "220 hi\r\n",
         {},
         {"--subject", "①"},
         ssSent,
         "メールを送信したよ。\n",
         "機種依存文字が含まれています：①。相手の環境では別の文字に見えることがあります。\n"},
    };
    for (const auto& c : cases) {
        TempSettings settings;
        testsupport::ScriptedPeer peer;
        if (!c.greeting.empty())
            peer.Send(c.greeting).ReplyEach(testsupport::SmtpReplies(c.replies));
        else
            peer.Pause(2500ms);
        peer.Start();
        std::map<std::string, std::string> given = {{"--to", "to@example.jp"},
                                                    {"--smtp", "127.0.0.1"},
                                                    {"--port", std::to_string(peer.Port())},
                                                    {"--user-id", "t"},
                                                    {"--email", "me@example.jp"},
                                                    {"--timeout", "1"},
                                                    {"--data-timeout", "1"}};
        for (size_t i = 0; i + 1 < c.options.size(); i += 2)
            given[c.options[i]] = c.options[i + 1];
        std::vector<std::string> args;
        for (const auto& [option, value] : given)
            args.insert(args.end(), {option, value});
        std::istringstream input("body\n");
        std::ostringstream out, err;
        const auto started = std::chrono::steady_clock::now();
        const int status = RunSendCommand(args, input, out, err);
        const auto took = std::chrono::steady_clock::now() - started;
        EXPECT_EQ(status, c.status) << c.name << "\n" << err.str();
        EXPECT_TRUE(out.str().starts_with(c.out)) << c.name << "\n" << out.str();
        EXPECT_NE(err.str().find(c.err), std::string::npos) << c.name << "\n" << err.str();
        EXPECT_LT(took, 1900ms) << c.name;
    }
}

}  // namespace
