#include "core/LockManager.h"

#include "core/SessionManager.h"
#include "core/shared/CommonException.h"
#include "core/shared/KeyHelper.h"
#include "core/shared/PassFileCodec.h"
#include "platform/FakeClock.h"
#include "platform/RecordingStatusItem.h"
#include "testing/SampleDatabase.h"
#include "testing/ScriptedPresenter.h"
#include "tests/support/TempDir.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <gtest/gtest.h>

using namespace keskor;
using keskor::testing::SampleDatabase;
using keskor::testing::ScriptedPresenter;

namespace {

constexpr qint64 kMinute = 60 * 1000;

// A presenter may hand back what was entered without running the request's own check; the
// lock manager must not rely on it.
class UncheckingPresenter : public ScriptedPresenter {
public:
    using ScriptedPresenter::ScriptedPresenter;
    std::optional<CredentialsAnswer> askCredentials(const CredentialsRequest& request) override {
        CredentialsRequest unchecked = request;
        if (!runChecks) {
            unchecked.validate = nullptr;
        }
        return ScriptedPresenter::askCredentials(unchecked);
    }
    bool runChecks = true;
};

class LockManagerTest : public ::testing::Test {
protected:
    void openDatabase(const Credentials& credentials,
                      PassFile::AuthenticationType type = PassFile::AuthenticationType::Password) {
        session.open(DatabaseInfo{QStringLiteral("vault.pswd"), QStringLiteral("/data")},
                     PassFile::createNewFile(PassFile::FileType::Plain,
                                             QStringLiteral("the usual one"), type, false),
                     credentials);
        session.currentPassFile->setKdfParameters(SampleDatabase::kFastKdfMemory, 1);
    }
    void openWithPassword() { openDatabase(Credentials(QStringLiteral("right"), std::nullopt)); }
    int hideCount() const {
        return int(presenter.transcript().count(QStringLiteral("hideWindows")));
    }

    int lockMinutes = 1;
    SessionManager session;
    UncheckingPresenter presenter{
        [](const QString& message) { ADD_FAILURE() << qPrintable(message); }};
    RecordingStatusItem statusItem;
    FakeClock clock;
    LockManager lock{session, presenter, statusItem, clock, [this] { return lockMinutes; }};
};

TEST_F(LockManagerTest, IdleTimerLocksOnceAfterTheFullPeriod) {
    openWithPassword();
    lock.restartIdleTimer();
    clock.advance(kMinute - 1);
    EXPECT_FALSE(session.isLocked);
    EXPECT_EQ(hideCount(), 0);

    clock.advance(1);
    EXPECT_TRUE(session.isLocked);
    EXPECT_EQ(presenter.transcript(), QStringList{QStringLiteral("hideWindows")});
    EXPECT_EQ(statusItem.looks(), QList<bool>{true});
    EXPECT_FALSE(lock.idleTimer());

    clock.advance(24 * 60 * kMinute);
    EXPECT_EQ(hideCount(), 1) << "a one-shot timer, not a repeating one";
    EXPECT_EQ(clock.pendingCount(), 0);
}

TEST_F(LockManagerTest, EveryRestartReplacesThePendingTimer) {
    openWithPassword();
    for (int i = 0; i < 5; ++i) {
        lock.restartIdleTimer();
        clock.advance(40 * 1000);
    }
    EXPECT_EQ(clock.pendingCount(), 1);
    EXPECT_FALSE(session.isLocked) << "each restart granted a full minute again";
    clock.advance(20 * 1000);
    EXPECT_TRUE(session.isLocked);
}

TEST_F(LockManagerTest, ApplicationInputRestartsTheTimerAndOtherEventsDoNot) {
    openWithPassword();
    lock.startMonitoring();
    ASSERT_TRUE(lock.isMonitoring());
    QObject target;

    clock.advance(50 * 1000);
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QCoreApplication::sendEvent(&target, &key);
    clock.advance(50 * 1000);
    EXPECT_FALSE(session.isLocked) << "the key press restarted the period";

    QEvent notInput(QEvent::User);
    QCoreApplication::sendEvent(&target, &notInput);
    clock.advance(10 * 1000);
    EXPECT_TRUE(session.isLocked) << "a non-input event must not keep the database open";
}

TEST_F(LockManagerTest, StoppedWatchingWhenDestroyed) {
    {
        LockManager shortLived(session, presenter, statusItem, clock, [] { return 1; });
        shortLived.startMonitoring();
        EXPECT_EQ(clock.pendingCount(), 1);
    }
    EXPECT_EQ(clock.pendingCount(), 0) << "its timer went with it";
    QObject target;
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier);
    QCoreApplication::sendEvent(&target, &key); // would touch the dead manager under ASan
    EXPECT_EQ(clock.pendingCount(), 0);
}

