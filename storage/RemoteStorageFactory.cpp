#include "storage/RemoteStorageFactory.h"

#include "enterprise/EnterpriseStorage.h"
#include "platform/Deployment.h"
#include "storage/box/BoxStorage.h"
#include "storage/dropbox/DropboxStorage.h"
#include "storage/gdrive/GDriveStorage.h"
#include "storage/hidrive/HiDriveStorage.h"
#include "storage/onedrive/OneDriveStorage.h"

namespace keskor {

RemoteStorageFactory::RemoteStorageFactory(Services services)
    : m_services(std::move(services)), m_http(m_network, m_services.text) {}

std::unique_ptr<IRemoteStorage> RemoteStorageFactory::create(Location location,
                                                             SessionManager& session) {
    const Deployment& deployment = m_services.deployment;
    const ProviderServices services{m_services.paths, session,         m_services.keychain,
                                    m_http,           m_services.text, m_services.openBrowser};
    switch (location) {
    case Location::enterprise: {
        auto storage =
            std::make_unique<EnterpriseStorage>(m_services.defaults, m_services.keychain);
        storage->setTextLookup(m_services.text);
        return storage;
    }
    case Location::oneDrive:
        return std::make_unique<OneDriveStorage>(services, deployment.oneDrive);
    case Location::gDrive:
        return std::make_unique<GDriveStorage>(services, deployment.gDrive);
    case Location::dropbox:
        return std::make_unique<DropboxStorage>(services, deployment.dropbox);
    case Location::box:
        return std::make_unique<BoxStorage>(services, deployment.box);
    case Location::hiDrive:
        return std::make_unique<HiDriveStorage>(services, deployment.hiDrive);
    default:
        return nullptr;
    }
}

} // namespace keskor
