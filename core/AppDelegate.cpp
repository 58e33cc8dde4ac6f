#include "core/AppDelegate.h"

#include "platform/AppPaths.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationNames.h"
#include "platform/Presenter.h"

#include <QDebug>
#include <QSemaphore>

namespace keskor {

AppDelegate::AppDelegate(Services s)
    : m_paths(s.paths), m_presenter(s.presenter), m_installIdleTimer(std::move(s.installIdleTimer)),
      m_main(s.defaults, s.keychain, s.notifications, std::move(s.storageFactory), s.websocket),
      m_backups(
          s.paths, [this] { return m_main.settingManager.backupCount(); }, s.backupPool),
      m_databases(DatabaseController::Dependencies{
          s.paths, m_main.sessionManager, m_main.settingManager, m_main.recentFilesManager,
          m_main.remoteStorageManager, m_main.statusManager, s.notifications, s.presenter,
          std::move(s.text), std::move(s.quality), s.strictAccountRules, m_backups}),
      m_settings(m_main.settingManager, s.presenter,
                 [this](int port) { m_main.websocketManager->restartServer(port); }),
      m_notifications(s.notifications) {}

void AppDelegate::applicationDidFinishLaunching() {
    const int port = m_main.settingManager.addonWebSocketPort();
    if (port < 1 || port > 65535) {
        // A hand-edited port outside the range starts nothing rather than something unexpected.
        qWarning().noquote() << "settings: the browser bridge port" << port
                             << "is not a valid port; the bridge is not started";
        return;
    }
    m_main.websocketManager->startServer(port);
}

void AppDelegate::mainWindowDidLoad() {
    m_notifications.post(NotificationNames::SetLocationBar);
    const SettingManager& settings = m_main.settingManager;
    if (settings.openLastUsedDb() && settings.hasToOpenLastDb()) {
        const QList<DatabaseInfo> recent = m_main.recentFilesManager.recentFiles();
        if (!recent.isEmpty()) {
            m_databases.openDatabase(recent.front(), true);
        }
    }
    if (m_installIdleTimer) {
        m_installIdleTimer();
    }
}

bool AppDelegate::applicationShouldTerminate() {
    const SessionManager& session = m_main.sessionManager;
    if (session.uploadingStatus &&
        m_presenter.alert(AlertStyle::warning, UiText::key(QStringLiteral("uploading_in_progress")),
                          UiText::key(QStringLiteral("quite_lose_data")),
                          {UiText::key(QStringLiteral("quite_anyway")),
                           UiText::key(QStringLiteral("dialog_cancel"))}) != 0) {
        return false;
    }
    if (m_main.settingManager.isAutoSaving()) {
        return true;
    }
    if (session.currentPassFile && session.currentPassFile->isEnterprise()) {
        return true;
    }
    return m_databases.confirmDiscardOrSave();
}

void AppDelegate::applicationWillTerminate() {
    m_main.websocketManager->stopServer();
    // The credentials and derived keys are wiped now, not whenever the process ends.
    m_main.sessionManager.close();
    // An opening backup still being written is finished, not lost.
    m_backups.waitForBackups();
    // The clean-up runs on a background thread; the process must not end before it did.
    QSemaphore finished;
    m_databases.cleanUpAtTermination([&finished](bool) { finished.release(); });
    finished.acquire();
}

} // namespace keskor