TEST_F(LockManagerTest, TheTimerLocksOnlyAnOpenUnlockedDatabaseWhileTheSettingAllows) {
    lock.restartIdleTimer();
    clock.advance(kMinute);
    EXPECT_FALSE(session.isLocked) << "no database";
    EXPECT_TRUE(presenter.calls().isEmpty());
    EXPECT_TRUE(statusItem.looks().isEmpty());

    openWithPassword();
    lock.restartIdleTimer();
    lockMinutes = -1;
    clock.advance(kMinute);
    EXPECT_FALSE(session.isLocked) << "the setting changed to never before the timer fired";

    lockMinutes = 1;
    lock.restartIdleTimer();
    lock.lockFromStatusMenu();
    clock.advance(kMinute);
    EXPECT_EQ(hideCount(), 1) << "already locked is not locked again";
    EXPECT_EQ(statusItem.looks(), QList<bool>{true});
}

TEST_F(LockManagerTest, StatusMenuLocksWithoutADatabaseAndComingBackNeedsNoCredentials) {
    lock.lockFromStatusMenu();
    EXPECT_TRUE(session.isLocked);
    EXPECT_TRUE(statusItem.isLocked());
    EXPECT_TRUE(lock.unlock());
    EXPECT_FALSE(session.isLocked);
    EXPECT_FALSE(statusItem.isLocked());
    EXPECT_EQ(presenter.transcript(),
              (QStringList{QStringLiteral("hideWindows"), QStringLiteral("showMainWindow")}));
}

TEST_F(LockManagerTest, OpeningADatabaseAfreshEndsTheLockedLook) {
    openWithPassword();
    lock.lockFromStatusMenu();
    openWithPassword();
    lock.updateLockedLook();
    EXPECT_EQ(statusItem.looks(), (QList<bool>{true, false}));
}

// --- The lock time setting -------------------------------------------------------------

struct IntervalCase {
    const char* name;
    int setting;
    std::optional<qint64> expectedMs;
};

class LockTimeSettingTest : public LockManagerTest,
                            public ::testing::WithParamInterface<IntervalCase> {};

TEST_P(LockTimeSettingTest, TimerRunsForTheSettingInMinutes) {
    lockMinutes = GetParam().setting;
    openWithPassword();
    lock.restartIdleTimer();
    EXPECT_EQ(lock.idleIntervalMs(), GetParam().expectedMs);
    if (!GetParam().expectedMs) {
        EXPECT_EQ(clock.pendingCount(), 0) << "never locking installs no timer";
        clock.advance(30LL * 24 * 60 * kMinute);
        EXPECT_FALSE(session.isLocked);
        return;
    }
    EXPECT_EQ(clock.pendingCount(), 1);
    clock.advance(*GetParam().expectedMs - 1);
    EXPECT_FALSE(session.isLocked);
    clock.advance(1);
    EXPECT_TRUE(session.isLocked);
}

INSTANTIATE_TEST_SUITE_P(Minutes, LockTimeSettingTest,
                         ::testing::Values(IntervalCase{"Default", 3, 3 * kMinute},
                                           IntervalCase{"OneDay", 1440, 1440 * kMinute},
                                           IntervalCase{"Never", -1, std::nullopt},
                                           IntervalCase{"ZeroMeansShortest", 0, kMinute},
                                           IntervalCase{"NegativeMeansShortest", -7, kMinute}),
                         [](const ::testing::TestParamInfo<IntervalCase>& info) {
                             return info.param.name;
                         });

