#include "storage/hidrive/HiDriveStorage.h"

#include "core/SessionManager.h"
#include "storage/FolderCreation.h"
#include "storage/WorkingCopy.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrlQuery>

namespace keskor {

namespace {

const QString kFolderName = QStringLiteral("Keskor");

QJsonObject jsonOf(const QByteArray& body) {
    return QJsonDocument::fromJson(body).object();
}

QString encodedQuery(const QList<QPair<QString, QString>>& parameters) {
    QUrlQuery query;
    for (const auto& [name, value] : parameters) {
        query.addQueryItem(name, QString::fromLatin1(QUrl::toPercentEncoding(value)));
    }
    return query.query(QUrl::FullyEncoded);
}

/// The service answers with percent-encoded names.
QString memberName(const QJsonObject& member) {
    return QUrl::fromPercentEncoding(member.value(QStringLiteral("name")).toString().toUtf8());
}

} // namespace

HiDriveStorage::HiDriveStorage(Services services, const Deployment::HiDrive& deployment)
    : m_services(std::move(services)), m_deployment(deployment),
      m_tokens(m_services.http, m_services.keychain,
               {deployment.accountHost.resolved(QUrl(QStringLiteral("/oauth2/token"))),
                deployment.clientId,
                deployment.clientSecret,
                kAuthorizerTokenKey,
                kAuthorizerRefreshKey,
                {QStringLiteral("alias")}},
               m_services.text) {}

QString HiDriveStorage::text(const char* key) const {
    return m_services.text(QString::fromLatin1(key));
}

QUrl HiDriveStorage::api(const QString& path,
                         const QList<QPair<QString, QString>>& parameters) const {
    QUrl url(m_deployment.apiHost.toString(QUrl::StripTrailingSlash) + path, QUrl::StrictMode);
    url.setQuery(encodedQuery(parameters), QUrl::StrictMode);
    return url;
}

void HiDriveStorage::login(Success, Failure) {
    QUrl url = m_deployment.accountHost.resolved(QUrl(QStringLiteral("/client/authorize")));
    url.setQuery(encodedQuery({{QStringLiteral("client_id"), m_deployment.clientId},
                               {QStringLiteral("response_type"), QStringLiteral("code")},
                               {QStringLiteral("scope"), QStringLiteral("user,rw")}}),
                 QUrl::StrictMode);
    m_services.openBrowser(url);
}

void HiDriveStorage::exchangeCode(const QString& code, Success success, Failure failure) {
    m_tokens.exchangeCode(code.trimmed(), std::move(success), std::move(failure));
}

bool HiDriveStorage::isLoggedIn() const {
    return m_tokens.hasTokens();
}

void HiDriveStorage::logout() {
    m_tokens.signOut();
}

void HiDriveStorage::findOrCreateFolder(std::function<void(const QString&)> found, Failure failure,
                                        bool mayCreate) {
    const QString alias = m_tokens.answer().value(QStringLiteral("alias")).toString();
    if (alias.isEmpty()) {
        failure(text("error_create_root_folder"));
        return;
    }
    const QString home = QStringLiteral("/users/") + alias;
    HttpClient::Request find;
    find.url = api(QStringLiteral("/2.1/dir"),
                   {{QStringLiteral("path"), home},
                    {QStringLiteral("fields"), QStringLiteral("members.name,members.id")}});
    m_tokens.send(
        find,
        [this, home, found, failure, mayCreate](const HttpClient::Response& response) {
            const QJsonValue members = jsonOf(response.body).value(QStringLiteral("members"));
            if (!members.isArray()) {
                failure(text("error_file_not_found"));
                return;
            }
            for (const QJsonValue member : members.toArray()) {
                if (memberName(member.toObject()) == kFolderName) {
                    const QString id = member.toObject().value(QStringLiteral("id")).toString();
                    if (id.isEmpty()) {
                        failure(text("error_file_not_found"));
                    } else {
                        found(id);
                    }
                    return;
                }
            }
            if (!mayCreate) {
                failure(text("error_file_not_found"));
                return;
            }
            HttpClient::Request create;
            create.method = "POST";
            create.url = api(QStringLiteral("/2.1/dir"), {});
            create.headers = {{"Content-Type", "application/x-www-form-urlencoded"}};
            create.body =
                encodedQuery({{QStringLiteral("path"), home + QLatin1Char('/') + kFolderName}})
                    .toLatin1();
            FolderCreation::send(
                m_tokens, std::move(create), text("error_file_not_found"), found, failure,
                [this, found, failure] { findOrCreateFolder(found, failure, false); });
        },
        [failure](const QString& message, int) { failure(message); });
}

void HiDriveStorage::listFiles(std::function<void(FileList)> success, Failure failure) {
    m_tokens.refresh(
        [this, success, failure] {
            findOrCreateFolder(
                [this, success, failure](const QString& folder) {
                    HttpClient::Request list;
                    list.url = api(
                        QStringLiteral("/2.1/dir"),
                        {{QStringLiteral("pid"), folder},
                         {QStringLiteral("fields"),
                          QStringLiteral("members.name,members.id,members.mtime,members.size")}});
                    m_tokens.send(
                        list,
                        [this, success, failure](const HttpClient::Response& response) {
                            const QJsonValue members =
                                jsonOf(response.body).value(QStringLiteral("members"));
                            if (!members.isArray()) {
                                failure(text("error_file_not_found"));
                                return;
                            }
                            FileList files;
                            for (const QJsonValue member : members.toArray()) {
                                const QJsonObject o = member.toObject();
                                auto info = std::make_shared<RemoteFileInfo>(
                                    memberName(o), o.value(QStringLiteral("id")).toString());
                                if (o.value(QStringLiteral("mtime")).isDouble()) {
                                    info->modified = QDateTime::fromSecsSinceEpoch(
                                        o.value(QStringLiteral("mtime")).toInteger(), Qt::UTC);
                                }
                                info->size = o.value(QStringLiteral("size")).toInteger();
                                files.push_back(std::move(info));
                            }
                            success(std::move(files));
                        },
                        [failure](const QString& message, int) { failure(message); });
                },
                failure);
        },
        failure);
}

void HiDriveStorage::downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                                  Failure failure) {
    const QString target = WorkingCopy::path(m_services.paths, Location::hiDrive, file->name);
    if (target.isEmpty()) {
        failure(QString());
        return;
    }
    if (!file->id || file->id->isEmpty()) {
        failure(text("error_unkown"));
        return;
    }
    HttpClient::Request get;
    get.url = api(QStringLiteral("/2.1/file"), {{QStringLiteral("pid"), *file->id}});
    m_tokens.send(
        get,
        [this, target, success, failure](const HttpClient::Response& response) {
            if (response.body.isEmpty() || !WorkingCopy::write(target, response.body)) {
                failure(text("failed_load_file"));
                return;
            }
            success();
        },
        [failure](const QString& message, int) { failure(message); });
}

