// The program itself, run as its own process: the screenshot and its command line.
#include <gtest/gtest.h>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Outcome {
    int exitCode;
    QByteArray errors;
};

Outcome Tidemark(const QStringList& arguments) {
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(TIDEMARK_EXECUTABLE, arguments);
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished(5000);
        return {-1, "did not finish"};
    }
    return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
            program.readAllStandardError()};
}

TEST(Program, ScreenshotRendersTheFilledWindowToAPng) {
    QTemporaryDir dir;
    const QString path = dir.filePath("window.png");
    const Outcome run = Tidemark({"--screenshot", path});
    ASSERT_EQ(0, run.exitCode) << run.errors.toStdString();
    const QImage image(path);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(338, image.width());
    EXPECT_GT(image.height(), 359);
    EXPECT_LT(image.height(), 359 + 40);
}

TEST(Program, RefusesUnknownArgumentsAndAScreenshotItCannotWrite) {
    QTemporaryDir dir;
    struct Case {
        QStringList arguments;
        int exitCode;
    };
    const Case cases[] = {
        {{"--unknown"}, 2},
        {{"--screenshot"}, 2},
        {{"--screenshot", dir.filePath("no-such-dir/window.png")}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Outcome run = Tidemark(c.arguments);
        EXPECT_EQ(c.exitCode, run.exitCode);
        EXPECT_FALSE(run.errors.isEmpty());
    }
}

}  // namespace