// --- Unlocking ---------------------------------------------------------------------------

class UnlockTest : public LockManagerTest {
protected:
    void SetUp() override {
        openWithPassword();
        lock.lockFromStatusMenu();
        presenter.clearCalls();
    }
    static CredentialsAnswer password(const QString& text) { return {text, std::nullopt}; }
    QStringList rejections() const {
        QStringList out;
        for (const auto& call : presenter.calls()) {
            if (call.kind == ScriptedPresenter::Kind::CredentialsRejected) {
                out.append(call.message.value());
            }
        }
        return out;
    }
};

TEST_F(UnlockTest, RightPasswordShowsTheWindowsAgain) {
    EXPECT_THROW(session.credentials(), CommonException) << "dropped on lock";
    const int runs = session.keyHelper.kdfRuns();
    presenter.answerCredentials(password(QStringLiteral("right")));
    EXPECT_TRUE(lock.unlock());
    EXPECT_EQ(session.keyHelper.kdfRuns(), runs + 1) << "the derived key was wiped on lock";
    EXPECT_FALSE(session.isLocked);
    EXPECT_EQ(statusItem.looks(), (QList<bool>{true, false}));
    EXPECT_EQ(presenter.transcript(),
              (QStringList{QStringLiteral("credentials vault.pswd password unlock"),
                           QStringLiteral("showMainWindow")}));
    EXPECT_EQ(presenter.calls().front().request.hint, QStringLiteral("the usual one"));
    EXPECT_TRUE(session.isDatabaseOpen()) << "the database stays loaded";
    EXPECT_EQ(clock.pendingCount(), 1) << "unlocking starts a new idle period";

    presenter.clearCalls();
    EXPECT_TRUE(lock.unlock());
    EXPECT_TRUE(presenter.calls().isEmpty()) << "not locked: no prompt";
    clock.advance(kMinute);
    EXPECT_TRUE(session.isLocked);
}

TEST_F(UnlockTest, WrongPasswordIsReportedInThePromptUntilTheRightOne) {
    presenter.answerCredentials(password(QStringLiteral("wrong")));
    presenter.answerCredentials(password(QStringLiteral("Right")));
    presenter.answerCredentials(password(QStringLiteral("right")));
    EXPECT_TRUE(lock.unlock());
    EXPECT_EQ(rejections(), QStringList(2, PassFileCodec::wrongCredentialsMessage()));
    EXPECT_FALSE(session.isLocked);
}

TEST_F(UnlockTest, CancellingOrGivingUpAfterAWrongPasswordStaysLocked) {
    presenter.cancelCredentials();
    EXPECT_FALSE(lock.unlock());
    EXPECT_EQ(presenter.transcript(),
              QStringList{QStringLiteral("credentials vault.pswd password unlock")});

    presenter.answerCredentials(password(QStringLiteral("wrong")));
    EXPECT_FALSE(lock.unlock());
    EXPECT_EQ(rejections(), QStringList{PassFileCodec::wrongCredentialsMessage()});
    EXPECT_TRUE(session.isLocked);
    EXPECT_EQ(statusItem.looks(), QList<bool>{true});
    EXPECT_FALSE(presenter.transcript().contains(QStringLiteral("showMainWindow")));
}

TEST_F(UnlockTest, WrongCredentialsDoNotUnlockEvenWhenThePromptSkipsItsCheck) {
    presenter.runChecks = false;
    presenter.answerCredentials(password(QStringLiteral("wrong")));
    presenter.answerAlert(0);
    EXPECT_FALSE(lock.unlock());
    EXPECT_TRUE(session.isLocked);
    EXPECT_EQ(presenter.transcript().last(), QStringLiteral("alert critical dialog_error/") +
                                                 PassFileCodec::wrongCredentialsMessage() +
                                                 QStringLiteral(" []"));
}

// --- Unlocking a database opened with a key file --------------------------------------------

enum class KeyChoice { Right, None, Other, Missing, NotAKeyFile };

struct KeyCase {
    const char* name;
    bool withPassword; // the database was opened with password and key, or key only
    QString enteredPassword;
    KeyChoice key;
    std::optional<QString> expectedError; // no value: unlocks
};

