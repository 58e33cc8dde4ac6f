// The behaviour settings: every key's name, type and default (from a table written apart from
// the implementation), reading without writing, clamping, reset, persistence through a real INI
// file, and the bridge password protected with a key kept in a real file keychain.

#include "core/SettingManager.h"

#include "core/shared/CommonException.h"
#include "platform/FileKeychain.h"
#include "platform/MemoryDefaultsStore.h"
#include "platform/MemoryKeychain.h"
#include "platform/QSettingsDefaultsStore.h"
#include "tests/support/TempDir.h"

#include <QFile>
#include <functional>
#include <gtest/gtest.h>

using namespace keskor;

namespace {

// Collects warnings so tests can check that a value never reaches the log.
class LogCapture {
public:
    LogCapture() { s_previous = qInstallMessageHandler(&LogCapture::handle); }
    ~LogCapture() {
        qInstallMessageHandler(s_previous);
        s_lines.clear();
    }
    const QStringList& lines() const { return s_lines; }
    bool anyContains(const QString& text) const {
        for (const QString& line : s_lines) {
            if (line.contains(text)) {
                return true;
            }
        }
        return false;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type == QtWarningMsg || type == QtCriticalMsg) {
            s_lines.append(message);
        }
    }
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};

enum class Kind { boolean, integer, text };

struct SettingCase {
    const char* name;
    const char* key;
    Kind kind;
    QVariant fallback; // invalid: no value when absent
    QVariant other;    // a stored value different from the default
    std::function<QVariant(const SettingManager&)> read;
};

template <typename T> QVariant fromOptional(const std::optional<T>& v) {
    return v ? QVariant::fromValue(*v) : QVariant();
}

const SettingCase kSettings[] = {
    {"autoSaving", "setting_isAutoSaving", Kind::boolean, true, false,
     [](const SettingManager& s) { return QVariant(s.isAutoSaving()); }},
    {"language", "setting_language", Kind::text, QVariant(), QStringLiteral("fr"),
     [](const SettingManager& s) { return fromOptional(s.language()); }},
    {"openLastUsedDb", "setting_open_last_used_db_on_startup", Kind::boolean, true, false,
     [](const SettingManager& s) { return QVariant(s.openLastUsedDb()); }},
    {"hasToOpenLastDb", "setting_has_to_open_last_db", Kind::boolean, true, false,
     [](const SettingManager& s) { return QVariant(s.hasToOpenLastDb()); }},
    {"saveRecentFiles", "setting_save_recent_files_list", Kind::boolean, true, false,
     [](const SettingManager& s) { return QVariant(s.saveRecentFiles()); }},
    {"clipboardClearTime", "setting_clipboard_clear_time", Kind::integer, 60, 25,
     [](const SettingManager& s) { return QVariant(s.clipboardClearTime()); }},
    {"autoLockTime", "setting_auto_lock_time", Kind::integer, 3, 15,
     [](const SettingManager& s) { return QVariant(s.autoLockTime()); }},
    {"enterpriseLocalCopy", "setting_enterprise_save_local_copy", Kind::boolean, true, false,
     [](const SettingManager& s) { return QVariant(s.enterpriseLocalCopy()); }},
    {"remoteRemoveClosing", "setting_remote_remove_on_closing", Kind::boolean, true, false,
     [](const SettingManager& s) { return QVariant(s.remoteRemoveClosing()); }},
    {"backupOnSaving", "setting_backup_on_saving", Kind::boolean, false, true,
     [](const SettingManager& s) { return QVariant(s.backupOnSaving()); }},
    {"backupOnOpening", "setting_backup_on_opening", Kind::boolean, true, false,
     [](const SettingManager& s) { return QVariant(s.backupOnOpening()); }},
    {"backupCount", "setting_backup_count", Kind::integer, 7, 30,
     [](const SettingManager& s) { return QVariant(s.backupCount()); }},
    {"useSSL", "setting_is_use_ssl", Kind::boolean, QVariant(), true,
     [](const SettingManager& s) { return fromOptional(s.useSSL()); }},
    {"addonAutoFill", "setting_addon_autofile", Kind::boolean, true, false,
     [](const SettingManager& s) { return QVariant(s.addonAutoFill()); }},
    {"addonAddNewFromWeb", "setting_addon_add_new_from_web", Kind::boolean, true, false,
     [](const SettingManager& s) { return QVariant(s.addonAddNewFromWeb()); }},
    {"addonWebSocketPort", "setting_addon_websocket_port", Kind::integer, 25109, 31000,
     [](const SettingManager& s) { return QVariant(s.addonWebSocketPort()); }},
    {"enterpriseSSL", "setting_enterprise_use_ssl_key", Kind::boolean, false, true,
     [](const SettingManager& s) { return QVariant(s.enterpriseSSL()); }},
    {"appLanguage", "setting_app_language_key", Kind::text, QVariant(), QStringLiteral("de"),
     [](const SettingManager& s) { return fromOptional(s.appLanguage()); }},
};

