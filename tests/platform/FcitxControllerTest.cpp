// The fcitx5 switch against a private session bus of its own, on which the test plays fcitx5's
// controller, and where a service file would start a stand-in fcitx5 if anyone let the bus start
// it. Run by fcitx-bus-test.sh, which gives the bus.
#include "platform/FcitxController.h"

#include <gtest/gtest.h>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>
#include <QTest>
#include <functional>

#include "tests/support/WaitFor.h"

namespace {

const char* kService = "org.fcitx.Fcitx5";

// fcitx5's controller as far as the switch uses it: it records each call.
class FakeController : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.fcitx.Fcitx.Controller1")
  public:
    std::vector<std::string> calls;
  public slots:
    void Activate() { calls.push_back("Activate"); }
    void Deactivate() { calls.push_back("Deactivate"); }
};

// A second connection to the bus, which owns fcitx5's name while it lives.
class FakeFcitx {
  public:
    FakeFcitx() : bus_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fake-fcitx5")) {
        EXPECT_TRUE(
            bus_.registerObject("/controller", &controller, QDBusConnection::ExportAllSlots));
        EXPECT_TRUE(bus_.registerService(kService));
    }
    ~FakeFcitx() {
        bus_.unregisterService(kService);
        QDBusConnection::disconnectFromBus("fake-fcitx5");
    }
    FakeController controller;

  private:
    QDBusConnection bus_;
};

bool Owned() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService);
}

// The stand-in that the bus would start leaves this file.
bool StartedByTheBus() {
    return QFile::exists(qEnvironmentVariable("TIDEMARK_FCITX_STARTED"));
}

TEST(FcitxController, CallsOnlyARunningFcitxAndNeverStartsOne) {
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    ASSERT_FALSE(qEnvironmentVariable("TIDEMARK_FCITX_STARTED").isEmpty());
    platform::FcitxController controller;

    // Nobody owns the name: nothing is asked, nothing started.
    controller.Switch(true);
    controller.Switch(false);
    QTest::qWait(300);
    EXPECT_FALSE(StartedByTheBus());

    {
        // fcitx5 turns up: the last switch asked for is made, then each one as it comes.
        FakeFcitx fcitx;
        ASSERT_TRUE(WaitFor([&] { return fcitx.controller.calls.size() == 1; }));
        controller.Switch(true);
        controller.Switch(true);
        controller.Switch(false);
        ASSERT_TRUE(WaitFor([&] { return fcitx.controller.calls.size() == 4; }));
        EXPECT_EQ((std::vector<std::string>{"Deactivate", "Activate", "Activate", "Deactivate"}),
                  fcitx.controller.calls);
    }

    // fcitx5 ended: asking again starts nothing.
    ASSERT_TRUE(WaitFor([] { return !Owned(); }));
    QTest::qWait(100);
    controller.Switch(true);
    QTest::qWait(300);
    EXPECT_FALSE(StartedByTheBus());
    EXPECT_FALSE(Owned());
}

// The check itself: a call that lets the bus start the service does leave the file.
TEST(FcitxController, TheBusWouldStartTheStandIn) {
    QDBusConnection::sessionBus().interface()->asyncCall("StartServiceByName", kService, 0u);
    EXPECT_TRUE(WaitFor([] { return StartedByTheBus(); }));
}

}  // namespace

#include "FcitxControllerTest.moc"
