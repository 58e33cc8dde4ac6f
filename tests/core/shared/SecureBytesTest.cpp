#include "core/shared/Key256.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

TEST(SecureBytesTest, SecretsAreLockedWhileTheyLiveAndUnlockedWhenReleased) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer turns mlock into a no-op";
#endif
    const auto lockedKiB = [] {
        QFile status(QStringLiteral("/proc/self/status"));
        status.open(QIODevice::ReadOnly);
        return QRegularExpression(QStringLiteral("VmLck:\\s+(\\d+)"))
            .match(status.readAll())
            .captured(1)
            .toLong();
    };
    const long before = lockedKiB();
    auto key = std::make_unique<keskor::Key256>(keskor::Key256::random());
    keskor::SecureBytes password = keskor::SecureBytes::fromText(QStringLiteral("master"));
    password.append("x", 1); // moves to new pages, which are locked too
    if (geteuid() == 0) {    // an ordinary account's RLIMIT_MEMLOCK may be used up
        EXPECT_GE(lockedKiB(), before + 8);
    }
    key.reset();
    password = keskor::SecureBytes();
    EXPECT_EQ(lockedKiB(), before);
}
