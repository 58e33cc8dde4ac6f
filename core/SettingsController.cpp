#include "core/SettingsController.h"

#include "core/SettingManager.h"
#include "core/shared/SecureBytes.h"
#include "platform/Presenter.h"

#include <QKeySequence>
#include <QStringList>
#include <algorithm>
#include <limits>

namespace keskor {

namespace {

std::optional<qint64> parseDecimal(const QString& text) {
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

int clampToInt(qint64 n) {
    return static_cast<int>(
        std::clamp<qint64>(n, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// A time field that is not a number takes the setting's default; the clamping setter does the
// rest.
int timeFieldValue(const QString& text, int fallback) {
    const std::optional<qint64> n = parseDecimal(text);
    return n ? clampToInt(*n) : fallback;
}

} // namespace

SettingsController::SettingsController(SettingManager& settings, Presenter& presenter,
                                       RestartBridge restartBridge)
    : m_settings(settings), m_presenter(presenter), m_restartBridge(std::move(restartBridge)) {}

SettingsValues SettingsController::load() const {
    SettingsValues v;
    v.openLastUsedDb = m_settings.openLastUsedDb();
    v.saveRecentFiles = m_settings.saveRecentFiles();
    v.autoSaving = m_settings.isAutoSaving();
    v.enterpriseLocalCopy = m_settings.enterpriseLocalCopy();
    v.remoteRemoveClosing = m_settings.remoteRemoveClosing();
    v.backupOnOpening = m_settings.backupOnOpening();
    v.backupOnSaving = m_settings.backupOnSaving();
    v.enterpriseSSL = m_settings.enterpriseSSL();
    v.addonAutoFill = m_settings.addonAutoFill();
    v.addonAddNewFromWeb = m_settings.addonAddNewFromWeb();
    v.portText = QString::number(m_settings.addonWebSocketPort());
    v.backupCountText = QString::number(m_settings.backupCount());

    const int clipboard = m_settings.clipboardClearTime();
    v.clipboardClearOn = clipboard != SettingManager::never;
    v.clipboardClearTimeText =
        QString::number(v.clipboardClearOn ? clipboard : SettingManager::defaultClipboardClearTime);
    const int lock = m_settings.autoLockTime();
    v.autoLockOn = lock != SettingManager::never;
    v.autoLockTimeText = QString::number(v.autoLockOn ? lock : SettingManager::defaultAutoLockTime);
    v.lockOnScreenLock = m_settings.lockOnScreenLock();

    v.languageId = m_settings.appLanguage().value_or(autoLanguage);
    v.autoCompleteShortcut = m_settings.autoCompleteShortcut();

    std::optional<QString> password = m_settings.addonProtectPassword();
    v.addonPasswordProtected = password.has_value();
    if (password) {
        secureWipe(*password);
    }
    return v;
}

SettingsController::ConfirmResult SettingsController::confirm(const SettingsValues& values) {
    ConfirmResult result;

    // Everything is checked before anything is stored, so a rejected entry leaves the stored
    // settings as they were and the user can correct it in the open dialog.
    const std::optional<qint64> parsedPort = parseDecimal(values.portText);
    result.portDefaulted = !parsedPort;
    const qint64 port = parsedPort.value_or(SettingManager::defaultAddonWebSocketPort);
    if (port < minimum(NumberField::port) || port > maxPort) {
        result.rejected = true;
        m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_warning")),
                          UiText::key(QStringLiteral("error_invalid_port")), {});
        return result;
    }
    const std::optional<qint64> parsedCount = parseDecimal(values.backupCountText);
    const qint64 backupCount = parsedCount.value_or(SettingManager::defaultBackupCount);
    if (backupCount < minimum(NumberField::backupCount) ||
        backupCount > std::numeric_limits<int>::max()) {
        result.rejected = true;
        m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_warning")),
                          UiText::key(QStringLiteral("error_invalid_backup_count")), {});
        return result;
    }
    const QString shortcut = values.autoCompleteShortcut.trimmed();
    const QKeySequence sequence = QKeySequence::fromString(shortcut, QKeySequence::PortableText);
    // An unknown key name parses to one chord that has no text.
    if (!shortcut.isEmpty() &&
        (sequence.count() != 1 || sequence.toString(QKeySequence::PortableText).isEmpty())) {
        result.rejected = true;
        m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("dialog_warning")),
                          UiText::key(QStringLiteral("error_invalid_shortcut")), {});
        return result;
    }

