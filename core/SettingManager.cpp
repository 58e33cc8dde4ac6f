#include "core/SettingManager.h"

#include "core/shared/CommonException.h"
#include "core/shared/EncryptionHelper.h"
#include "core/shared/SecureBytes.h"
#include "platform/DefaultsStore.h"
#include "platform/Keychain.h"

#include <QDebug>
#include <algorithm>
#include <limits>
#include <utility>

namespace keskor {

SettingManager::SettingManager(DefaultsStore& standardDefault, Keychain& keychain)
    : m_standardDefault(standardDefault), m_keychain(keychain) {}

bool SettingManager::boolOr(const QString& key, bool fallback) const {
    // The store logs a value of the wrong type (by key only) and gives no value for it.
    return m_standardDefault.boolValue(key).value_or(fallback);
}

int SettingManager::intOr(const QString& key, int fallback) const {
    const std::optional<qint64> stored = m_standardDefault.integerValue(key);
    if (!stored) {
        return fallback;
    }
    if (*stored < std::numeric_limits<int>::min() || *stored > std::numeric_limits<int>::max()) {
        qWarning().noquote() << "settings: the value of" << key
                             << "is out of range and is ignored; the default applies";
        return fallback;
    }
    return static_cast<int>(*stored);
}

bool SettingManager::isAutoSaving() const {
    return boolOr(autoSavingKey, defaultAutoSaving);
}
void SettingManager::setAutoSaving(bool on) {
    m_standardDefault.setBool(autoSavingKey, on);
}

std::optional<QString> SettingManager::language() const {
    return m_standardDefault.stringValue(languageKey);
}
void SettingManager::setLanguage(const std::optional<QString>& language) {
    if (language) {
        m_standardDefault.setString(languageKey, *language);
    } else {
        m_standardDefault.remove(languageKey);
    }
}

bool SettingManager::openLastUsedDb() const {
    return boolOr(openLastUsedDbKey, defaultOpenLastUsedDb);
}
void SettingManager::setOpenLastUsedDb(bool on) {
    m_standardDefault.setBool(openLastUsedDbKey, on);
}

bool SettingManager::hasToOpenLastDb() const {
    return boolOr(hasToOpenLastDbKey, defaultHasToOpenLastDb);
}
void SettingManager::setHasToOpenLastDb(bool on) {
    m_standardDefault.setBool(hasToOpenLastDbKey, on);
}

bool SettingManager::saveRecentFiles() const {
    return boolOr(saveRecentFilesKey, defaultSaveRecentFiles);
}
void SettingManager::setSaveRecentFiles(bool on) {
    m_standardDefault.setBool(saveRecentFilesKey, on);
}

int SettingManager::clipboardClearTime() const {
    return intOr(clipboardClearTimeKey, defaultClipboardClearTime);
}
void SettingManager::setClipboardClearTime(int seconds) {
    m_standardDefault.setInteger(
        clipboardClearTimeKey, seconds == never ? never : std::max(seconds, minClipboardClearTime));
}

int SettingManager::autoLockTime() const {
    return intOr(autoLockTimeKey, defaultAutoLockTime);
}
void SettingManager::setAutoLockTime(int minutes) {
    m_standardDefault.setInteger(autoLockTimeKey,
                                 minutes == never ? never : std::max(minutes, minAutoLockTime));
}

bool SettingManager::lockOnScreenLock() const {
    return boolOr(lockOnScreenLockKey, defaultLockOnScreenLock);
}
void SettingManager::setLockOnScreenLock(bool on) {
    m_standardDefault.setBool(lockOnScreenLockKey, on);
}

bool SettingManager::enterpriseLocalCopy() const {
    return boolOr(enterpriseLocalCopyKey, defaultEnterpriseLocalCopy);
}
void SettingManager::setEnterpriseLocalCopy(bool on) {
    m_standardDefault.setBool(enterpriseLocalCopyKey, on);
}

bool SettingManager::remoteRemoveClosing() const {
    return boolOr(remoteRemoveClosingKey, defaultRemoteRemoveClosing);
}
void SettingManager::setRemoteRemoveClosing(bool on) {
    m_standardDefault.setBool(remoteRemoveClosingKey, on);
}

bool SettingManager::backupOnSaving() const {
    return boolOr(backupOnSavingKey, defaultBackupOnSaving);
}
void SettingManager::setBackupOnSaving(bool on) {
    m_standardDefault.setBool(backupOnSavingKey, on);
}

bool SettingManager::backupOnOpening() const {
    return boolOr(backupOnOpeningKey, defaultBackupOnOpening);
}
void SettingManager::setBackupOnOpening(bool on) {
    m_standardDefault.setBool(backupOnOpeningKey, on);
}

int SettingManager::backupCount() const {
    return intOr(backupCountKey, defaultBackupCount);
}
void SettingManager::setBackupCount(int count) {
    m_standardDefault.setInteger(backupCountKey, count);
}

std::optional<bool> SettingManager::useSSL() const {
    return m_standardDefault.boolValue(useSSLKey);
}
void SettingManager::setUseSSL(bool on) {
    m_standardDefault.setBool(useSSLKey, on);
}

bool SettingManager::addonAutoFill() const {
    return boolOr(addonAutoFillKey, defaultAddonAutoFill);
}
void SettingManager::setAddonAutoFill(bool on) {
    m_standardDefault.setBool(addonAutoFillKey, on);
}

bool SettingManager::addonAddNewFromWeb() const {
    return boolOr(addonAddNewFromWebKey, defaultAddonAddNewFromWeb);
}
void SettingManager::setAddonAddNewFromWeb(bool on) {
    m_standardDefault.setBool(addonAddNewFromWebKey, on);
}

int SettingManager::addonWebSocketPort() const {
    return intOr(addonWebSocketPortKey, defaultAddonWebSocketPort);
}
void SettingManager::setAddonWebSocketPort(int port) {
    m_standardDefault.setInteger(addonWebSocketPortKey, port);
}

std::optional<QString> SettingManager::addonProtectPassword() const {
    const std::optional<QString> stored = m_standardDefault.stringValue(addonProtectPasswordKey);
    if (!stored) {
        return std::nullopt;
    }
    bool unusable = false;
    const std::optional<Key256> key = storedProtectionKey(unusable);
    if (!key) {
        if (!std::exchange(m_warnedUnreadablePassword, true)) {
            qWarning().noquote() << "settings: the bridge password cannot be read because its"
                                 << "protection key in the keychain item" << protectionKeychainKey
                                 << (unusable ? "is not usable" : "is missing")
                                 << "; the bridge is unprotected until a new password is set";
        }
        return std::nullopt;
    }
    std::optional<QString> password = EncryptionHelper(*key).getDec(*stored);
    if (!password && !std::exchange(m_warnedUnreadablePassword, true)) {
        qWarning().noquote() << "settings: the stored bridge password is damaged or was"
                             << "protected with another key; the bridge is unprotected until a"
                             << "new password is set";
    }
    return password;
}

void SettingManager::setAddonProtectPassword(const std::optional<QString>& password) {
    if (!password) {
        m_standardDefault.remove(addonProtectPasswordKey);
        return;
    }
    const Key256 key = protectionKeyForWriting();
    const QString protectedForm = EncryptionHelper(key).getEnc(*password);
    if (protectedForm.isEmpty()) {
        m_standardDefault.remove(addonProtectPasswordKey);
        return;
    }
    m_standardDefault.setString(addonProtectPasswordKey, protectedForm);
    m_warnedUnreadablePassword = false;
}

std::optional<Key256> SettingManager::storedProtectionKey(bool& unusable) const {
    unusable = false;
    if (m_protectionKey) {
        return m_protectionKey;
    }
    std::optional<QString> text = m_keychain.get(protectionKeychainKey);
    if (!text) {
        return std::nullopt;
    }
    QByteArray latin = text->toLatin1();
    secureWipe(*text);
    auto decoded = QByteArray::fromBase64Encoding(
        latin, QByteArray::Base64Encoding | QByteArray::AbortOnBase64DecodingErrors);
    secureWipe(latin);
    std::optional<Key256> key;
    if (decoded && decoded.decoded.size() == qsizetype(Key256::Size)) {
        key = Key256::fromBytes(decoded.decoded.constData(), Key256::Size);
    } else {
        unusable = true;
    }
    secureWipe(decoded.decoded);
    m_protectionKey = key;
    return key;
}

Key256 SettingManager::protectionKeyForWriting() {
    bool unusable = false;
    if (std::optional<Key256> key = storedProtectionKey(unusable)) {
        return std::move(*key);
    }
    if (unusable) {
        qWarning().noquote() << "settings: replacing the unusable protection key in the"
                             << "keychain item" << protectionKeychainKey;
    }
    // First protected value of this installation, or the old key is gone: whatever it
    // protected is unreadable either way, so a new key loses nothing.
    Key256 key = Key256::random();
    QByteArray encoded = key.bytes().toByteArray().toBase64();
    QString text = QString::fromLatin1(encoded);
    secureWipe(encoded);
    try {
        m_keychain.set(protectionKeychainKey, text);
    } catch (const CommonException&) {
        secureWipe(text);
        throw CommonException(
            QStringLiteral("The bridge password cannot be stored: the keychain refused its "
                           "protection key."));
    }
    secureWipe(text);
    m_protectionKey = key;
    return key;
}

bool SettingManager::enterprisePinCertificate() const {
    return boolOr(enterprisePinCertificateKey, defaultEnterprisePinCertificate);
}
void SettingManager::setEnterprisePinCertificate(bool on) {
    m_standardDefault.setBool(enterprisePinCertificateKey, on);
}

bool SettingManager::enterpriseSSL() const {
    return boolOr(enterpriseSSLKey, defaultEnterpriseSSL);
}
void SettingManager::setEnterpriseSSL(bool on) {
    m_standardDefault.setBool(enterpriseSSLKey, on);
}

std::optional<QString> SettingManager::appLanguage() const {
    return m_standardDefault.stringValue(appLanguageKey);
}
void SettingManager::setAppLanguage(const std::optional<QString>& code) {
    if (code) {
        m_standardDefault.setString(appLanguageKey, *code);
    } else {
        m_standardDefault.remove(appLanguageKey);
    }
}

std::optional<QStringList> SettingManager::appleLanguages() const {
    return m_standardDefault.stringList(appleLanguagesKey);
}
void SettingManager::setAppleLanguages(const std::optional<QStringList>& codes) {
    if (codes) {
        m_standardDefault.setStringList(appleLanguagesKey, *codes);
    } else {
        m_standardDefault.remove(appleLanguagesKey);
    }
}

QString SettingManager::autoCompleteShortcut() const {
    return m_standardDefault.stringValue(autoCompleteShortcutKey)
        .value_or(QString::fromLatin1(defaultAutoCompleteShortcut));
}
void SettingManager::setAutoCompleteShortcut(const QString& shortcut) {
    m_standardDefault.setString(autoCompleteShortcutKey, shortcut);
}

void SettingManager::resetToDefaults() {
    m_standardDefault.remove(appLanguageKey);
    setAutoSaving(defaultAutoSaving);
    setOpenLastUsedDb(defaultOpenLastUsedDb);
    setSaveRecentFiles(defaultSaveRecentFiles);
    setClipboardClearTime(defaultClipboardClearTime);
    setAutoLockTime(defaultAutoLockTime);
    setEnterpriseSSL(defaultEnterpriseSSL);
    setEnterpriseLocalCopy(defaultEnterpriseLocalCopy);
    setRemoteRemoveClosing(defaultRemoteRemoveClosing);
    setBackupCount(defaultBackupCount);
    setBackupOnOpening(defaultBackupOnOpening);
    setBackupOnSaving(defaultBackupOnSaving);
    setAddonAutoFill(defaultAddonAutoFill);
    setAddonAddNewFromWeb(defaultAddonAddNewFromWeb);
    setAddonWebSocketPort(defaultAddonWebSocketPort);
    m_standardDefault.remove(addonProtectPasswordKey);
    setLockOnScreenLock(defaultLockOnScreenLock);
    m_standardDefault.remove(autoCompleteShortcutKey);
}

void SettingManager::synchronize() {
    m_standardDefault.sync();
}

} // namespace keskor
