#include "storage/CloudStorageFactory.h"

#include "platform/Deployment.h"
#include "storage/onedrive/OneDriveStorage.h"

namespace keskor {

CloudStorageFactory::CloudStorageFactory(Services services)
    : m_services(std::move(services)), m_http(m_network, m_services.text) {}

std::unique_ptr<IRemoteStorage> CloudStorageFactory::create(Location location,
                                                            SessionManager& session) {
    const Deployment& deployment = m_services.deployment;
    switch (location) {
    case Location::oneDrive:
        return std::make_unique<OneDriveStorage>(
            OneDriveStorage::Services{m_services.paths, session, m_services.keychain, m_http,
                                      m_services.text, m_services.openBrowser},
            deployment.oneDrive);
    default:
        return nullptr;
    }
}

} // namespace keskor