    m_settings.setOpenLastUsedDb(values.openLastUsedDb);
    m_settings.setSaveRecentFiles(values.saveRecentFiles);
    m_settings.setAutoSaving(values.autoSaving);
    m_settings.setEnterpriseLocalCopy(values.enterpriseLocalCopy);
    m_settings.setRemoteRemoveClosing(values.remoteRemoveClosing);
    m_settings.setBackupOnOpening(values.backupOnOpening);
    m_settings.setBackupOnSaving(values.backupOnSaving);
    m_settings.setEnterpriseSSL(values.enterpriseSSL);
    m_settings.setAddonAutoFill(values.addonAutoFill);
    m_settings.setAddonAddNewFromWeb(values.addonAddNewFromWeb);
    m_settings.setLockOnScreenLock(values.lockOnScreenLock);

    if (port != m_settings.addonWebSocketPort()) {
        m_settings.setAddonWebSocketPort(static_cast<int>(port));
        result.portChanged = true;
        if (m_restartBridge) {
            m_restartBridge(static_cast<int>(port));
        }
    }

    m_settings.setBackupCount(static_cast<int>(backupCount));

    m_settings.setClipboardClearTime(values.clipboardClearOn
                                         ? timeFieldValue(values.clipboardClearTimeText,
                                                          SettingManager::defaultClipboardClearTime)
                                         : SettingManager::never);
    m_settings.setAutoLockTime(
        values.autoLockOn
            ? timeFieldValue(values.autoLockTimeText, SettingManager::defaultAutoLockTime)
            : SettingManager::never);

    const QString normalised = sequence.toString(QKeySequence::PortableText);
    if (normalised != m_settings.autoCompleteShortcut()) {
        m_settings.setAutoCompleteShortcut(normalised);
        if (m_shortcutChanged) {
            m_shortcutChanged();
        }
    }

    storeLanguage(values.languageId, result);
    return result;
}

void SettingsController::storeLanguage(const QString& languageId, ConfirmResult& result) {
    const QString selected = languageId.trimmed().isEmpty() ? autoLanguage : languageId.trimmed();
    if (selected == m_settings.appLanguage().value_or(autoLanguage)) {
        return;
    }
    if (selected == autoLanguage) {
        m_settings.setAppLanguage(std::nullopt);
        m_settings.setAppleLanguages(std::nullopt);
    } else {
        m_settings.setAppLanguage(selected);
        m_settings.setAppleLanguages(QStringList{selected});
    }
    // The language is read once at start-up; make sure it is on disk before telling the user
    // that a restart applies it.
    m_settings.synchronize();
    result.languageChanged = true;
    m_presenter.alert(AlertStyle::informational, UiText::key(QStringLiteral("app_name")),
                      UiText::key(QStringLiteral("setting_language_restart")), {});
}

SettingsValues SettingsController::resetToDefaults() {
    const int portBefore = m_settings.addonWebSocketPort();
    const QString shortcutBefore = m_settings.autoCompleteShortcut();
    m_settings.resetToDefaults();
    const int portAfter = m_settings.addonWebSocketPort();
    if (portAfter != portBefore && m_restartBridge) {
        m_restartBridge(portAfter);
    }
    if (m_settings.autoCompleteShortcut() != shortcutBefore && m_shortcutChanged) {
        m_shortcutChanged();
    }
    return load();
}

int SettingsController::minimum(NumberField field) {
    switch (field) {
    case NumberField::clipboardClearTime:
        return SettingManager::minClipboardClearTime;
    case NumberField::autoLockTime:
    case NumberField::backupCount:
    case NumberField::port:
        return 1;
    }
    return 1;
}

std::optional<int> SettingsController::nudge(NumberField field, int current, int step) {
    const qint64 next = qint64(current) + step;
    if (next < minimum(field) || next > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(next);
}

std::optional<QString> SettingsController::nudgeText(NumberField field, const QString& text,
                                                     int step) {
    const std::optional<qint64> n = parseDecimal(text);
    const std::optional<int> next = nudge(field, n ? clampToInt(*n) : 0, step);
    if (!next) {
        return std::nullopt;
    }
    return QString::number(*next);
}

} // namespace keskor
