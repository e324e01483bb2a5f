#include <gtest/gtest.h>

#include "platform/Application.h"
#include "platform/CodePage.h"
#include "platform/Exception.h"
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
