#include "core/MainManager.h"

#include "core/InactiveWebSocketManager.h"

namespace keskor {

MainManager::MainManager(DefaultsStore& defaults, Keychain& keychain,
                         NotificationCenter& notifications,
                         RemoteStorageManager::Factory storageFactory,
                         const WebSocketFactory& websocket)
    : storageManager(defaults), remoteStorageManager(std::move(storageFactory)),
      recentFilesManager(defaults), statusManager(notifications),
      settingManager(defaults, keychain),
      websocketManager(websocket ? websocket(sessionManager, settingManager)
                                 : std::make_unique<InactiveWebSocketManager>()) {}

} // namespace keskor
