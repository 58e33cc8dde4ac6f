// Secret memory is kept out of swap while it lives and given back when released.

#include "core/shared/SecureBytes.h"

#include "core/shared/Key256.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <optional>
#include <sys/resource.h>

using namespace keskor;

namespace {

// VmLck of /proc/self/status, in KiB.
long lockedKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const auto match =
        QRegularExpression(QStringLiteral("VmLck:\\s+(\\d+)")).match(status.readAll());
    return match.hasMatch() ? match.captured(1).toLong() : -1;
}

TEST(SecureBytesTest, SecretsAreLockedWhileTheyLiveAndUnlockedWhenReleased) {
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_MEMLOCK, &limit), 0);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < 1024 * 1024 && geteuid() != 0) {
        GTEST_SKIP() << "RLIMIT_MEMLOCK is too small here to see locking";
    }
    const long before = lockedKiB();
    ASSERT_GE(before, 0);
    {
        std::optional<Key256> key = Key256::random();
        SecureBytes password = SecureBytes::fromText(QStringLiteral("master password"));
        // Growing moves the bytes to new pages: the new ones are locked too.
        password.append("x", 1);
        EXPECT_GE(lockedKiB(), before + 8);
        key.reset();
        EXPECT_GE(lockedKiB(), before + 4);
        EXPECT_EQ(password.toText(), QStringLiteral("master passwordx"));
    }
    EXPECT_EQ(lockedKiB(), before);
}

} // namespace
