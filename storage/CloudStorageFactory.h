#pragma once
// Makes the storage object of each cloud drive for the application's RemoteStorageManager.
// The providers share one network manager and HTTP client; their hosts and client identifiers
// come from the deployment.

#include "core/IRemoteStorage.h"
#include "core/Location.h"
#include "storage/HttpClient.h"
#include "storage/OAuthFlow.h"

#include <QNetworkAccessManager>
#include <memory>

namespace keskor {

class AppPaths;
class Deployment;
class Keychain;
class SessionManager;

class CloudStorageFactory {
public:
    struct Services {
        const AppPaths& paths;
        Keychain& keychain;
        const Deployment& deployment;
        HttpClient::TextLookup text;
        /// Shows the provider's sign-in page: the desktop opens the browser, the CLI also
        /// prints the address.
        OAuthFlow::OpenBrowser openBrowser;
    };

    explicit CloudStorageFactory(Services services);
    CloudStorageFactory(const CloudStorageFactory&) = delete;
    CloudStorageFactory& operator=(const CloudStorageFactory&) = delete;

    /// The provider of a cloud location; nullptr for every other location.
    std::unique_ptr<IRemoteStorage> create(Location location, SessionManager& session);

private:
    Services m_services;
    QNetworkAccessManager m_network;
    HttpClient m_http;
};

} // namespace keskor
