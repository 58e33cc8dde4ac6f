#pragma once
// The storage of the location oneDrive: a Microsoft account signed in through the browser
// (authorisation code with PKCE at the identity platform), and the databases of the folder
// "Keskor" inside the drive's special "documents" folder, over Microsoft Graph v1.0.
// The account part (refresh, tenantIdentifier, accessToken) also serves the enterprise
// server's Azure log-in.

#include "core/IRemoteStorage.h"
#include "platform/Deployment.h"
#include "storage/HttpClient.h"
#include "storage/OAuthFlow.h"
#include "storage/OAuthSession.h"
#include "storage/ProviderServices.h"

#include <QString>

namespace keskor {

class AppPaths;
class Keychain;
class SessionManager;

class OneDriveStorage : public IRemoteStorage {
public:
    using Services = ProviderServices;
    /// Where the tokens are kept between runs.
    static inline const QString kTokensKey = QStringLiteral("com.tamvel.keskor.onedrive");

    OneDriveStorage(Services services, const Deployment::OneDrive& deployment);

    void login(Success success, Failure failure) override;
    void handleRedirect(const QUrl&) override {}
    bool isLoggedIn() const override;
    void logout() override;
    void listFiles(std::function<void(FileList)> success, Failure failure) override;
    void downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                      Failure failure) override;
    void saveCurrentFile(Success success, Failure failure) override;
    void deleteFiles(FileList files, Success success, Failure failure) override;

    // The account, for the Azure log-in of the enterprise server.
    /// A fresh access token (refreshed when about to expire), then `success`.
    void refresh(Success success, Failure failure);
    QString accessToken() const;
    /// The tenant of the signed-in account ("tid" of the id token); empty when not reported.
    QString tenantIdentifier() const;

private:
    QUrl graph(const QString& path) const;
    void findOrCreateFolder(std::function<void(const QString& id)> found, Failure failure);
    void listPage(const QUrl& url, std::shared_ptr<FileList> files, int pages,
                  std::function<void(FileList)> success, Failure failure);
    QString folderText() const;

    Services m_services;
    QUrl m_graphEndpoint;
    OAuthFlow m_flow;
    OAuthSession m_account;
};

} // namespace keskor
