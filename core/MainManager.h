#pragma once
// The composition root of the core: one instance of each manager for the life of the process,
// created together, in this order. Every part reaches them through the application object;
// none creates its own.

#include "core/IWebSocketManager.h"
#include "core/LocalStorageManager.h"
#include "core/RecentFileManager.h"
#include "core/RemoteStorageManager.h"
#include "core/SessionManager.h"
#include "core/SettingManager.h"
#include "core/StatusManager.h"

#include <functional>
#include <memory>

namespace keskor {

class DefaultsStore;
class Keychain;
class NotificationCenter;

class MainManager {
public:
    /// Builds the browser bridge over the managers it serves; without one the bridge is off.
    using WebSocketFactory = std::function<std::unique_ptr<IWebSocketManager>(
        SessionManager& session, SettingManager& settings)>;

    /// Makes the storage of a remote location; providers work over the session's working
    /// copies. Without one no remote location has a store.
    using StorageFactory =
        std::function<std::unique_ptr<IRemoteStorage>(Location location, SessionManager& session)>;

    MainManager(DefaultsStore& defaults, Keychain& keychain, NotificationCenter& notifications,
                StorageFactory storageFactory, const WebSocketFactory& websocket);
    MainManager(const MainManager&) = delete;
    MainManager& operator=(const MainManager&) = delete;

    SessionManager sessionManager;
    LocalStorageManager storageManager;
    RemoteStorageManager remoteStorageManager;
    RecentFileManager recentFilesManager;
    StatusManager statusManager;
    SettingManager settingManager;
    std::unique_ptr<IWebSocketManager> websocketManager;
};

} // namespace keskor