class SettingDefaultsTest : public ::testing::TestWithParam<SettingCase> {};

TEST_P(SettingDefaultsTest, freshStoreGivesTheDefaultWithoutWriting) {
    MemoryDefaultsStore store;
    MemoryKeychain keychain;
    const SettingManager settings(store, keychain);
    EXPECT_EQ(GetParam().read(settings), GetParam().fallback);
    EXPECT_EQ(store.writeCount(), 0);
    EXPECT_TRUE(store.values().isEmpty());
}

TEST_P(SettingDefaultsTest, storedValueUnderItsKeyIsRead) {
    MemoryDefaultsStore store({{QString::fromLatin1(GetParam().key), GetParam().other}});
    MemoryKeychain keychain;
    const SettingManager settings(store, keychain);
    EXPECT_EQ(GetParam().read(settings), GetParam().other);
}

TEST_P(SettingDefaultsTest, valueOfTheWrongTypeReadsAsDefaultAndIsNotLogged) {
    if (GetParam().kind == Kind::text) {
        GTEST_SKIP() << "every stored value reads as text";
    }
    const QString handEdited = QStringLiteral("hand-edited-4711");
    MemoryDefaultsStore store({{QString::fromLatin1(GetParam().key), handEdited}});
    MemoryKeychain keychain;
    const SettingManager settings(store, keychain);
    LogCapture log;
    EXPECT_EQ(GetParam().read(settings), GetParam().fallback);
    EXPECT_FALSE(log.lines().isEmpty());
    EXPECT_FALSE(log.anyContains(handEdited));
}

INSTANTIATE_TEST_SUITE_P(AllKeys, SettingDefaultsTest, ::testing::ValuesIn(kSettings),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SettingManagerTest, bridgePasswordAbsentByDefault) {
    MemoryDefaultsStore store;
    MemoryKeychain keychain;
    const SettingManager settings(store, keychain);
    EXPECT_FALSE(settings.addonProtectPassword().has_value());
    EXPECT_EQ(store.writeCount(), 0);
    EXPECT_FALSE(settings.debug_log_file_path.has_value());
}

// Clamping of the two times: below, at and above the minimum, and the "never" value.
struct ClampCase {
    const char* name;
    bool clipboard;
    int given;
    int stored;
};

class ClampTest : public ::testing::TestWithParam<ClampCase> {};

