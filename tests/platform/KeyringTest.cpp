// The keyring module as the program loads it, run by keyring-test.sh: against a real keyring in a
// private session bus, and without any keyring.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <cstdlib>

#include "platform/Credentials.h"

namespace {

bool ModuleLoaded() {
    QFile maps("/proc/self/maps");
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/tidemark-keyring.so");
}

std::string Mode() {
    const char* mode = std::getenv("TIDEMARK_KEYRING_TEST");
    return mode ? mode : "";
}

}  // namespace

TEST(Keyring, StoresReplacesAndForgetsInTheSessionKeyring) {
    ASSERT_EQ(Mode(), "session") << "run through keyring-test.sh";
    auto& store = platform::CurrentCredentialStore();
    ASSERT_TRUE(store.Available());
    EXPECT_TRUE(ModuleLoaded());
    const std::string key = platform::CredentialKey("taro", "127.0.0.1");
    const std::string other = platform::CredentialKey("hanako", "127.0.0.1");
    EXPECT_EQ(store.ReadPassword(key), std::nullopt);

    const std::string first = "p\xC3\xA4ss w0rd";  // UTF-8, as AUTH sends it
    ASSERT_TRUE(store.WritePassword(key, first));
    ASSERT_TRUE(store.WritePassword(other, "other"));
    EXPECT_EQ(store.ReadPassword(key), first);
    ASSERT_TRUE(store.WritePassword(key, "replaced"));
    EXPECT_EQ(store.ReadPassword(key), "replaced");

    EXPECT_TRUE(store.DeletePassword(key));
    EXPECT_EQ(store.ReadPassword(key), std::nullopt);
    EXPECT_TRUE(store.DeletePassword(key));  // none kept is no failure
    EXPECT_EQ(store.ReadPassword(other), "other");
}

TEST(Keyring, NoKeyringAnswersQuickly) {
    ASSERT_TRUE(Mode() == "absent" || Mode() == "silent") << "run through keyring-test.sh";
    auto& store = platform::CurrentCredentialStore();
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(store.Available());
    EXPECT_TRUE(ModuleLoaded());
    EXPECT_FALSE(store.WritePassword("u@h", "secret"));
    EXPECT_EQ(store.ReadPassword("u@h"), std::nullopt);
    EXPECT_FALSE(store.Available());
    EXPECT_LT(clock.elapsed(), 8000);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
