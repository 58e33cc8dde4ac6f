#include "core/SettingsController.h"

#include "core/SettingManager.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "testing/ScriptedPresenter.h"

#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace keskor {
namespace {

using Field = SettingsController::NumberField;
using keskor::testing::ScriptedPresenter;

class SettingsControllerTest : public ::testing::Test {
protected:
    MemoryDefaultsStore store;
    MemoryKeychain keychain;
    SettingManager settings{store, keychain};
    ScriptedPresenter presenter{[](const QString& m) { ADD_FAILURE() << m.toStdString(); }};
    std::vector<int> restarts;
    SettingsController controller{settings, presenter,
                                  [this](int port) { restarts.push_back(port); }};

    SettingsController::ConfirmResult confirmPort(const QString& text) {
        SettingsValues v = controller.load();
        v.portText = text;
        return controller.confirm(v);
    }
};

TEST_F(SettingsControllerTest, NeverTimesLoadAsUncheckedBoxesWithTheDefaultNumber) {
    settings.setClipboardClearTime(-1);
    settings.setAutoLockTime(-1);
    settings.setAddonProtectPassword(QStringLiteral("pw"));
    const SettingsValues v = controller.load();
    EXPECT_FALSE(v.clipboardClearOn);
    EXPECT_EQ(v.clipboardClearTimeText, "60");
    EXPECT_FALSE(v.autoLockOn);
    EXPECT_EQ(v.autoLockTimeText, "3");
    EXPECT_TRUE(v.addonPasswordProtected);
}

TEST_F(SettingsControllerTest, CheckBoxesAreStored) {
    SettingsValues v = controller.load();
    v.openLastUsedDb = false;
    v.saveRecentFiles = false;
    v.autoSaving = false;
    v.enterpriseLocalCopy = false;
    v.remoteRemoveClosing = false;
    v.backupOnOpening = false;
    v.backupOnSaving = true;
    v.enterpriseSSL = true;
    v.addonAutoFill = false;
    v.addonAddNewFromWeb = false;
    v.lockOnScreenLock = false;
    const auto result = controller.confirm(v);
    EXPECT_FALSE(result.rejected);
    EXPECT_FALSE(settings.openLastUsedDb());
    EXPECT_FALSE(settings.saveRecentFiles());
    EXPECT_FALSE(settings.isAutoSaving());
    EXPECT_FALSE(settings.enterpriseLocalCopy());
    EXPECT_FALSE(settings.remoteRemoveClosing());
    EXPECT_FALSE(settings.backupOnOpening());
    EXPECT_TRUE(settings.backupOnSaving());
    EXPECT_TRUE(settings.enterpriseSSL());
    EXPECT_FALSE(settings.addonAutoFill());
    EXPECT_FALSE(settings.addonAddNewFromWeb());
    EXPECT_FALSE(settings.lockOnScreenLock());
    EXPECT_EQ(controller.load(), v);
    EXPECT_TRUE(restarts.empty());
    EXPECT_TRUE(presenter.calls().isEmpty());
}

TEST_F(SettingsControllerTest, OnlyAChangedPortIsStoredAndRestartsTheBridgeExactlyOnce) {
    EXPECT_FALSE(confirmPort(QStringLiteral("25109")).portChanged);
    EXPECT_FALSE(store.contains("setting_addon_websocket_port"));
    auto result = confirmPort(QStringLiteral("abc"));
    EXPECT_TRUE(result.portDefaulted);
    EXPECT_FALSE(result.portChanged) << "the default it falls back to is no change";
    EXPECT_TRUE(confirmPort(QStringLiteral(" 25110 ")).portChanged);
    EXPECT_FALSE(confirmPort(QStringLiteral("25110")).portChanged);
    EXPECT_EQ(settings.addonWebSocketPort(), 25110);
    result = confirmPort(QStringLiteral("25l09"));
    EXPECT_TRUE(result.portDefaulted);
    EXPECT_TRUE(result.portChanged);
    EXPECT_EQ(settings.addonWebSocketPort(), 25109);
    EXPECT_EQ(restarts, (std::vector<int>{25110, 25109}));
    EXPECT_TRUE(presenter.calls().isEmpty());
}

TEST_F(SettingsControllerTest, ShortcutIsOneChordAndAChangeIsAnnouncedOnce) {
    int changes = 0;
    controller.setShortcutChanged([&] { ++changes; });
    SettingsValues v = controller.load();
    EXPECT_EQ(v.autoCompleteShortcut, QStringLiteral("Ctrl+Alt+A"));
    for (const char* bad : {"Ctrl+A, Ctrl+B", "Ctrl+NoSuchKey"}) {
        presenter.answerAlert(0);
        v.autoCompleteShortcut = QString::fromLatin1(bad);
        EXPECT_TRUE(controller.confirm(v).rejected) << bad;
    }
    EXPECT_EQ(settings.autoCompleteShortcut(), QStringLiteral("Ctrl+Alt+A"));
    v.autoCompleteShortcut = QStringLiteral(" ctrl+shift+f9 ");
    controller.confirm(v);
    controller.confirm(controller.load());
    EXPECT_EQ(settings.autoCompleteShortcut(), QStringLiteral("Ctrl+Shift+F9"));
    controller.resetToDefaults();
    EXPECT_EQ(changes, 2);
}

class PortRange : public SettingsControllerTest,
                  public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(PortRange, OutOfRangeIsRefusedWithAWarningAndStoresNothing) {
    const auto [text, accepted] = GetParam();
    settings.setAddonWebSocketPort(30000);
    const int writesBefore = store.writeCount();
    SettingsValues v = controller.load();
    v.portText = QString::fromLatin1(text);
    v.autoSaving = false; // must not be stored either when the port is refused
    if (!accepted) {
        presenter.answerAlert(0);
    }
    const auto result = controller.confirm(v);
    EXPECT_EQ(result.rejected, !accepted);
    if (accepted) {
        EXPECT_EQ(settings.addonWebSocketPort(), QString::fromLatin1(text).toInt());
        EXPECT_EQ(restarts.size(), 1u);
        EXPECT_TRUE(presenter.calls().isEmpty());
    } else {
        EXPECT_EQ(store.writeCount(), writesBefore);
        EXPECT_TRUE(restarts.empty());
        EXPECT_EQ(presenter.transcript(),
                  QStringList{"alert warning dialog_warning/error_invalid_port []"});
    }
}

INSTANTIATE_TEST_SUITE_P(Bounds, PortRange,
                         ::testing::Values(std::pair{"0", false}, std::pair{"-1", false},
                                           std::pair{"1", true}, std::pair{"65535", true},
                                           std::pair{"65536", false},
                                           std::pair{"99999999999", false}),
                         [](const auto& info) {
                             QString name = QString::fromLatin1(info.param.first);
                             name.replace(u'-', QStringLiteral("Minus"));
                             return "Port" + name.toStdString();
                         });

TEST_F(SettingsControllerTest, NumbersAreParsedAndTimesGoThroughTheClampingSetters) {
    SettingsValues v = controller.load();
    v.backupCountText = QStringLiteral("12");
    v.clipboardClearTimeText = QStringLiteral("5");
    v.autoLockTimeText = QStringLiteral("0");
    controller.confirm(v);
    EXPECT_EQ(settings.backupCount(), 12);
    EXPECT_EQ(settings.clipboardClearTime(), 10);
    EXPECT_EQ(settings.autoLockTime(), 1);

    v.backupCountText = QStringLiteral("twelve");
    v.clipboardClearTimeText = QStringLiteral("soon");
    v.autoLockTimeText = QStringLiteral("25");
    controller.confirm(v);
    EXPECT_EQ(settings.backupCount(), 7);
    EXPECT_EQ(settings.clipboardClearTime(), 60);
    EXPECT_EQ(settings.autoLockTime(), 25);

    v.clipboardClearOn = false;
    v.autoLockOn = false;
    controller.confirm(v);
    EXPECT_EQ(settings.clipboardClearTime(), -1);
    EXPECT_EQ(settings.autoLockTime(), -1);

    v.backupCountText = QStringLiteral("0");
    presenter.answerAlert(0);
    EXPECT_TRUE(controller.confirm(v).rejected);
    EXPECT_EQ(settings.backupCount(), 7);
    EXPECT_EQ(presenter.transcript(),
              QStringList{"alert warning dialog_warning/error_invalid_backup_count []"});
}

TEST_F(SettingsControllerTest, LanguageRoundTripThroughAuto) {
    SettingsValues v = controller.load();
    EXPECT_EQ(store.writeCount(), 0) << "showing the dialog writes nothing";
    EXPECT_EQ(v.languageId, "auto");
    EXPECT_FALSE(controller.confirm(v).languageChanged) << "auto on a fresh store is no change";
    EXPECT_EQ(store.syncCount(), 0);
    v.languageId = QStringLiteral("de");
    presenter.answerAlert(0);
    EXPECT_TRUE(controller.confirm(v).languageChanged);
    EXPECT_EQ(settings.appLanguage(), QString("de"));
    EXPECT_EQ(store.stringList("AppleLanguages"), QStringList{"de"});
    EXPECT_EQ(store.syncCount(), 1);
    EXPECT_EQ(controller.load().languageId, "de");

    // Unchanged: no notice, nothing synchronised.
    EXPECT_FALSE(controller.confirm(v).languageChanged);
    EXPECT_EQ(store.syncCount(), 1);

    v.languageId = SettingsController::autoLanguage;
    presenter.answerAlert(0);
    EXPECT_TRUE(controller.confirm(v).languageChanged);
    EXPECT_FALSE(store.contains("setting_app_language_key"));
    EXPECT_FALSE(store.contains("AppleLanguages"));
    EXPECT_EQ(controller.load().languageId, "auto");
    EXPECT_EQ(presenter.transcript(),
              (QStringList{"alert informational app_name/setting_language_restart []",
                           "alert informational app_name/setting_language_restart []"}));
}

TEST_F(SettingsControllerTest, ResetRestartsTheBridgeOnlyWhenItMovesThePort) {
    EXPECT_EQ(controller.resetToDefaults(), [] {
        MemoryDefaultsStore fresh;
        MemoryKeychain k;
        SettingManager s(fresh, k);
        ScriptedPresenter p;
        return SettingsController(s, p, {}).load();
    }());
    EXPECT_TRUE(restarts.empty());

    settings.setAddonWebSocketPort(30000);
    settings.setAutoLockTime(-1);
    const SettingsValues after = controller.resetToDefaults();
    EXPECT_EQ(restarts, std::vector<int>{25109});
    EXPECT_EQ(after.portText, "25109");
    EXPECT_TRUE(after.autoLockOn);
}

TEST(SettingsValues, VariantMapRoundTripAndMistypedEntriesKeepTheBase) {
    SettingsValues v;
    v.autoSaving = false;
    v.portText = QStringLiteral("31337");
    v.languageId = QStringLiteral("de");
    v.clipboardClearOn = false;
    QVariantMap map = v.toVariantMap();
    EXPECT_EQ(map.value("portText"), QString("31337"));
    EXPECT_EQ(SettingsValues::fromVariantMap(map), v);

    map.insert("autoSaving", QStringLiteral("yes"));
    map.insert("portText", 5);
    map.remove("languageId");
    SettingsValues base;
    base.languageId = QStringLiteral("en");
    const SettingsValues back = SettingsValues::fromVariantMap(map, base);
    EXPECT_TRUE(back.autoSaving);
    EXPECT_TRUE(back.portText.isEmpty());
    EXPECT_EQ(back.languageId, "en");
    EXPECT_FALSE(back.clipboardClearOn);
}

// --- steppers ------------------------------------------------------------------------------

struct StepRow {
    const char* name;
    Field field;
    int current;
    int step;
    std::optional<int> expected;
};

std::ostream& operator<<(std::ostream& os, const StepRow& row) {
    return os << row.name;
}

class Steppers : public ::testing::TestWithParam<StepRow> {};

TEST_P(Steppers, NudgeRefusesBelowTheMinimum) {
    const StepRow& row = GetParam();
    EXPECT_EQ(SettingsController::nudge(row.field, row.current, row.step), row.expected);
    const auto text =
        SettingsController::nudgeText(row.field, QString::number(row.current), row.step);
    EXPECT_EQ(text,
              row.expected ? std::optional<QString>(QString::number(*row.expected)) : std::nullopt);
}

constexpr int kIntMax = std::numeric_limits<int>::max();

INSTANTIATE_TEST_SUITE_P(
    Bounds, Steppers,
    ::testing::Values(StepRow{"ClipboardAtMinDown", Field::clipboardClearTime, 10, -1, {}},
                      StepRow{"ClipboardAboveMinDown", Field::clipboardClearTime, 11, -1, 10},
                      StepRow{"ClipboardAtMinUp", Field::clipboardClearTime, 10, 1, 11},
                      StepRow{"LockAtMinDown", Field::autoLockTime, 1, -1, {}},
                      StepRow{"LockAboveMinDown", Field::autoLockTime, 2, -1, 1},
                      StepRow{"BackupAtMinDown", Field::backupCount, 1, -1, {}},
                      StepRow{"BackupUp", Field::backupCount, 7, 1, 8},
                      StepRow{"PortAtMinDown", Field::port, 1, -1, {}},
                      StepRow{"PortAboveMinDown", Field::port, 2, -1, 1},
                      StepRow{"PortHasNoUpperBound", Field::port, 65535, 1, 65536},
                      StepRow{"NoStepPastInt", Field::port, kIntMax, 1, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SteppersText, ANonNumberCountsAsZero) {
    EXPECT_EQ(SettingsController::nudgeText(Field::port, QStringLiteral("abc"), 1), QString("1"));
    EXPECT_EQ(SettingsController::nudgeText(Field::clipboardClearTime, QStringLiteral(""), 1),
              std::nullopt);
}

} // namespace
} // namespace keskor
