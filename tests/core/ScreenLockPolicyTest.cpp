#include "core/ScreenLockPolicy.h"

#include "core/LockManager.h"
#include "core/SessionManager.h"
#include "core/SettingManager.h"
#include "platform/FakeClock.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "platform/RecordingStatusItem.h"
#include "testing/ScriptedPresenter.h"

#include <gtest/gtest.h>

using namespace keskor;
using keskor::testing::ScriptedPresenter;

namespace {

TEST(ScreenLockPolicy, LocksAnOpenDatabaseOnlyWhenTheSettingIsOn) {
    MemoryDefaultsStore store;
    MemoryKeychain keychain;
    SettingManager settings(store, keychain);
    SessionManager session;
    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << qPrintable(m); }};
    RecordingStatusItem statusItem;
    FakeClock clock;
    LockManager lock(session, presenter, statusItem, clock, [] { return 3; });
    ScreenLockPolicy policy(settings, session, lock);

    EXPECT_FALSE(policy.sessionLocking()) << "no database: nothing to protect";
    EXPECT_FALSE(session.isLocked);

    session.open(DatabaseInfo{QStringLiteral("vault.pswd"), QStringLiteral("/data")},
                 PassFile::createNewFile(PassFile::FileType::Plain, QString(),
                                         PassFile::AuthenticationType::Password, false),
                 Credentials(QStringLiteral("pw"), std::nullopt));
    settings.setLockOnScreenLock(false);
    EXPECT_FALSE(policy.sessionLocking());
    EXPECT_FALSE(session.isLocked);
    EXPECT_TRUE(presenter.transcript().isEmpty());

    store.remove(settings.lockOnScreenLockKey); // the default is on
    EXPECT_TRUE(policy.sessionLocking());
    EXPECT_TRUE(session.isLocked);
    EXPECT_TRUE(statusItem.isLocked());
    EXPECT_FALSE(policy.sessionLocking()) << "locked already";
    EXPECT_EQ(presenter.transcript(), QStringList{QStringLiteral("hideWindows")});
}

} // namespace
