// The texts the send flow makes itself: the port number, the Date and the Message-ID values.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <regex>
#include <set>

#include "app/SendFlowText.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"

namespace {

TEST(PortText, ConvertsLikeTheSettingIsTyped) {
    const struct {
        const char* text;
        int32_t value;
    } accepted[] = {
        {"25", 25},
        {"  25", 25},
        {"\t25", 25},
        {"+25", 25},
        {"-25", -25},
        {"0", 0},
        {"0025", 25},
        {"$1F", 31},
        {"x1f", 31},
        {"X1F", 31},
        {"0x1F", 31},
        {"0X1f", 31},
        {"-$10", -16},
        {"+0x10", 16},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"$7FFFFFFF", 2147483647},
    };
    for (const auto& c : accepted)
        EXPECT_EQ(StrToInt(c.text), c.value) << c.text;

    const char* refused[] = {"",     " ",    "abc",        "25 ",         "2 5",
                             "$",    "0x",   "+",          "-",           "--1",
                             "+-1",  "1e3",  "2147483648", "-2147483649", "$80000000",
                             "0x1G", "00x1", "$-1",        "25\n",        "２５"};
    for (const char* text : refused) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(),
                      "'" + std::string(text) + platform::Sjis("' は整数ではありません"));
        }
    }
}

// Sets TZ for the life of the object.
class TimeZone {
  public:
    explicit TimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            old_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TimeZone() {
        if (old_) {
            setenv("TZ", old_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

  private:
    std::optional<std::string> old_;
};

TEST(DateHeader, IsLocalTimeWithItsOffset) {
    const struct {
        const char* zone;
        std::time_t moment;
        const char* text;
    } cases[] = {
        {"JST-9", 1796719200, "Tue, 08 Dec 2026 17:40:00 +0900"},
        {"UTC0", 1709251199, "Thu, 29 Feb 2024 23:59:59 +0000"},
        {"JST-9", 1709251199, "Fri, 01 Mar 2024 08:59:59 +0900"},
        {"<-0330>3:30", 946598400, "Thu, 30 Dec 1999 20:30:00 -0330"},
    };
    for (const auto& c : cases) {
        TimeZone zone(c.zone);
        EXPECT_EQ(Rfc5322Date(c.moment), c.text) << c.zone;
    }
}

TEST(MessageId, TakesTheSenderDomainOrLocalhost) {
    const struct {
        std::string sender;
        const char* domain;
    } cases[] = {
        {"me@example.jp", "example.jp"},
        {"a@b@mail.example.jp", "mail.example.jp"},
        {"me", "localhost"},
        {"", "localhost"},
        {"me@", "localhost"},
        {"me@exa mple.jp", "localhost"},
        {"me@example.jp>", "localhost"},
        {"me@.jp", "localhost"},
        {"me@" + platform::Sjis("例え.jp"), "localhost"},
    };
    const std::regex shape(R"(<[A-Za-z0-9.]+@([A-Za-z0-9.-]+)>)");
    for (const auto& c : cases) {
        const std::string id = NewMessageId(c.sender);
        std::smatch match;
        ASSERT_TRUE(std::regex_match(id, match, shape)) << id;
        EXPECT_EQ(match[1], c.domain) << c.sender;
    }
    std::set<std::string> ids;
    for (int i = 0; i < 100; ++i)
        ids.insert(NewMessageId("me@example.jp"));
    EXPECT_EQ(ids.size(), 100u);
}

}  // namespace
