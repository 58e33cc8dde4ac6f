#pragma once
// The storage of the location gDrive: a Google account signed in through the browser
// (authorisation code with PKCE, installed-application client), and the databases of a folder
// "Keskor" that the user owns, over the Drive v3 REST interface. The tokens and the account's
// e-mail are kept in the keychain, so a sign-in survives a restart; every Drive query names
// the e-mail as owner, so shared or trashed folders and files are never taken for ours.
// A file's `path` is its Drive name, which may hold slashes; its working copy is `name`.

#include "core/IRemoteStorage.h"
#include "platform/Deployment.h"
#include "storage/HttpClient.h"
#include "storage/OAuthFlow.h"
#include "storage/OAuthSession.h"
#include "storage/ProviderServices.h"

#include <QJsonObject>
#include <QString>
#include <optional>

namespace keskor {

class AppPaths;
class Keychain;
class SessionManager;

class GDriveStorage : public IRemoteStorage {
public:
    using Services = ProviderServices;
    /// The authorisation (tokens) between runs.
    static inline const QString kTokensKey = QStringLiteral("com.tamvel.keskor.gdrive");
    /// The signed-in account's e-mail between runs.
    static inline const QString kEmailKey = QStringLiteral("com.tamvel.keskor.gdrive.email");

    GDriveStorage(Services services, const Deployment::GDrive& deployment);

    void login(Success success, Failure failure) override;
    void handleRedirect(const QUrl&) override {}
    bool isLoggedIn() const override;
    void logout() override;
    void listFiles(std::function<void(FileList)> success, Failure failure) override;
    void downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                      Failure failure) override;
    void saveCurrentFile(Success success, Failure failure) override;
    void deleteFiles(FileList files, Success success, Failure failure) override;

private:
    using Found = std::function<void(const QList<QJsonObject>& files)>;

    QUrl api(const QString& path, const QList<QPair<QString, QString>>& query = {}) const;
    void fetchUser(Success success, Failure failure);
    void forgetAccount();
    /// Every file that the Drive query `q` matches, over as many pages as the answer has.
    void search(const QString& q, Found found, Failure failure);
    void searchPage(const QString& q, const QString& pageToken,
                    std::shared_ptr<QList<QJsonObject>> files, int pages, Found found,
                    Failure failure);
    void findOrCreateFolder(std::function<void(const QString& id)> found, Failure failure);
    /// The query of the folder's files; of those named `name` when it is given.
    QString inFolder(const QString& folder, const std::optional<QString>& name) const;
    /// The files named `name` in the folder (found or created first).
    void
    filesNamed(const QString& name,
               std::function<void(const QString& folder, const QList<QJsonObject>& files)> found,
               Failure failure);
    void upload(const QString& folder, const QString& name, const QByteArray& bytes,
                const QList<QJsonObject>& existing, Success success, Failure failure);
    void deleteEach(QStringList ids, Success success, Failure failure);
    QString folderText() const;
    HttpClient::Failed passOn(const Failure& failure) const;

    Services m_services;
    QUrl m_apiHost;
    OAuthFlow m_flow;
    OAuthSession m_account;
    /// The signed-in user's e-mail; stays in memory after a sign-out, as the tokens decide.
    std::optional<QString> m_email;
    QString m_rootFolderId;
};

} // namespace keskor
