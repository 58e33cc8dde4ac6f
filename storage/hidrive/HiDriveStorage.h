#pragma once
// The storage of the location hiDrive: the user signs in on the provider's page in the browser
// and copies the code it shows back into the program (the file browser asks for it), which
// trades it for tokens kept as two keychain entries. The databases live in the folder "Keskor"
// of the user's home folder "/users/" + alias, over the HiDrive REST API 2.1. The alias comes
// with every token answer and is not stored, so it is learnt again from the refresh that each
// list and upload starts with.

#include "core/IAuthorizationCodeExchange.h"
#include "core/IRemoteStorage.h"
#include "platform/Deployment.h"
#include "storage/ProviderServices.h"
#include "storage/TokenPairSession.h"

#include <QString>
#include <QUrl>

namespace keskor {

class HiDriveStorage : public IRemoteStorage, public IAuthorizationCodeExchange {
public:
    using Services = ProviderServices;
    static inline const QString kAuthorizerTokenKey =
        QStringLiteral("com.tamvel.keskor.hidrive.access-token");
    static inline const QString kAuthorizerRefreshKey =
        QStringLiteral("com.tamvel.keskor.hidrive.refresh-token");

    HiDriveStorage(Services services, const Deployment::HiDrive& deployment);

    /// Only opens the provider's page; the sign-in ends in exchangeCode. The callbacks are not
    /// used.
    void login(Success success, Failure failure) override;
    void exchangeCode(const QString& code, Success success, Failure failure) override;
    void handleRedirect(const QUrl&) override {}
    bool isLoggedIn() const override;
    void logout() override;
    void listFiles(std::function<void(FileList)> success, Failure failure) override;
    void downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                      Failure failure) override;
    void saveCurrentFile(Success success, Failure failure) override;
    void deleteFiles(FileList files, Success success, Failure failure) override;

private:
    void findOrCreateFolder(std::function<void(const QString& id)> found, Failure failure,
                            bool mayCreate = true);
    /// An API address with its parameters, each value percent-encoded whole.
    QUrl api(const QString& path, const QList<QPair<QString, QString>>& parameters) const;
    QString text(const char* key) const;

    Services m_services;
    Deployment::HiDrive m_deployment;
    TokenPairSession m_tokens;
};

} // namespace keskor
