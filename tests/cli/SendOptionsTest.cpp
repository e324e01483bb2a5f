#include "cli/SendOptions.h"

#include <gtest/gtest.h>

#include "cli/MessageText.h"
#include "platform/CodePage.h"

namespace {

using Args = std::vector<std::string>;

TEST(SendOptions, TakesEveryOptionInBothForms) {
    const TSendOptions o = ParseSendOptions(
        {"--to",       "a@x",         "--cc=c@x",  "--bcc",    "",          "--subject",
         "件名",       "--body-file", "b.txt",     "--smtp",   "127.0.0.1", "--port=2525",
         "--user-id",  "me",          "--name",    "名前",     "--email",   "me@x",
         "--encoding", "cp932",       "--verbose", "--attach", "b c.pdf",   "--attach=/x/y.png",
         "--attach",   "b c.pdf"});
    EXPECT_EQ(o.To, "a@x");
    EXPECT_EQ(o.Cc, "c@x");
    EXPECT_EQ(o.Bcc, "");
    EXPECT_EQ(o.Subject, "件名");
    EXPECT_EQ(o.BodyFile, "b.txt");
    EXPECT_EQ(o.Encoding, "cp932");
    EXPECT_TRUE(o.Verbose);
    EXPECT_EQ(o.Attachments, (Args{"b c.pdf", "/x/y.png", "b c.pdf"})) << "each, in order";
    const std::map<std::string, std::string> overrides = {{"Smtp", "127.0.0.1"},
                                                          {"Port", "2525"},
                                                          {"UserID", "me"},
                                                          {"Name", "名前"},
                                                          {"Email", "me@x"}};
    EXPECT_EQ(o.Overrides, overrides);
}

TEST(SendOptions, LeavesSettingsAloneWhenNotGiven) {
    const TSendOptions o = ParseSendOptions({"--to", ""});
    EXPECT_EQ(o.To, "");  // present but empty: the flow itself refuses it
    EXPECT_TRUE(o.Overrides.empty());
    EXPECT_FALSE(o.BodyFile);
    EXPECT_EQ(o.Encoding, "utf-8");
    EXPECT_TRUE(ParseSendOptions({"--help"}).Help);
}

TEST(SendOptions, RefusesWhatItCannotFollow) {
    const std::vector<Args> cases = {
        {},                                        // no --to
        {"--subject", "x"},                        // no --to
        {"--to"},                                  // value missing
        {"--to", "a", "--to", "b"},                // a recipient would be lost
        {"--to", "a", "--port", "1", "--port=2"},  // so would a setting
        {"--to", "a", "--encoding", "latin1"},
        {"--to", "a", "--verbose=yes"},
        {"--to", "a", "--strict=yes"},
        {"--to", "a", "--colour"},
        {"--to", "a", "stray"},
        {"--to", "a", "--attach"},
    };
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args)
            joined += a + " ";
        EXPECT_THROW(ParseSendOptions(args), EUsageError) << joined;
    }
}

TEST(SendOptions, WaitsInWholeSecondsThatEnd) {
    const TSendOptions usual = ParseSendOptions({"--to", "a"});
    EXPECT_EQ(usual.TimeOutSeconds, 5);
    EXPECT_EQ(usual.DataTimeOutSeconds, 600);
    const TSendOptions given =
        ParseSendOptions({"--to", "a", "--timeout", "30", "--data-timeout=86400"});
    EXPECT_EQ(given.TimeOutSeconds, 30);
    EXPECT_EQ(given.DataTimeOutSeconds, 86400);
    for (const char* bad : {"0", "", "-1", "1.5", "abc", "86401", "99999999999", " 5"}) {
        EXPECT_THROW(ParseSendOptions({"--to", "a", "--timeout", bad}), EUsageError) << bad;
        EXPECT_THROW(ParseSendOptions({"--to", "a", "--data-timeout", bad}), EUsageError) << bad;
    }
}

TEST(SendOptions, OAuthOptionsAndProviders) {
    const struct {
        Args args;
        std::map<std::string, std::string> overrides;
    } cases[] = {
        {{"--to", "a", "--auth-method", "oauth", "--oauth-token-command", "cat t"},
         {{"AuthMethod", "oauth"}, {"OAuthTokenCommand", "cat t"}}},
        // A provider fills what the run does not give itself, before or after it.
        {{"--oauth-sign-in", "--oauth-scope", "s", "--oauth-provider", "google"},
         {{"OAuthAuthorizeUrl", "https://accounts.google.com/o/oauth2/v2/auth"},
          {"OAuthTokenUrl", "https://oauth2.googleapis.com/token"},
          {"OAuthScope", "s"}}},
        {{"--oauth-sign-in", "--oauth-provider", "microsoft:contoso.example", "--oauth-token-url",
          "https://t"},
         {{"OAuthAuthorizeUrl",
           "https://login.microsoftonline.com/contoso.example/oauth2/v2.0/authorize"},
          {"OAuthTokenUrl", "https://t"},
          {"OAuthScope",
           "https://outlook.office.com/SMTP.Send "
           "https://outlook.office.com/IMAP.AccessAsUser.All offline_access"}}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseSendOptions(c.args).Overrides, c.overrides) << c.args[1];
    EXPECT_TRUE(ParseSendOptions({"--oauth-sign-in", "--no-browser"}).NoBrowser);
    for (const Args& refused :
         std::vector<Args>{{"--to", "a", "--auth-method", "token"},
                           {"--to", "a", "--no-browser"},
                           {"--oauth-sign-in", "--oauth-provider", "yahoo"},
                           {"--oauth-sign-in", "--oauth-provider", "microsoft:a/b"}})
        EXPECT_THROW(ParseSendOptions(refused), EUsageError) << refused.back();
}

TEST(SendOptions, NamesTheOptionOfEachSetting) {
    EXPECT_EQ(OptionForSetting("UserID"), "--user-id");
    EXPECT_EQ(OptionForSetting("Smtp"), "--smtp");
}

TEST(BodyLines, SplitsAtEveryKindOfLineBreak) {
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"one", {"one"}},
        {"one\n", {"one"}},
        {"one\r\n", {"one"}},
        {"one\r", {"one"}},
        {"\n", {""}},
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\n\nb\n", {"a", "", "b"}},
        {"a\r\rb", {"a", "", "b"}},
        {"a\n\r\nb", {"a", "", "b"}},
        {"a\r\n\r\n", {"a", ""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitBodyLines(c.text), c.lines) << c.text;
}

TEST(MessageText, ConvertsToShiftJisOrSaysWhy) {
    EXPECT_EQ(ToShiftJis("テスト abc", "utf-8", "--subject"), platform::Sjis("テスト abc"));
    const std::string sjis = platform::Sjis("ｶﾅ漢字");
    EXPECT_EQ(ToShiftJis(sjis, "cp932", "--subject"), sjis);

    const struct {
        std::string text, encoding, mentions;
    } refused[] = {
        {"絵文字😀です", "utf-8", "U+1F600"},
        {"\xE3\x81", "utf-8", "UTF-8"},  // cut in the middle of a character
        {"\x82", "cp932", "cp932"},      // lead byte without its trail byte
    };
    for (const auto& c : refused) {
        try {
            ToShiftJis(c.text, c.encoding, "--subject");
            ADD_FAILURE() << "accepted " << c.text;
        } catch (const EEncodingError& e) {
            EXPECT_NE(e.Message().find(c.mentions), std::string::npos) << e.Message();
            EXPECT_NE(e.Message().find("--subject"), std::string::npos) << e.Message();
        }
    }
}

}  // namespace
