// One QApplication for the whole test executable (offscreen), then GoogleTest.
#include <gtest/gtest.h>
#include <QApplication>

#include "platform/HostName.h"
#include "platform/QtMessageBoxes.h"
#include "tests/support/KeptPasswords.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    // Widget tests meet the same boxes as the program where they install no recorder.
    platform::UseQtMessageBoxes();
    // No test meets the user's keyring: only the keyring tests load the real module, each in a
    // session bus of its own.
    KeptPasswords noKeyring;
    noKeyring.available = false;
    // Nor does any ask the resolver about the machine it runs on: HELO says "localhost" unless a
    // test gives another name.
    platform::SetHostNameSource([] { return std::string(); });
    return RUN_ALL_TESTS();
}
