// mailto: links and the compose window's command line as the fields they fill.
#include <gtest/gtest.h>
#include <QLineEdit>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "FrmMainFixture.h"
#include "app/DraftKeeper.h"
#include "app/MailtoLink.h"
#include "app/StartOptions.h"

namespace {

using platform::TDraft;

TDraft Fields(std::string to, std::string cc = "", std::string bcc = "", std::string subject = "",
              std::string body = "") {
    return {std::move(to), std::move(cc), std::move(bcc), std::move(subject), std::move(body)};
}

TEST(MailtoLink, FillsTheFiveFieldsAndRefusesWhatItCannotTake) {
    struct Case {
        const char* name;
        std::string link;
        TDraft expected;
        const char* error;  // nullptr: taken; else a piece of the message
    };
    const std::string longLink = "mailto:a@example.jp?body=" + std::string(kMaxMailtoLength, 'x');
    const Case cases[] = {
        {"address only", "mailto:hanako@example.jp", Fields("hanako@example.jp"), nullptr},
        {"scheme in capitals", "MAILTO:hanako@example.jp", Fields("hanako@example.jp"), nullptr},
        {"UTF-8 subject", "mailto:hanako@example.jp?subject=%E4%BC%9A%E8%AD%B0",
         Fields("hanako@example.jp", "", "", "会議"), nullptr},
        {"plus stays a plus, %20 is a blank", "mailto:taro+ml@example.jp?subject=a+b%20c%2Bd",
         Fields("taro+ml@example.jp", "", "", "a+b c+d"), nullptr},
        {"several to join the address part",
         "mailto:a@example.jp,b@example.jp?to=c@example.jp&TO=d@example.jp",
         Fields("a@example.jp,b@example.jp, c@example.jp, d@example.jp"), nullptr},
        {"to, cc and bcc in the query only", "mailto:?to=a@x.jp&cc=b@x.jp&cc=c@x.jp&bcc=d@x.jp",
         Fields("a@x.jp", "b@x.jp, c@x.jp", "d@x.jp"), nullptr},
        {"body line breaks become LF", "mailto:a@x.jp?body=%E4%B8%80%0D%0A%E4%BA%8C%0D%E4%B8%89",
         Fields("a@x.jp", "", "", "", "一\n二\n三"), nullptr},
        {"first subject and body count", "mailto:a@x.jp?subject=one&subject=two&body=1&body=2",
         Fields("a@x.jp", "", "", "one", "1"), nullptr},
        {"emoji in the body",
         "mailto:a@x.jp?body=%F0%9F%98%80",
         {"a@x.jp", "", "", "", "😀"},
         nullptr},
        {"attachments and other headers ignored",
         "mailto:a@x.jp?attach=/etc/passwd&attachment=%2Fetc%2Fshadow&from=evil@x.jp"
         "&reply-to=evil@x.jp&in-reply-to=%3Cx%3E&X-Mailer=evil&subject=s",
         Fields("a@x.jp", "", "", "s"), nullptr},
        {"empty and valueless fields skipped", "mailto:a@x.jp?&subject&&body=b",
         Fields("a@x.jp", "", "", "", "b"), nullptr},
        {"not a mailto link", "http://example.jp/", {}, "mailto:"},
        {"broken escape", "mailto:a@x.jp?subject=%E4%BC%9", {}, "%"},
        {"escape with a non-hex digit", "mailto:a@x.jp?subject=%G1", {}, "%G1"},
        {"not UTF-8", "mailto:a@x.jp?subject=%82%A0", {}, "UTF-8"},
        {"overlong UTF-8", "mailto:a@x.jp?subject=%C0%AF", {}, "UTF-8"},
        {"header injection in the subject",
         "mailto:a@x.jp?subject=x%0D%0ABcc:%20e@x.jp",
         {},
         "改行"},
        {"line break in an address", "mailto:a@x.jp%0Abcc:e@x.jp", {}, "改行"},
        {"line break in cc", "mailto:a@x.jp?cc=b@x.jp%0D%0A", {}, "改行"},
        {"NUL in the body", "mailto:a@x.jp?body=a%00b", {}, "NUL"},
        {"too long", longLink, {}, "長すぎ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            const TDraft draft = ParseMailto(c.link);
            EXPECT_EQ(nullptr, c.error);
            EXPECT_EQ(c.expected.To, draft.To);
            EXPECT_EQ(c.expected.Cc, draft.Cc);
            EXPECT_EQ(c.expected.Bcc, draft.Bcc);
            EXPECT_EQ(c.expected.Subject, draft.Subject);
            EXPECT_EQ(c.expected.Body, draft.Body);
        } catch (const EFillError& e) {
            ASSERT_NE(nullptr, c.error) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
        }
    }
}

TEST(StartOptions, FillTheWindowFromOptionsOrALinkNeverBoth) {
    std::string padding;
    for (int i = 0; i < 300; ++i)
        padding += "%20";
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::optional<TDraft> fill;
        const char* usageError;  // a piece of the message
        bool fillError = false;
    };
    const Case cases[] = {
        {"nothing", {}, std::nullopt, nullptr},
        {"the fields as options",
         {"--to", "a@x.jp", "--cc=b@x.jp", "--bcc", "c@x.jp", "--subject", "件名"},
         Fields("a@x.jp", "b@x.jp", "c@x.jp", "件名"),
         nullptr},
        {"a link", {"mailto:a@x.jp?subject=s"}, Fields("a@x.jp", "", "", "s"), nullptr},
        {"a link with options", {"mailto:a@x.jp", "--subject", "s"}, std::nullopt, "alone"},
        {"an option twice", {"--to", "a", "--to", "b"}, std::nullopt, "more than once"},
        {"an option without its value", {"--subject"}, std::nullopt, "needs a value"},
        {"unknown", {"--attach", "x"}, std::nullopt, "unknown"},
        {"a plain word", {"hanako@example.jp"}, std::nullopt, "unknown"},
        {"a line break in the subject",
         {"--subject", "a\nBcc: e@x.jp"},
         std::nullopt,
         nullptr,
         true},
        {"a broken link", {"mailto:%"}, std::nullopt, nullptr, true},
        {"a link padded to hide an address",
         {"mailto:spy@evil.jp," + padding + "boss@company.jp?bcc=" + padding + "x@evil.jp"},
         Fields("spy@evil.jp, boss@company.jp", "", "x@evil.jp"),
         nullptr},
        {"padded options",
         {"--to", "  a@x.jp,\u00a0\u3000 \u2003b@x.jp  ", "--subject", "a  b"},
         Fields("a@x.jp, b@x.jp", "", "", "a  b"),
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            const TStartOptions options = ParseStartOptions(c.args);
            EXPECT_FALSE(c.usageError || c.fillError);
            EXPECT_EQ(c.fill, options.Fill);
        } catch (const EStartUsageError& e) {
            ASSERT_NE(nullptr, c.usageError) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.usageError), std::string::npos) << e.what();
        } catch (const EFillError& e) {
            EXPECT_TRUE(c.fillError) << e.what();
        }
    }
}

