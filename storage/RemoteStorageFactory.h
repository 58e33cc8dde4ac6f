#pragma once
// Makes the storage object of each remote location (the five cloud drives and the enterprise
// server) for the application's RemoteStorageManager. The cloud providers share one network
// manager and HTTP client; their hosts and client identifiers come from the deployment.

#include "core/IRemoteStorage.h"
#include "core/Location.h"
#include "storage/HttpClient.h"
#include "storage/OAuthFlow.h"

#include <QNetworkAccessManager>
#include <memory>

namespace keskor {

class AppPaths;
class DefaultsStore;
class Deployment;
class Keychain;
class SessionManager;

class RemoteStorageFactory {
public:
    struct Services {
        const AppPaths& paths;
        DefaultsStore& defaults;
        Keychain& keychain;
        const Deployment& deployment;
        HttpClient::TextLookup text;
        /// Shows the provider's sign-in page: the desktop opens the browser, the CLI also
        /// prints the address.
        OAuthFlow::OpenBrowser openBrowser;
    };

    explicit RemoteStorageFactory(Services services);
    RemoteStorageFactory(const RemoteStorageFactory&) = delete;
    RemoteStorageFactory& operator=(const RemoteStorageFactory&) = delete;

    /// The storage of a remote location; nullptr for the local ones and FTP.
    std::unique_ptr<IRemoteStorage> create(Location location, SessionManager& session);

private:
    Services m_services;
    QNetworkAccessManager m_network;
    HttpClient m_http;
};

} // namespace keskor