TEST_P(ClampTest, storesTheClampedValue) {
    MemoryDefaultsStore store;
    MemoryKeychain keychain;
    SettingManager settings(store, keychain);
    const ClampCase& c = GetParam();
    if (c.clipboard) {
        settings.setClipboardClearTime(c.given);
        EXPECT_EQ(store.values().value(QStringLiteral("setting_clipboard_clear_time")).toInt(),
                  c.stored);
        EXPECT_EQ(settings.clipboardClearTime(), c.stored);
    } else {
        settings.setAutoLockTime(c.given);
        EXPECT_EQ(store.values().value(QStringLiteral("setting_auto_lock_time")).toInt(), c.stored);
        EXPECT_EQ(settings.autoLockTime(), c.stored);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Times, ClampTest,
    ::testing::Values(
        ClampCase{"clipboardNever", true, -1, -1}, ClampCase{"clipboardMinusTwo", true, -2, 10},
        ClampCase{"clipboardZero", true, 0, 10}, ClampCase{"clipboardFive", true, 5, 10},
        ClampCase{"clipboardNine", true, 9, 10}, ClampCase{"clipboardTen", true, 10, 10},
        ClampCase{"clipboardEleven", true, 11, 11}, ClampCase{"clipboardHour", true, 3600, 3600},
        ClampCase{"lockNever", false, -1, -1}, ClampCase{"lockMinusTwo", false, -2, 1},
        ClampCase{"lockZero", false, 0, 1}, ClampCase{"lockOne", false, 1, 1},
        ClampCase{"lockTwo", false, 2, 2}, ClampCase{"lockDay", false, 1440, 1440}),
    [](const auto& info) { return std::string(info.param.name); });

// Records the order of writes so the reset sequence can be checked.
class RecordingDefaultsStore : public MemoryDefaultsStore {
public:
    using MemoryDefaultsStore::MemoryDefaultsStore;
    void setObject(const QString& key, const QVariant& value) override {
        log.append(key + u'=' + value.toString());
        MemoryDefaultsStore::setObject(key, value);
    }
    void remove(const QString& key) override {
        log.append(QStringLiteral("remove ") + key);
        MemoryDefaultsStore::remove(key);
    }
    QStringList log;
};

TEST(SettingManagerTest, resetWritesTheDefaultsInOrderAndLeavesThreeKeysAlone) {
    RecordingDefaultsStore store({
        {QStringLiteral("setting_app_language_key"), QStringLiteral("de")},
        {QStringLiteral("setting_language"), QStringLiteral("fr")},
        {QStringLiteral("setting_has_to_open_last_db"), false},
        {QStringLiteral("setting_is_use_ssl"), true},
        {QStringLiteral("setting_addon_websocket_port"), 31000},
        {QStringLiteral("setting_addon_protect_password"), QStringLiteral("protected")},
        {QStringLiteral("setting_backup_on_saving"), true},
    });
    MemoryKeychain keychain;
    SettingManager settings(store, keychain);

    settings.resetToDefaults();

    const QStringList expected = {
        QStringLiteral("remove setting_app_language_key"),
        QStringLiteral("setting_isAutoSaving=true"),
        QStringLiteral("setting_open_last_used_db_on_startup=true"),
        QStringLiteral("setting_save_recent_files_list=true"),
        QStringLiteral("setting_clipboard_clear_time=60"),
        QStringLiteral("setting_auto_lock_time=3"),
        QStringLiteral("setting_enterprise_use_ssl_key=false"),
        QStringLiteral("setting_enterprise_save_local_copy=true"),
        QStringLiteral("setting_remote_remove_on_closing=true"),
        QStringLiteral("setting_backup_count=7"),
        QStringLiteral("setting_backup_on_opening=true"),
        QStringLiteral("setting_backup_on_saving=false"),
        QStringLiteral("setting_addon_autofile=true"),
        QStringLiteral("setting_addon_add_new_from_web=true"),
        QStringLiteral("setting_addon_websocket_port=25109"),
        QStringLiteral("remove setting_addon_protect_password"),
    };
    EXPECT_EQ(store.log, expected);
    EXPECT_EQ(settings.language(), QStringLiteral("fr"));
    EXPECT_FALSE(settings.hasToOpenLastDb());
    EXPECT_EQ(settings.useSSL(), true);
    EXPECT_FALSE(settings.appLanguage().has_value());
    EXPECT_FALSE(settings.addonProtectPassword().has_value());
    EXPECT_EQ(settings.addonWebSocketPort(), 25109);
}

TEST(SettingManagerTest, integerBeyondIntReadsAsDefault) {
    MemoryDefaultsStore store({{QStringLiteral("setting_backup_count"), qint64(1) << 40}});
    MemoryKeychain keychain;
    const SettingManager settings(store, keychain);
    LogCapture log;
    EXPECT_EQ(settings.backupCount(), 7);
    EXPECT_FALSE(log.anyContains(QString::number(qint64(1) << 40)));
}

class SettingFilesTest : public ::testing::Test {
protected:
    QString iniPath() const { return dir.file(QStringLiteral("settings.ini")); }
    QString keychainPath() const { return dir.file(QStringLiteral("keychain/secrets.json")); }

    test::TempDir dir;
};

TEST_F(SettingFilesTest, valuesPersistThroughTheIniFile) {
    {
        QSettingsDefaultsStore store(iniPath());
        FileKeychain keychain(keychainPath());
        SettingManager settings(store, keychain);
        settings.setAutoSaving(false);
        settings.setBackupCount(12);
        settings.setClipboardClearTime(5);
        settings.setAddonWebSocketPort(30123);
        settings.setAppLanguage(QStringLiteral("de"));
        settings.setAppleLanguages(QStringList{QStringLiteral("de")});
        settings.synchronize();
    }
    QSettingsDefaultsStore store(iniPath());
    FileKeychain keychain(keychainPath());
    const SettingManager settings(store, keychain);
    EXPECT_FALSE(settings.isAutoSaving());
    EXPECT_EQ(settings.backupCount(), 12);
    EXPECT_EQ(settings.clipboardClearTime(), 10);
    EXPECT_EQ(settings.addonWebSocketPort(), 30123);
    EXPECT_EQ(settings.appLanguage(), QStringLiteral("de"));
    EXPECT_EQ(settings.appleLanguages(), QStringList{QStringLiteral("de")});
    EXPECT_TRUE(settings.backupOnOpening());
}

TEST_F(SettingFilesTest, handEditedValueOfTheWrongTypeReadsAsDefault) {
    dir.write(QStringLiteral("settings.ini"),
              "[General]\nsetting_backup_count=plenty-of-them\nsetting_isAutoSaving=maybe-so\n"
              "setting_auto_lock_time=20\n");
    QSettingsDefaultsStore store(iniPath());
    FileKeychain keychain(keychainPath());
    const SettingManager settings(store, keychain);
    LogCapture log;
    EXPECT_EQ(settings.backupCount(), 7);
    EXPECT_TRUE(settings.isAutoSaving());
    EXPECT_EQ(settings.autoLockTime(), 20);
    EXPECT_FALSE(log.anyContains(QStringLiteral("plenty-of-them")));
    EXPECT_FALSE(log.anyContains(QStringLiteral("maybe-so")));
}

TEST_F(SettingFilesTest, readingDefaultsLeavesNoFileBehind) {
    {
        QSettingsDefaultsStore store(iniPath());
        FileKeychain keychain(keychainPath());
        const SettingManager settings(store, keychain);
        EXPECT_EQ(settings.addonWebSocketPort(), 25109);
        EXPECT_FALSE(settings.addonProtectPassword().has_value());
        store.sync();
    }
    QSettingsDefaultsStore reopened(iniPath());
    EXPECT_FALSE(reopened.contains(QStringLiteral("setting_addon_websocket_port")));
    EXPECT_FALSE(QFile::exists(keychainPath()));
}

TEST_F(SettingFilesTest, bridgePasswordRoundTripsProtected) {
    const QString password = QStringLiteral("brücke-geheim-42");
    {
        QSettingsDefaultsStore store(iniPath());
        FileKeychain keychain(keychainPath());
        SettingManager settings(store, keychain);
        settings.setAddonProtectPassword(password);
        EXPECT_EQ(settings.addonProtectPassword(), password);
        const std::optional<QString> stored =
            store.stringValue(QStringLiteral("setting_addon_protect_password"));
        ASSERT_TRUE(stored.has_value());
        EXPECT_NE(*stored, password);
        EXPECT_FALSE(stored->contains(password));
        settings.synchronize();
    }
    const QByteArray ini = dir.read(QStringLiteral("settings.ini"));
    EXPECT_FALSE(ini.contains(password.toUtf8()));
    EXPECT_FALSE(ini.contains("geheim"));
    EXPECT_FALSE(dir.read(QStringLiteral("keychain/secrets.json")).contains("geheim"));

    QSettingsDefaultsStore store(iniPath());
    FileKeychain keychain(keychainPath());
    SettingManager settings(store, keychain);
    EXPECT_EQ(settings.addonProtectPassword(), password);

    // An empty password is a password: protection stays on.
    settings.setAddonProtectPassword(QString());
    EXPECT_EQ(settings.addonProtectPassword(), QString());

    settings.setAddonProtectPassword(std::nullopt);
    EXPECT_FALSE(settings.addonProtectPassword().has_value());
    EXPECT_FALSE(store.contains(QStringLiteral("setting_addon_protect_password")));
}

TEST_F(SettingFilesTest, twoPasswordsShareOneProtectionKeyButNotTheirForm) {
    QSettingsDefaultsStore store(iniPath());
    FileKeychain keychain(keychainPath());
    SettingManager settings(store, keychain);
    settings.setAddonProtectPassword(QStringLiteral("same"));
    const QByteArray keyFile = dir.read(QStringLiteral("keychain/secrets.json"));
    const auto first = store.stringValue(QStringLiteral("setting_addon_protect_password"));
    settings.setAddonProtectPassword(QStringLiteral("same"));
    const auto second = store.stringValue(QStringLiteral("setting_addon_protect_password"));
    EXPECT_EQ(dir.read(QStringLiteral("keychain/secrets.json")), keyFile);
    EXPECT_NE(first, second); // a fresh nonce per write
    EXPECT_EQ(settings.addonProtectPassword(), QStringLiteral("same"));
}

TEST_F(SettingFilesTest, lostProtectionKeyGivesNoPasswordAndAWarning) {
    const QString password = QStringLiteral("lost-with-the-key");
    QSettingsDefaultsStore store(iniPath());
    FileKeychain keychain(keychainPath());
    SettingManager settings(store, keychain);
    settings.setAddonProtectPassword(password);
    ASSERT_EQ(settings.addonProtectPassword(), password);

    ASSERT_TRUE(QFile::remove(keychainPath()));
    LogCapture log;
    EXPECT_FALSE(settings.addonProtectPassword().has_value());
    EXPECT_FALSE(log.lines().isEmpty());
    EXPECT_FALSE(log.anyContains(password));

    // A new password makes a new key and works again.
    settings.setAddonProtectPassword(QStringLiteral("fresh"));
    EXPECT_EQ(settings.addonProtectPassword(), QStringLiteral("fresh"));
}

TEST_F(SettingFilesTest, damagedProtectedFormGivesNoPasswordAndAWarning) {
    QSettingsDefaultsStore store(iniPath());
    FileKeychain keychain(keychainPath());
    SettingManager settings(store, keychain);
    settings.setAddonProtectPassword(QStringLiteral("first"));
    store.setString(QStringLiteral("setting_addon_protect_password"),
                    QStringLiteral("bm90IG91ciBmb3JtYXQ="));
    LogCapture log;
    EXPECT_FALSE(settings.addonProtectPassword().has_value());
    EXPECT_FALSE(log.lines().isEmpty());
}

// A keychain that refuses to keep anything, as a locked Secret Service does.
class RefusingKeychain : public Keychain {
public:
    void set(const QString&, const QString&) override {
        throw CommonException(QStringLiteral("keychain locked"));
    }
    std::optional<QString> get(const QString&) override { return std::nullopt; }
    void remove(const QString&) override {}
};

TEST(SettingManagerTest, refusingKeychainStoresNothingAndSaysSoWithoutTheSecret) {
    MemoryDefaultsStore store;
    RefusingKeychain keychain;
    SettingManager settings(store, keychain);
    try {
        settings.setAddonProtectPassword(QStringLiteral("never-shown"));
        FAIL() << "expected CommonException";
    } catch (const CommonException& e) {
        EXPECT_FALSE(QString::fromUtf8(e.what()).contains(QStringLiteral("never-shown")));
    }
    EXPECT_EQ(store.writeCount(), 0);
}

} // namespace
