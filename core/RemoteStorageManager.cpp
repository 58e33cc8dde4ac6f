#include "core/RemoteStorageManager.h"

namespace keskor {

RemoteStorageManager::RemoteStorageManager(Factory factory) : m_factory(std::move(factory)) {}

bool RemoteStorageManager::hasStore(Location location) {
    switch (location) {
    case Location::enterprise:
    case Location::dropbox:
    case Location::gDrive:
    case Location::oneDrive:
    case Location::box:
    case Location::hiDrive:
        return true;
    default:
        return false;
    }
}

IRemoteStorage* RemoteStorageManager::storage(Location location) {
    if (const auto it = m_remoteStorages.find(location); it != m_remoteStorages.end()) {
        return it->second.get();
    }
    if (!hasStore(location) || !m_factory) {
        return nullptr;
    }
    std::unique_ptr<IRemoteStorage> made = m_factory(location);
    if (!made) {
        return nullptr;
    }
    return m_remoteStorages.emplace(location, std::move(made)).first->second.get();
}

} // namespace keskor
