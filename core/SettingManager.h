#pragma once
// Typed access to the behaviour preferences (saving, backups, locking, clipboard, browser
// bridge, enterprise) in the per-user defaults store. Nothing is cached: every read goes to the
// store, so a value written by the settings dialog applies at the next read, and reading a
// default never writes it. A value of the wrong type (a hand-edited file) reads as the default
// and is logged by key, never with its value.

#include "core/shared/Key256.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace keskor {

class DefaultsStore;
class EncryptionHelper;
class Keychain;

class SettingManager {
public:
    SettingManager(DefaultsStore& standardDefault, Keychain& keychain);

    const QString autoSavingKey = QStringLiteral("setting_isAutoSaving");
    const QString languageKey = QStringLiteral("setting_language");
    const QString openLastUsedDbKey = QStringLiteral("setting_open_last_used_db_on_startup");
    const QString hasToOpenLastDbKey = QStringLiteral("setting_has_to_open_last_db");
    const QString saveRecentFilesKey = QStringLiteral("setting_save_recent_files_list");
    const QString clipboardClearTimeKey = QStringLiteral("setting_clipboard_clear_time");
    const QString autoLockTimeKey = QStringLiteral("setting_auto_lock_time");
    const QString lockOnScreenLockKey = QStringLiteral("setting_lock_on_screen_lock");
    const QString enterpriseLocalCopyKey = QStringLiteral("setting_enterprise_save_local_copy");
    const QString remoteRemoveClosingKey = QStringLiteral("setting_remote_remove_on_closing");
    const QString backupOnSavingKey = QStringLiteral("setting_backup_on_saving");
    const QString backupOnOpeningKey = QStringLiteral("setting_backup_on_opening");
    const QString backupCountKey = QStringLiteral("setting_backup_count");
    const QString useSSLKey = QStringLiteral("setting_is_use_ssl");
    const QString addonAutoFillKey = QStringLiteral("setting_addon_autofile");
    const QString addonAddNewFromWebKey = QStringLiteral("setting_addon_add_new_from_web");
    const QString addonWebSocketPortKey = QStringLiteral("setting_addon_websocket_port");
    const QString addonProtectPasswordKey = QStringLiteral("setting_addon_protect_password");
    const QString enterpriseSSLKey = QStringLiteral("setting_enterprise_use_ssl_key");
    const QString appLanguageKey = QStringLiteral("setting_app_language_key");
    /// Trust the enterprise server's certificate on first use and refuse a changed one.
    const QString enterprisePinCertificateKey =
        QStringLiteral("setting_enterprise_pin_certificate");
    const QString autoCompleteShortcutKey = QStringLiteral("setting_autocomplete_shortcut");
    /// The platform's interface-language preference, written beside appLanguageKey.
    const QString appleLanguagesKey = QStringLiteral("AppleLanguages");
    /// Keychain item holding the installation's key for protected settings values.
    const QString protectionKeychainKey = QStringLiteral("settings_protection_key");

    /// Clipboard and lock times: the value that turns the feature off.
    static constexpr int never = -1;
    static constexpr int minClipboardClearTime = 10;
    static constexpr int minAutoLockTime = 1;

    /// Where the optional debug log goes; not persisted.
    std::optional<QString> debug_log_file_path;

    bool isAutoSaving() const;
    void setAutoSaving(bool on);
    std::optional<QString> language() const;
    void setLanguage(const std::optional<QString>& language);
    bool openLastUsedDb() const;
    void setOpenLastUsedDb(bool on);
    bool hasToOpenLastDb() const;
    void setHasToOpenLastDb(bool on);
    bool saveRecentFiles() const;
    void setSaveRecentFiles(bool on);

    /// Seconds; -1 never clears.
    int clipboardClearTime() const;
    /// Stores -1 for -1, otherwise at least 10.
    void setClipboardClearTime(int seconds);
    /// Minutes; -1 never locks.
    int autoLockTime() const;
    /// Stores -1 for -1, otherwise at least 1.
    void setAutoLockTime(int minutes);
    /// Lock the open database when the screen locks or the machine goes to sleep.
    bool lockOnScreenLock() const;
    void setLockOnScreenLock(bool on);

    bool enterpriseLocalCopy() const;
    void setEnterpriseLocalCopy(bool on);
    bool remoteRemoveClosing() const;
    void setRemoteRemoveClosing(bool on);
    bool backupOnSaving() const;
    void setBackupOnSaving(bool on);
    bool backupOnOpening() const;
    void setBackupOnOpening(bool on);
    int backupCount() const;
    void setBackupCount(int count);
    std::optional<bool> useSSL() const;
    void setUseSSL(bool on);