void HiDriveStorage::saveCurrentFile(Success success, Failure failure) {
    const std::shared_ptr<RemoteFileInfo> file = m_services.session.remoteFileInfo;
    if (!file) {
        return;
    }
    QString error;
    const std::optional<QByteArray> bytes =
        WorkingCopy::load(m_services.paths, Location::hiDrive, file->name, &error);
    if (!bytes) {
        failure(error);
        return;
    }
    const QString name = file->name;
    m_tokens.refresh(
        [this, name, bytes, success, failure] {
            findOrCreateFolder(
                [this, name, bytes, success, failure](const QString& folder) {
                    // PUT replaces a file of that name, so saving a new database twice keeps
                    // one file. The name is encoded: a blank or "&" must not end it.
                    HttpClient::Request put;
                    put.method = "PUT";
                    put.url = api(QStringLiteral("/2.1/file"), {{QStringLiteral("dir_id"), folder},
                                                                {QStringLiteral("name"), name}});
                    put.headers = {{"Content-Type", "text/plain"}};
                    put.body = *bytes;
                    m_tokens.send(
                        put, [success](const HttpClient::Response&) { success(); },
                        [failure](const QString& message, int) { failure(message); });
                },
                failure);
        },
        failure);
}

void HiDriveStorage::deleteFiles(FileList files, Success success, Failure failure) {
    m_tokens.refresh(
        [this, files, success, failure] {
            for (const std::shared_ptr<RemoteFileInfo>& file : files) {
                if (!file->id || file->id->isEmpty()) {
                    continue;
                }
                HttpClient::Request remove;
                remove.method = "DELETE";
                remove.url = api(QStringLiteral("/2.1/file"), {{QStringLiteral("pid"), *file->id}});
                m_tokens.send(
                    remove, [success](const HttpClient::Response&) { success(); },
                    [failure](const QString& message, int) { failure(message); });
            }
        },
        failure);
}

} // namespace keskor
