#pragma once
// The storage of the location dropbox: a Dropbox account signed in through the browser
// (authorisation code with PKCE, offline access so the refresh token outlives a restart), and
// the databases in the root of the application's Dropbox space, over the Dropbox API v2: RPC
// routes on the API host, file content on the content host. A file's Dropbox path is "/" and
// its name; there is no folder of our own and no extension filter.

#include "core/IRemoteStorage.h"
#include "platform/Deployment.h"
#include "storage/HttpClient.h"
#include "storage/OAuthFlow.h"
#include "storage/OAuthSession.h"
#include "storage/ProviderServices.h"

#include <QJsonObject>
#include <QString>

namespace keskor {

class AppPaths;
class Keychain;
class SessionManager;

class DropboxStorage : public IRemoteStorage {
public:
    using Services = ProviderServices;
    /// Where the tokens are kept between runs.
    static inline const QString kTokensKey = QStringLiteral("com.tamvel.keskor.dropbox");

    DropboxStorage(Services services, const Deployment::Dropbox& deployment);

    void login(Success success, Failure failure) override;
    /// The browser returns to the loopback listener of the sign-in, not through here.
    void handleRedirect(const QUrl&) override {}
    bool isLoggedIn() const override;
    void logout() override;
    void listFiles(std::function<void(FileList)> success, Failure failure) override;
    void downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                      Failure failure) override;
    void saveCurrentFile(Success success, Failure failure) override;
    void deleteFiles(FileList files, Success success, Failure failure) override;

    /// The "Dropbox-API-Arg" header of `argument`: JSON in ASCII, other characters escaped.
    static QByteArray apiArg(const QJsonObject& argument);

private:
    HttpClient::Request rpc(const QString& route, const QJsonObject& argument) const;
    void listPage(HttpClient::Request request, std::shared_ptr<FileList> files, int pages,
                  std::function<void(FileList)> success, Failure failure);
    void deleteEach(FileList files, Success success, Failure failure);
    /// "/" and the name; empty (with `failure` called) for a name that is no file name.
    QString dropboxPath(const RemoteFileInfo& file, const Failure& failure) const;
    QString unexpectedText() const;

    Services m_services;
    QUrl m_apiHost;
    QUrl m_contentHost;
    OAuthFlow m_flow;
    OAuthSession m_account;
};

} // namespace keskor
