// Screen lock and suspend as the desktop announces them: a test service on a private bus
// emits the signals under the real interface names and the watcher's handler must run for the
// "now locking" value only. The bus is private because the watcher listens to any sender, and
// test processes running side by side would otherwise hear each other.

#include "platform/SessionLockWatcher.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

using namespace keskor;

namespace {

struct Announcement {
    const char* name;
    /// Owned by the test service when set (the watcher trusts only logind for suspend).
    const char* service;
    const char* path;
    const char* interface;
    const char* member;
};

std::ostream& operator<<(std::ostream& os, const Announcement& a) {
    return os << a.name;
}

class SessionLockWatcherTest : public ::testing::TestWithParam<Announcement> {
protected:
    void SetUp() override {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address=1")});
        if (!m_daemon.waitForStarted(5000)) {
            GTEST_SKIP() << "dbus-daemon is not installed";
        }
        while (!m_daemon.canReadLine() && m_daemon.waitForReadyRead(5000)) {
        }
        m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        ASSERT_FALSE(m_address.isEmpty()) << "dbus-daemon printed no address";
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("keskor-test-watcher"));
        QDBusConnection::disconnectFromBus(QStringLiteral("keskor-test-emitter"));
        m_daemon.kill();
        m_daemon.waitForFinished();
    }
    QDBusConnection connect(const QString& name) const {
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QProcess m_daemon;
    QString m_address;
};

TEST_P(SessionLockWatcherTest, HandlerRunsOnceForTheLockingValueOnly) {
    const Announcement& a = GetParam();
    QDBusConnection bus = connect(QStringLiteral("keskor-test-watcher"));
    ASSERT_TRUE(bus.isConnected());
    QDBusConnection emitter = connect(QStringLiteral("keskor-test-emitter"));
    ASSERT_TRUE(emitter.isConnected());
    if (a.service) {
        ASSERT_TRUE(emitter.registerService(QLatin1String(a.service)));
    }

    int locks = 0;
    // The one bus stands in for the system bus too.
    SessionLockWatcher watcher(bus, bus, [&] { ++locks; });
    EXPECT_EQ(watcher.watchedSignals(), 3);
    // A round trip on the watcher's connection: its match rules are in place after it.
    bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.DBus"));

    for (const bool value : {false, true}) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QLatin1String(a.path), QLatin1String(a.interface), QLatin1String(a.member));
        signal << value;
        ASSERT_TRUE(emitter.send(signal));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return locks > 0; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(locks, 1) << "the false value (unlocked, woken up) must not lock";
}

INSTANTIATE_TEST_SUITE_P(
    Desktops, SessionLockWatcherTest,
    ::testing::Values(Announcement{"freedesktop", nullptr, "/org/freedesktop/ScreenSaver",
                                   "org.freedesktop.ScreenSaver", "ActiveChanged"},
                      Announcement{"kde", nullptr, "/ScreenSaver", "org.freedesktop.ScreenSaver",
                                   "ActiveChanged"},
                      Announcement{"gnome", nullptr, "/org/gnome/ScreenSaver",
                                   "org.gnome.ScreenSaver", "ActiveChanged"},
                      Announcement{"suspend", "org.freedesktop.login1", "/org/freedesktop/login1",
                                   "org.freedesktop.login1.Manager", "PrepareForSleep"}),
    [](const ::testing::TestParamInfo<Announcement>& info) {
        return std::string(info.param.name);
    });

TEST(SessionLockWatcher, MissingBusesAreSkipped) {
    int locks = 0;
    SessionLockWatcher watcher(QDBusConnection(QStringLiteral("keskor-no-such-bus")),
                               QDBusConnection(QStringLiteral("keskor-no-such-bus")),
                               [&] { ++locks; });
    EXPECT_EQ(watcher.watchedSignals(), 0);
    EXPECT_EQ(locks, 0);
}

} // namespace
