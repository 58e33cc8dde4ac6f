#include "core/SettingManager.h"

#include "core/shared/CommonException.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "platform/QSettingsDefaultsStore.h"
#include "tests/platform/MessageCapture.h"
#include "tests/support/TempDir.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace keskor {
namespace {

using test::MessageCapture;
using test::TempDir;

enum class Kind { Bool, Int, String };

// Written from the settings table itself, not from the class's constants, so a wrong key or
// default in the class shows up here.
struct SettingRow {
    const char* name;
    const char* key;
    Kind kind;
    QVariant expectedDefault; // invalid: no value when absent
    QVariant sample;          // a stored value different from the default
    std::function<QVariant(const SettingManager&)> get;
    std::function<void(SettingManager&, const QVariant&)> set;
};

template <typename T> QVariant opt(const std::optional<T>& v) {
    return v ? QVariant::fromValue(*v) : QVariant();
}
template <typename T> QVariant opt(const T& v) {
    return QVariant::fromValue(v);
}
template <typename T> struct Plain { using type = T; };
template <typename T> struct Plain<std::optional<T>> { using type = T; };

template <typename R, typename A>
SettingRow row(const char* name, const char* key, QVariant expectedDefault, QVariant sample,
               R (SettingManager::*get)() const, void (SettingManager::*set)(A)) {
    using Value = typename Plain<std::remove_cvref_t<A>>::type;
    const Kind kind = std::is_same_v<Value, bool>  ? Kind::Bool
                      : std::is_same_v<Value, int> ? Kind::Int
                                                   : Kind::String;
    return {name,
            key,
            kind,
            std::move(expectedDefault),
            std::move(sample),
            [get](const SettingManager& s) { return opt((s.*get)()); },
            [set](SettingManager& s, const QVariant& v) { (s.*set)(v.value<Value>()); }};
}

std::ostream& operator<<(std::ostream& os, const SettingRow& row) {
    return os << row.name;
}

#define ROW(getter, setter, key, expectedDefault, sample)                                          \
    row(#getter, key, expectedDefault, sample, &SettingManager::getter, &SettingManager::setter)

const SettingRow kSettings[] = {
    ROW(isAutoSaving, setAutoSaving, "setting_isAutoSaving", true, false),
    ROW(language, setLanguage, "setting_language", QVariant(), QStringLiteral("fr")),
    ROW(openLastUsedDb, setOpenLastUsedDb, "setting_open_last_used_db_on_startup", true, false),
    ROW(hasToOpenLastDb, setHasToOpenLastDb, "setting_has_to_open_last_db", true, false),
    ROW(saveRecentFiles, setSaveRecentFiles, "setting_save_recent_files_list", true, false),
    ROW(clipboardClearTime, setClipboardClearTime, "setting_clipboard_clear_time", 60, 45),
    ROW(autoLockTime, setAutoLockTime, "setting_auto_lock_time", 3, 15),
    ROW(lockOnScreenLock, setLockOnScreenLock, "setting_lock_on_screen_lock", true, false),
    ROW(enterpriseLocalCopy, setEnterpriseLocalCopy, "setting_enterprise_save_local_copy", true,
        false),
    ROW(remoteRemoveClosing, setRemoteRemoveClosing, "setting_remote_remove_on_closing", true,
        false),
    ROW(backupOnSaving, setBackupOnSaving, "setting_backup_on_saving", false, true),
    ROW(backupOnOpening, setBackupOnOpening, "setting_backup_on_opening", true, false),
    ROW(backupCount, setBackupCount, "setting_backup_count", 7, 30),
    ROW(useSSL, setUseSSL, "setting_is_use_ssl", QVariant(), true),
    ROW(addonAutoFill, setAddonAutoFill, "setting_addon_autofile", true, false),
    ROW(addonAddNewFromWeb, setAddonAddNewFromWeb, "setting_addon_add_new_from_web", true, false),
    ROW(addonWebSocketPort, setAddonWebSocketPort, "setting_addon_websocket_port", 25109, 31337),
    ROW(enterpriseSSL, setEnterpriseSSL, "setting_enterprise_use_ssl_key", false, true),
    ROW(appLanguage, setAppLanguage, "setting_app_language_key", QVariant(), QStringLiteral("de")),
};
#undef ROW

// The stored value read back in the row's type, as the store sees it.
QVariant storedAs(const DefaultsStore& store, const SettingRow& row) {
    switch (row.kind) {
    case Kind::Bool:
        return opt(store.boolValue(row.key));
    case Kind::Int: {
        const auto n = store.integerValue(row.key);
        return n ? QVariant(int(*n)) : QVariant();
    }
    case Kind::String:
        return opt(store.stringValue(row.key));
    }
    return {};
}

class SettingKeys : public ::testing::TestWithParam<SettingRow> {
protected:
    MemoryDefaultsStore store;
    MemoryKeychain keychain;
    SettingManager settings{store, keychain};
};

TEST_P(SettingKeys, AbsentKeyGivesTheDefaultWithoutWriting) {
    const SettingRow& row = GetParam();
    EXPECT_EQ(row.get(settings), row.expectedDefault);
    EXPECT_EQ(store.writeCount(), 0);
    EXPECT_FALSE(store.contains(row.key));
}

TEST_P(SettingKeys, SetterWritesOnlyTheKeyInItsTypeAndTheGetterReadsIt) {
    const SettingRow& row = GetParam();
    row.set(settings, row.sample);
    EXPECT_EQ(storedAs(store, row), row.sample);
    EXPECT_EQ(store.values().size(), 1);
    EXPECT_EQ(row.get(settings), row.sample);
}

TEST_P(SettingKeys, WrongTypeReadsAsTheDefaultAndTheWarningHidesTheValue) {
    const SettingRow& row = GetParam();
    const QString secret = QStringLiteral("zq-hidden-9731");
    // Text is a valid string, so a string setting gets something no store reads as text.
    store.setObject(row.key, row.kind == Kind::String ? QVariant(QVariantMap{{secret, secret}})
                                                      : QVariant(secret));
    MessageCapture log;
    EXPECT_EQ(row.get(settings), row.expectedDefault);
    EXPECT_TRUE(log.anyContains(row.key));
    EXPECT_FALSE(log.anyContains(secret));
}

INSTANTIATE_TEST_SUITE_P(Table, SettingKeys, ::testing::ValuesIn(kSettings),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SettingManager, IntegerBeyondIntReadsAsTheDefaultWithAWarning) {
    MemoryDefaultsStore store;
    MemoryKeychain keychain;
    SettingManager settings(store, keychain);
    store.setInteger("setting_addon_websocket_port", qint64(1) << 40);
    MessageCapture log;
    EXPECT_EQ(settings.addonWebSocketPort(), 25109);
    EXPECT_TRUE(log.anyContains("setting_addon_websocket_port"));
    EXPECT_FALSE(log.anyContains(QString::number(qint64(1) << 40)));
}

// --- clamping ----------------------------------------------------------------------------

TEST(SettingManager, ClearAndLockTimesAreClampedToTheirMinimumButKeepNever) {
    // given, stored: the clipboard keeps at least 10 seconds, the lock at least 1 minute.
    const std::pair<int, int> clipboard[] = {{-1, -1}, {-2, 10}, {0, 10},
                                             {9, 10},  {10, 10}, {11, 11}};
    const std::pair<int, int> lock[] = {{-1, -1}, {-5, 1}, {0, 1}, {1, 1}, {2, 2}};
    MemoryDefaultsStore store;
    MemoryKeychain keychain;
    SettingManager settings(store, keychain);
    for (const auto& [given, stored] : clipboard) {
        SCOPED_TRACE(::testing::Message() << "clipboard " << given);
        settings.setClipboardClearTime(given);
        EXPECT_EQ(store.integerValue("setting_clipboard_clear_time"), stored);
        EXPECT_EQ(settings.clipboardClearTime(), stored);
    }
    for (const auto& [given, stored] : lock) {
        SCOPED_TRACE(::testing::Message() << "lock " << given);
        settings.setAutoLockTime(given);
        EXPECT_EQ(store.integerValue("setting_auto_lock_time"), stored);
        EXPECT_EQ(settings.autoLockTime(), stored);
    }
}

// --- reset -------------------------------------------------------------------------------

// Records every write in order, in a form that is easy to compare.
class RecordingStore : public MemoryDefaultsStore {
public:
    using MemoryDefaultsStore::MemoryDefaultsStore;
    void setObject(const QString& key, const QVariant& value) override {
        MemoryDefaultsStore::setObject(key, value);
        log.append(key + u'=' + value.toString());
    }
    void remove(const QString& key) override {
        MemoryDefaultsStore::remove(key);
        log.append(QStringLiteral("remove ") + key);
    }
    QStringList log;
};

TEST(SettingManagerReset, WritesTheDefaultsInOrderAndKeepsTheThreeUntouchedKeys) {
    RecordingStore store(QVariantMap{
        {"setting_app_language_key", "de"},
        {"setting_language", "fr"},
        {"setting_has_to_open_last_db", false},
        {"setting_is_use_ssl", true},
        {"setting_isAutoSaving", false},
        {"setting_clipboard_clear_time", -1},
        {"setting_addon_websocket_port", 30000},
        {"setting_addon_protect_password", "protected-form"},
        {"AppleLanguages", QStringList{"de"}},
    });
    MemoryKeychain keychain;
    SettingManager settings(store, keychain);
    settings.resetToDefaults();

    EXPECT_EQ(
        store.log,
        (QStringList{"remove setting_app_language_key", "setting_isAutoSaving=true",
                     "setting_open_last_used_db_on_startup=true",
                     "setting_save_recent_files_list=true", "setting_clipboard_clear_time=60",
                     "setting_auto_lock_time=3", "setting_enterprise_use_ssl_key=false",
                     "setting_enterprise_save_local_copy=true",
                     "setting_remote_remove_on_closing=true", "setting_backup_count=7",
                     "setting_backup_on_opening=true", "setting_backup_on_saving=false",
                     "setting_addon_autofile=true", "setting_addon_add_new_from_web=true",
                     "setting_addon_websocket_port=25109", "remove setting_addon_protect_password",
                     "setting_lock_on_screen_lock=true", "remove setting_autocomplete_shortcut"}));
    EXPECT_EQ(store.stringValue("setting_language"), QString("fr"));
    EXPECT_EQ(store.boolValue("setting_has_to_open_last_db"), false);
    EXPECT_EQ(store.boolValue("setting_is_use_ssl"), true);
    EXPECT_EQ(settings.appLanguage(), std::nullopt);
    EXPECT_EQ(settings.addonProtectPassword(), std::nullopt);
    EXPECT_EQ(settings.clipboardClearTime(), 60);
    EXPECT_EQ(settings.addonWebSocketPort(), 25109);
}

// --- the bridge password -----------------------------------------------------------------

class BridgePassword : public ::testing::Test {
protected:
    TempDir dir;
    QSettingsDefaultsStore store{dir.file("keskor.ini")};
    MemoryKeychain keychain;
    SettingManager settings{store, keychain};
    const QString password = QStringLiteral("Pässwort ✓ 42");
};

TEST_F(BridgePassword, RoundTripAlsoThroughAFreshManagerAndNoValueRemovesIt) {
    settings.setAddonProtectPassword(password);
    EXPECT_EQ(settings.addonProtectPassword(), password);
    SettingManager fresh(store, keychain);
    EXPECT_EQ(fresh.addonProtectPassword(), password);
    settings.setAddonProtectPassword(QString());
    EXPECT_EQ(settings.addonProtectPassword(), QString()) << "an empty password is a password";
    settings.setAddonProtectPassword(std::nullopt);
    EXPECT_EQ(settings.addonProtectPassword(), std::nullopt);
    EXPECT_FALSE(store.contains("setting_addon_protect_password"));
}

TEST_F(BridgePassword, StoredFormIsNotTheClearText) {
    settings.setAddonProtectPassword(password);
    store.sync();
    const std::optional<QString> stored = store.stringValue("setting_addon_protect_password");
    ASSERT_TRUE(stored);
    EXPECT_FALSE(stored->contains(password));
    EXPECT_FALSE(dir.read("keskor.ini").contains(password.toUtf8()));
}

TEST_F(BridgePassword, ProtectionKeyIsMadeOnceAndKeptInTheKeychain) {
    EXPECT_EQ(settings.addonProtectPassword(), std::nullopt);
    EXPECT_EQ(settings.protectionKey(), std::nullopt);
    EXPECT_EQ(keychain.get(settings.protectionKeychainKey), std::nullopt)
        << "reading must not create a key";
    settings.setAddonProtectPassword(password);
    const std::optional<QString> key = keychain.get(settings.protectionKeychainKey);
    ASSERT_TRUE(key);
    ASSERT_TRUE(settings.protectionKey());
    EXPECT_EQ(settings.protectionKey()->bytes().toByteArray().toBase64(), key->toLatin1());
    EXPECT_FALSE(key->contains(password));
    SettingManager other(store, keychain);
    other.setAddonProtectPassword(QStringLiteral("second"));
    EXPECT_EQ(keychain.get(settings.protectionKeychainKey), key);
    EXPECT_EQ(settings.addonProtectPassword(), QString("second"));
}

TEST_F(BridgePassword, LostProtectionKeyGivesNoPasswordAndOneWarning) {
    settings.setAddonProtectPassword(password);
    const QString stored = *store.stringValue("setting_addon_protect_password");
    MemoryKeychain emptyKeychain;
    SettingManager restarted(store, emptyKeychain);
    MessageCapture log;
    EXPECT_EQ(restarted.addonProtectPassword(), std::nullopt);
    EXPECT_EQ(restarted.addonProtectPassword(), std::nullopt);
    EXPECT_EQ(log.count("bridge password"), 1) << "reported once, not at every request";
    EXPECT_FALSE(log.anyContains(password));
    EXPECT_FALSE(log.anyContains(stored));
    // A new password can be set and then read again.
    restarted.setAddonProtectPassword(QStringLiteral("new"));
    EXPECT_EQ(SettingManager(store, emptyKeychain).addonProtectPassword(), QString("new"));
}

TEST_F(BridgePassword, DamagedKeyOrDamagedValueGivesNoPasswordAndAWarning) {
    settings.setAddonProtectPassword(password);
    {
        keychain.set(settings.protectionKeychainKey, QStringLiteral("not base64 !"));
        SettingManager restarted(store, keychain);
        MessageCapture log;
        EXPECT_EQ(restarted.addonProtectPassword(), std::nullopt);
        EXPECT_TRUE(log.anyContains(settings.protectionKeychainKey));
        EXPECT_FALSE(log.anyContains("not base64"));
    }
    SettingManager repaired(store, keychain);
    repaired.setAddonProtectPassword(password);
    EXPECT_EQ(repaired.addonProtectPassword(), password);
    store.setString("setting_addon_protect_password", QStringLiteral("AQID"));
    MessageCapture log;
    EXPECT_EQ(SettingManager(store, keychain).addonProtectPassword(), std::nullopt);
    EXPECT_EQ(log.count("bridge password"), 1);
}

// A keychain that counts its reads: each is a D-Bus round trip with the Secret Service.
class CountingKeychain : public MemoryKeychain {
public:
    std::optional<QString> get(const QString& key) override {
        ++reads;
        return MemoryKeychain::get(key);
    }
    int reads = 0;
};

TEST(BridgePasswordKeychain, IsReadOnceAndNotForEveryRequest) {
    MemoryDefaultsStore store;
    CountingKeychain keychain;
    SettingManager settings(store, keychain);
    EXPECT_EQ(settings.addonProtectPassword(), std::nullopt);
    EXPECT_EQ(keychain.reads, 0) << "no password stored, so no key needed";
    SettingManager(store, keychain).setAddonProtectPassword(QStringLiteral("first"));
    keychain.reads = 0;
    for (int request = 0; request < 3; ++request) {
        EXPECT_EQ(settings.addonProtectPassword(), QString("first"));
    }
    settings.setAddonProtectPassword(QStringLiteral("second"));
    EXPECT_EQ(settings.addonProtectPassword(), QString("second"));
    EXPECT_EQ(keychain.reads, 1);
    // The password itself is read from the settings each time: a change made elsewhere shows.
    SettingManager(store, keychain).setAddonProtectPassword(QStringLiteral("third"));
    EXPECT_EQ(settings.addonProtectPassword(), QString("third"));
}

// A keychain that refuses to store anything (a locked or missing Secret Service).
class RefusingKeychain : public Keychain {
public:
    void set(const QString&, const QString&) override {
        throw CommonException(QStringLiteral("The keychain is locked"));
    }
    std::optional<QString> get(const QString&) override { return std::nullopt; }
    void remove(const QString&) override {}
};

TEST(BridgePasswordKeychain, RefusedKeyStoresNothingAndTheErrorHidesThePassword) {
    MemoryDefaultsStore store;
    RefusingKeychain keychain;
    SettingManager settings(store, keychain);
    try {
        settings.setAddonProtectPassword(QStringLiteral("hunter2"));
        FAIL() << "expected CommonException";
    } catch (const CommonException& e) {
        EXPECT_FALSE(e.message().contains("hunter2"));
    }
    EXPECT_FALSE(store.contains("setting_addon_protect_password"));
}

} // namespace
} // namespace keskor
