#pragma once
// The storage of the location box: a Box account signed in through the browser (authorisation
// code returned to the "boxsdk-" redirect, exchanged with the client secret), and the
// databases of the folder "Keskor" directly under the root folder "0", over the Box content API
// 2.0. Folder listings come in pages (offset and limit); uploads go to the upload host as
// multipart forms; a download follows the content route's redirect without the token.

#include "core/IRemoteStorage.h"
#include "platform/Deployment.h"
#include "storage/ProviderServices.h"
#include "storage/TokenPairSession.h"

#include <QJsonArray>
#include <QString>

namespace keskor {

class BoxStorage : public IRemoteStorage {
public:
    using Services = ProviderServices;
    static inline const QString kAuthorizerTokenKey =
        QStringLiteral("com.tamvel.keskor.box.access-token");
    static inline const QString kAuthorizerRefreshKey =
        QStringLiteral("com.tamvel.keskor.box.refresh-token");

    BoxStorage(Services services, const Deployment::Box& deployment);

    /// With stored tokens a refresh; otherwise the browser opens and the sign-in ends in
    /// handleRedirect.
    void login(Success success, Failure failure) override;
    /// The code is all text after the first "=" of the redirect.
    void handleRedirect(const QUrl& url) override;
    bool isLoggedIn() const override;
    void logout() override;
    void listFiles(std::function<void(FileList)> success, Failure failure) override;
    void downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                      Failure failure) override;
    void saveCurrentFile(Success success, Failure failure) override;
    void deleteFiles(FileList files, Success success, Failure failure) override;

    /// Where the browser returns after the sign-in.
    QString redirectUrl() const;

private:
    using Entries = std::function<void(const QJsonArray& entries)>;
    /// Every entry of a folder, page by page; `stop` ends the paging early when it returns
    /// true for a page's entries.
    void listFolder(const QString& folderId, const QString& fields, int offset,
                    std::shared_ptr<QJsonArray> entries,
                    std::function<bool(const QJsonArray& page)> stop, Entries done,
                    Failure failure);
    void findOrCreateFolder(std::function<void(const QString& id)> found, Failure failure,
                            bool mayCreate = true);
    void upload(const std::shared_ptr<RemoteFileInfo>& file, const QByteArray& bytes,
                const QString& folderId, Success success, Failure failure);
    QUrl api(const QString& path) const;
    QString text(const char* key) const;

    Services m_services;
    Deployment::Box m_deployment;
    TokenPairSession m_tokens;
    Success m_authSuccessCallback;
    Failure m_authFailCallback;
};

} // namespace keskor
