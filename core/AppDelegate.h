#pragma once
// The application object: owns the main manager and the database workflows, and runs the
// start-up and quit sequences. It knows no window: the desktop UI, `keskor --headless` and the
// tests drive it through the presenter and the hooks below.

#include "core/BackupStorage.h"
#include "core/DatabaseController.h"
#include "core/MainManager.h"
#include "core/SettingsController.h"

#include <functional>
#include <memory>

namespace keskor {

class AppPaths;
class DefaultsStore;
class Keychain;
class NotificationCenter;
class Presenter;

class AppDelegate {
public:
    struct Services {
        const AppPaths& paths;
        DefaultsStore& defaults;
        Keychain& keychain;
        NotificationCenter& notifications;
        Presenter& presenter;
        DatabaseController::TextLookup text;
        std::function<int(const QString&)> quality;
        bool strictAccountRules = false;
        MainManager::StorageFactory storageFactory;
        MainManager::WebSocketFactory websocket;
        /// Installs the application-wide activity monitor and starts the idle timer.
        std::function<void()> installIdleTimer;
        /// Where backups are listed and the opening backup is written; the global pool when
        /// none is given.
        QThreadPool* backupPool = nullptr;
    };

    explicit AppDelegate(Services services);
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    MainManager& mainManager() { return m_main; }
    const AppPaths& paths() const { return m_paths; }
    BackupStorage& backups() { return m_backups; }
    /// The settings screen's logic; a changed port restarts the bridge.
    SettingsController& settings() { return m_settings; }
    DatabaseController& databases() { return m_databases; }

    /// Starts the browser bridge on the port setting.
    void applicationDidFinishLaunching();
    /// Builds what the main window shows and reopens the last database when both settings ask
    /// for it; then the idle timer starts.
    void mainWindowDidLoad();
    /// The quit questions; true when the program may end now.
    bool applicationShouldTerminate();
    /// Ends the run: stops the bridge, wipes the session, finishes the backups being written
    /// and empties the cloud working folders, waiting for both.
    void applicationWillTerminate();

private:
    const AppPaths& m_paths;
    Presenter& m_presenter;
    std::function<void()> m_installIdleTimer;
    MainManager m_main;
    BackupStorage m_backups;
    DatabaseController m_databases;
    SettingsController m_settings;
    NotificationCenter& m_notifications;
};

} // namespace keskor
