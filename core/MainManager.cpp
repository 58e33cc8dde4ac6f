#include "core/MainManager.h"

#include "core/InactiveWebSocketManager.h"

namespace keskor {

MainManager::MainManager(DefaultsStore& defaults, Keychain& keychain,
                         NotificationCenter& notifications, StorageFactory storageFactory,
                         const WebSocketFactory& websocket)
    : storageManager(defaults),
      remoteStorageManager(storageFactory
                               ? RemoteStorageManager::Factory(
                                     [this, make = std::move(storageFactory)](Location location) {
                                         return make(location, sessionManager);
                                     })
                               : RemoteStorageManager::Factory()),
      recentFilesManager(defaults), statusManager(notifications),
      settingManager(defaults, keychain),
      websocketManager(websocket ? websocket(sessionManager, settingManager)
                                 : std::make_unique<InactiveWebSocketManager>()) {}

} // namespace keskor