// A field the window could not hold whole is refused, naming the field and its length; padding
// counts only once collapsed.
TEST(StartOptions, AFieldTooLongForTheWindowIsRefusedWithItsLength) {
    const std::string longest(kMaxFieldLength, 'a');
    const struct {
        const char* name;
        std::vector<std::string> args;
        const char* refusal;  // nullptr: taken
    } cases[] = {
        {"the longest", {"--to", longest}, nullptr},
        {"70,000 characters", {"--to", std::string(70000, 'a')}, "宛先が長すぎます (70000 文字"},
        {"a long subject in a link",
         {"mailto:a@x.jp?subject=" + std::string(40000, 's')},
         "件名が長すぎます (40000 文字"},
        {"padding collapsed below the limit",
         {"--cc", "a@x.jp," + std::string(40000, ' ') + "b"},
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            ParseStartOptions(c.args);
            EXPECT_EQ(nullptr, c.refusal);
        } catch (const EFillError& e) {
            ASSERT_NE(nullptr, c.refusal) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.refusal), std::string::npos) << e.what();
        }
    }
}

using FilledWindow = FrmMainFixture;

// The padded link's addresses both fit in sight in the one-line field.
TEST_F(FilledWindow, APaddedLinkShowsEveryAddress) {
    std::string padding;
    for (int i = 0; i < 300; ++i)
        padding += "%20";
    auto form = Create(Dir());
    form->show();
    form->Drafts->Fill(
        *ParseStartOptions({"mailto:spy@evil.jp," + padding + "boss@company.jp"}).Fill);
    const QLineEdit& to = *form->Edit_ToAddress;
    EXPECT_EQ(QString("spy@evil.jp, boss@company.jp"), to.text());
    EXPECT_LT(to.fontMetrics().horizontalAdvance(to.text()), to.contentsRect().width());
}

TEST(StartOptions, BodyFileIsUtf8TextOfAtMostAMebibyte) {
    QTemporaryDir dir;
    const std::string mebibyte(1024 * 1024, 'a');
    struct Case {
        const char* name;
        std::optional<std::string> content;  // nullopt: no such file
        std::optional<std::string> body;     // nullopt: refused
    };
    const Case cases[] = {
        {"CR LF lines", "一行目\r\n二行目\r\n", "一行目\n二行目\n"},
        {"emoji", "😀", "😀"},
        {"a mebibyte", mebibyte, mebibyte},
        {"a byte more", mebibyte + "b", std::nullopt},
        {"Shift_JIS", "\x82\xa0", std::nullopt},
        {"NUL", std::string("a\0b", 3), std::nullopt},
        {"missing", std::nullopt, std::nullopt},
    };
    // Nothing but a file or a pipe is read, and nothing waits.
    std::filesystem::create_symlink("/dev/zero", dir.filePath("zero").toStdString());
    for (const std::string& path :
         {dir.path().toStdString(), std::string("/dev/zero"), dir.filePath("zero").toStdString()}) {
        SCOPED_TRACE(path);
        TStartOptions options = ParseStartOptions({"--body-file", path});
        EXPECT_THROW(ReadBodyFile(options), EFillError);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.filePath(c.name).toStdString();
        if (c.content)
            std::ofstream(path, std::ios::binary) << *c.content;
        TStartOptions options = ParseStartOptions({"--body-file", path});
        try {
            ReadBodyFile(options);
            ASSERT_TRUE(c.body.has_value());
            EXPECT_TRUE(c.body == options.Fill->Body);
        } catch (const EFillError& e) {
            EXPECT_FALSE(c.body.has_value()) << e.what();
        }
    }
}

}  // namespace