class KeyFileUnlockTest : public LockManagerTest, public ::testing::WithParamInterface<KeyCase> {
protected:
    QString keyFile(KeyChoice choice) {
        switch (choice) {
        case KeyChoice::Right:
            return dir.file(QStringLiteral("right.krk"));
        case KeyChoice::Other:
            dir.write(QStringLiteral("other.krk"), KeyHelper::generateExternalKey());
            return dir.file(QStringLiteral("other.krk"));
        case KeyChoice::Missing:
            return dir.file(QStringLiteral("gone.krk"));
        case KeyChoice::NotAKeyFile:
            dir.write(QStringLiteral("notes.txt"), QByteArray(100 * 1024, 'x'));
            return dir.file(QStringLiteral("notes.txt"));
        case KeyChoice::None:
            break;
        }
        return {};
    }

    keskor::test::TempDir dir;
};

TEST_P(KeyFileUnlockTest, UnlocksOnlyWithTheSameParts) {
    const KeyCase& c = GetParam();
    const QByteArray keyText = KeyHelper::generateExternalKey();
    dir.write(QStringLiteral("right.krk"), keyText);
    const std::optional<QString> password =
        c.withPassword ? std::optional<QString>(QStringLiteral("right")) : std::nullopt;
    openDatabase(Credentials(password, KeyHelper::parseExternalKey(keyText)),
                 c.withPassword ? PassFile::AuthenticationType::PasswordAndKeyFile
                                : PassFile::AuthenticationType::KeyFile);
    lock.lockFromStatusMenu();
    presenter.clearCalls();

    CredentialsAnswer answer{c.enteredPassword, std::nullopt};
    if (c.key != KeyChoice::None) {
        answer.keyFilePath = keyFile(c.key);
    }
    presenter.answerCredentials(answer);
    const bool unlocked = lock.unlock();

    const QString prompt = QStringLiteral("credentials vault.pswd") +
                           (c.withPassword ? QStringLiteral(" password") : QString()) +
                           QStringLiteral(" keyfile unlock");
    EXPECT_EQ(presenter.transcript().front(), prompt);
    if (!c.expectedError) {
        EXPECT_TRUE(unlocked);
        EXPECT_FALSE(session.isLocked);
        return;
    }
    EXPECT_FALSE(unlocked);
    EXPECT_TRUE(session.isLocked);
    ASSERT_GE(presenter.calls().size(), 2);
    EXPECT_EQ(presenter.calls()[1].kind, ScriptedPresenter::Kind::CredentialsRejected);
    EXPECT_EQ(presenter.calls()[1].message, UiText::plain(*c.expectedError));
}

const QString kWrong = PassFileCodec::wrongCredentialsMessage();

INSTANTIATE_TEST_SUITE_P(
    Credentials, KeyFileUnlockTest,
    ::testing::Values(
        KeyCase{"PasswordAndKey", true, QStringLiteral("right"), KeyChoice::Right, std::nullopt},
        KeyCase{"KeyFileLeftOut", true, QStringLiteral("right"), KeyChoice::None, kWrong},
        KeyCase{"AnotherKeyFile", true, QStringLiteral("right"), KeyChoice::Other, kWrong},
        KeyCase{"WrongPasswordRightKey", true, QStringLiteral("wrong"), KeyChoice::Right, kWrong},
        KeyCase{"KeyFileGone", true, QStringLiteral("right"), KeyChoice::Missing,
                QStringLiteral("The key file could not be read.")},
        KeyCase{"LargeFileIsNoKeyFile", true, QStringLiteral("right"), KeyChoice::NotAKeyFile,
                QStringLiteral("The file is not a valid Keskor key file.")},
        KeyCase{"KeyOnly", false, QString(), KeyChoice::Right, std::nullopt},
        KeyCase{"KeyOnlyIgnoresATypedPassword", false, QStringLiteral("x"), KeyChoice::Right,
                std::nullopt},
        KeyCase{"KeyOnlyWithoutKey", false, QString(), KeyChoice::None, kWrong}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return info.param.name; });

} // namespace
