#include "core/ClipboardHelper.h"

#include "platform/FakeClock.h"
#include "platform/MemoryClipboard.h"
#include "platform/RecordingUserNotifier.h"

#include <gtest/gtest.h>

using namespace keskor;

namespace {

constexpr qint64 kSecond = 1000;

class ClipboardHelperTest : public ::testing::Test {
protected:
    using Notice = RecordingUserNotifier::Notice;

    int clearSeconds = 60;
    MemoryClipboard clipboard;
    FakeClock clock;
    RecordingUserNotifier notifier;
    ClipboardHelper helper{clipboard, clock, notifier,
                           [](const QString& key) { return QStringLiteral("<%1>").arg(key); },
                           [this] { return clearSeconds; }};
};

TEST_F(ClipboardHelperTest, NeverClearingSchedulesNothingAndLeavesTheTimeOutOfTheNotice) {
    clearSeconds = -1;
    helper.copyToClipboard(QStringLiteral("x"), true);
    EXPECT_TRUE(clipboard.isSecret());
    EXPECT_EQ(clock.pendingCount(), 0);
    clock.advance(7LL * 24 * 3600 * kSecond);
    EXPECT_EQ(clipboard.text(), QStringLiteral("x"));
    EXPECT_EQ(notifier.notices(), (QList<Notice>{{QStringLiteral("<app_name>"),
                                                  QStringLiteral("<alert_copied>"), QString()}}));
}

TEST_F(ClipboardHelperTest, WithoutTheFlagNothingIsMarkedOrAnnouncedAndNothingCleared) {
    helper.copyToClipboard(QStringLiteral("secret"), true);
    helper.copyToClipboard(QStringLiteral("keep me"), false);
    EXPECT_FALSE(clipboard.isSecret());
    EXPECT_EQ(clock.pendingCount(), 0) << "the clearing of the copy before is cancelled";
    EXPECT_EQ(notifier.notices().size(), 1);
    clock.advance(120 * kSecond);
    EXPECT_EQ(clipboard.text(), QStringLiteral("keep me"));
    EXPECT_EQ(clipboard.clearCount(), 0);
}

TEST_F(ClipboardHelperTest, ANewerCopyGetsItsOwnFullClearingTime) {
    helper.copyToClipboard(QStringLiteral("first"), true);
    clock.advance(20 * kSecond);
    helper.copyToClipboard(QStringLiteral("second"), true);
    EXPECT_EQ(clock.pendingCount(), 1) << "one clearing per copy, the older one superseded";

    clock.advance(40 * kSecond); // the first copy's clearing would be due now
    EXPECT_EQ(clipboard.text(), QStringLiteral("second"));
    EXPECT_EQ(clipboard.clearCount(), 0);
    clock.advance(20 * kSecond);
    EXPECT_FALSE(clipboard.hasText());
    EXPECT_EQ(clipboard.clearCount(), 1);
}

TEST_F(ClipboardHelperTest, WhatTheUserCopiedSinceIsNotWiped) {
    helper.copyToClipboard(QStringLiteral("s3cret"), true);
    clock.advance(10 * kSecond);
    clipboard.setText(QStringLiteral("from another program"), false);
    clock.advance(50 * kSecond);
    EXPECT_EQ(clipboard.text(), QStringLiteral("from another program"));
    EXPECT_EQ(clipboard.clearCount(), 0);
    EXPECT_EQ(clock.pendingCount(), 0) << "that copy's clearing is over, not postponed";
}

TEST_F(ClipboardHelperTest, AnEmptyTextIsCopiedAndClearedLikeAnyOther) {
    helper.copyToClipboard(QString(), true);
    EXPECT_TRUE(clipboard.hasText());
    EXPECT_EQ(clipboard.setCount(), 1);
    clock.advance(60 * kSecond);
    EXPECT_FALSE(clipboard.hasText());
}

TEST_F(ClipboardHelperTest, TheSettingIsReadAtEveryCopy) {
    helper.copyToClipboard(QStringLiteral("a"), true);
    clock.advance(60 * kSecond);
    clearSeconds = 15;
    helper.copyToClipboard(QStringLiteral("b"), true);
    clock.advance(15 * kSecond);
    EXPECT_FALSE(clipboard.hasText());
    EXPECT_EQ(notifier.notices().last().informativeText,
              QStringLiteral("<alert_will_deleted> 15 <alert_seconds>"));
}

TEST_F(ClipboardHelperTest, DestroyingTheHelperDropsItsClearing) {
    {
        ClipboardHelper shortLived(clipboard, clock, notifier, {}, [] { return 30; });
        shortLived.copyToClipboard(QStringLiteral("x"), true);
        EXPECT_EQ(notifier.notices().last().title, QStringLiteral("app_name"))
            << "without a lookup the keys stand for themselves";
    }
    EXPECT_EQ(clock.pendingCount(), 0);
    clock.advance(60 * kSecond); // a dangling clearing would run here under ASan
    EXPECT_EQ(clipboard.text(), QStringLiteral("x"));
}

// Stored values below the setters' minimum of 10 seconds are raised to it.
struct ClearCase {
    const char* name;
    int setting;
    int usedSeconds;
};

class ClearTimeSettingTest : public ClipboardHelperTest,
                             public ::testing::WithParamInterface<ClearCase> {};

TEST_P(ClearTimeSettingTest, ClearsAfterTheSecondsInUse) {
    clearSeconds = GetParam().setting;
    EXPECT_EQ(helper.clearSeconds(), GetParam().usedSeconds);
    helper.copyToClipboard(QStringLiteral("x"), true);
    EXPECT_TRUE(clipboard.isSecret());
    clock.advance(qint64(GetParam().usedSeconds) * kSecond - 1);
    EXPECT_EQ(clipboard.text(), QStringLiteral("x"));
    clock.advance(1);
    EXPECT_FALSE(clipboard.hasText());
    EXPECT_EQ(clipboard.clearCount(), 1);
    EXPECT_FALSE(helper.isClearingPending());
    EXPECT_EQ(
        notifier.notices().last().informativeText,
        QStringLiteral("<alert_will_deleted> %1 <alert_seconds>").arg(GetParam().usedSeconds));
}

INSTANTIATE_TEST_SUITE_P(
    Seconds, ClearTimeSettingTest,
    ::testing::Values(ClearCase{"Minimum", 10, 10}, ClearCase{"Default", 60, 60},
                      ClearCase{"OneHour", 3600, 3600}, ClearCase{"BelowMinimum", 3, 10},
                      ClearCase{"Zero", 0, 10}, ClearCase{"OtherNegative", -5, 10}),
    [](const ::testing::TestParamInfo<ClearCase>& info) { return info.param.name; });

} // namespace
