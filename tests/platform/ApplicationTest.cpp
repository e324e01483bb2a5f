#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <thread>

#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/ExceptionHook.h"
#include "tests/support/RecordingMessageBoxes.h"

TEST(Application, TitleIsTheExecutableNameUpToItsFirstPeriod) {
    struct Case {
        const char* path;
        const char* title;
    } cases[] = {
        {"/opt/x/tidemark", "Tidemark"},
        {"/opt/x/TIDEMARK.EXE", "Tidemark"},
        {"/opt/x.y/PicoPico.v2.bin", "Picopico"},
        {"tidemark-send", "Tidemark-send"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::ApplicationTitleFor(c.path), c.title);
}

TEST(Application, ErrorDisplayAppendsAPeriodUnlessTheTextEndsInOneOrBelow) {
    struct Case {
        std::string message, shown;
    } cases[] = {
        {"", ""},
        {"Connection Failed", "Connection Failed."},
        {"done.", "done."},
        {"a,", "a,"},  // ',' sorts below '.'
        {platform::Sjis("'abc' は整数ではありません"),
         platform::Sjis("'abc' は整数ではありません.")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(platform::ErrorDisplayText(c.message), c.shown);
}

TEST(Application, GeneralErrorDisplayShowsAnErrorBoxWithTheTitle) {
    RecordingMessageBoxes boxes;
    platform::HandleException(EConvertError("bad"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "bad.");
    EXPECT_EQ(boxes.boxes[0].icon, platform::MsgIcon::Error);
    EXPECT_EQ(boxes.boxes[0].caption, platform::ApplicationTitle());
}

namespace {

void Throw() {
    throw std::runtime_error("boom");
}
void (*volatile thrower)() = Throw;
void ThrowThroughNoexcept() noexcept {
    thrower();
}

}  // namespace

// An exception nothing catches ends the program with status 1 and a word on standard error,
// never with an abort.
TEST(LastResortDeathTest, AnExceptionNothingCatchesEndsWithStatusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const struct {
        const char* name;
        std::function<void()> run;
    } cases[] = {
        {"through a noexcept function", ThrowThroughNoexcept},
        {"out of a thread", [] { std::thread(Throw).join(); }},
        {"out of a guarded body",
         [] {
             std::exit(platform::RunGuarded([]() -> int {
                 Throw();
                 return 0;
             }));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EXIT(
            {
                platform::InstallLastResort("prog");
                c.run();
            },
            testing::ExitedWithCode(1), "prog: unexpected error: boom");
    }
}