    bool addonAutoFill() const;
    void setAddonAutoFill(bool on);
    bool addonAddNewFromWeb() const;
    void setAddonAddNewFromWeb(bool on);
    int addonWebSocketPort() const;
    void setAddonWebSocketPort(int port);

    /// The bridge password in clear; no value when none is stored or when the stored form can
    /// no longer be read (its protection key is gone from the keychain, or it was damaged),
    /// which is logged without the value.
    std::optional<QString> addonProtectPassword() const;
    /// Stores the protected form; no value removes it. The protection key is created in the
    /// keychain on first use. Throws CommonException when the keychain cannot keep it (nothing
    /// is stored then; the message carries no secret).
    void setAddonProtectPassword(const std::optional<QString>& password);

    bool enterpriseSSL() const;
    void setEnterpriseSSL(bool on);
    bool enterprisePinCertificate() const;
    void setEnterprisePinCertificate(bool on);
    /// The chosen interface language; no value follows the system.
    std::optional<QString> appLanguage() const;
    /// No value removes the choice.
    void setAppLanguage(const std::optional<QString>& code);
    /// The platform's preferred interface languages; no value follows the system.
    std::optional<QStringList> appleLanguages() const;
    /// No value removes the preference.
    void setAppleLanguages(const std::optional<QStringList>& codes);

    /// The global auto-complete shortcut in portable text form ("Ctrl+Alt+A"); empty: none.
    QString autoCompleteShortcut() const;
    void setAutoCompleteShortcut(const QString& shortcut);

    /// The settings dialog's reset command. Leaves languageKey, hasToOpenLastDbKey and
    /// useSSLKey as they are.
    void resetToDefaults();
    /// Writes pending changes to disk now.
    void synchronize();

    /// Defaults when a key holds nothing.
    static constexpr bool defaultAutoSaving = true;
    static constexpr bool defaultOpenLastUsedDb = true;
    static constexpr bool defaultHasToOpenLastDb = true;
    static constexpr bool defaultSaveRecentFiles = true;
    static constexpr int defaultClipboardClearTime = 60;
    static constexpr int defaultAutoLockTime = 3;
    static constexpr bool defaultLockOnScreenLock = true;
    static constexpr bool defaultEnterpriseLocalCopy = true;
    /// On: an installation without the key is a new one (or predates pinning, and then the
    /// first connection pins what it sees).
    static constexpr bool defaultEnterprisePinCertificate = true;
    static constexpr bool defaultRemoteRemoveClosing = true;
    static constexpr bool defaultBackupOnSaving = false;
    static constexpr bool defaultBackupOnOpening = true;
    static constexpr int defaultBackupCount = 7;
    static constexpr bool defaultAddonAutoFill = true;
    static constexpr bool defaultAddonAddNewFromWeb = true;
    static constexpr int defaultAddonWebSocketPort = 25109;
    static constexpr bool defaultEnterpriseSSL = false;
    static constexpr const char* defaultAutoCompleteShortcut = "Ctrl+Alt+A";

    /// The per-installation key that protects stored strings (the bridge password, the
    /// server name in an XML export): the stored one, or a new one put into the keychain.
    /// Throws CommonException.
    Key256 protectionKeyForWriting();
    /// That key for reading only: no value when the keychain holds none or an unusable one
    /// (nothing is created).
    std::optional<Key256> protectionKey() const {
        bool unusable = false;
        return storedProtectionKey(unusable);
    }

private:
    bool boolOr(const QString& key, bool fallback) const;
    int intOr(const QString& key, int fallback) const;
    /// The protection key in the keychain; no value when absent or unusable (`unusable` tells
    /// the two apart). Read once: an absent or unusable key is looked for again next time.
    std::optional<Key256> storedProtectionKey(bool& unusable) const;
    DefaultsStore& m_standardDefault;
    Keychain& m_keychain;
    // The bridge reads the password for every request; an unreadable one is reported once.
    mutable bool m_warnedUnreadablePassword = false;
    // Kept once read or made, as the bridge needs it for every request, and a Secret Service
    // read is a D-Bus round trip in a nested event loop, which would also serve the bridge's
    // next messages in the middle of the current one.
    mutable std::optional<Key256> m_protectionKey;
};

} // namespace keskor
