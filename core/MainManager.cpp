#include "core/MainManager.h"

#include "core/InactiveWebSocketManager.h"

namespace keskor {

MainManager::MainManager(DefaultsStore& defaults, Keychain& keychain,
                         NotificationCenter& notifications,
                         RemoteStorageManager::Factory storageFactory,
                         std::unique_ptr<IWebSocketManager> websocket)
    : storageManager(defaults), remoteStorageManager(std::move(storageFactory)),
      recentFilesManager(defaults), statusManager(notifications),
      settingManager(defaults, keychain),
      websocketManager(websocket ? std::move(websocket)
                                 : std::make_unique<InactiveWebSocketManager>()) {}

} // namespace keskor
