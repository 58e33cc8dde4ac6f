#include "storage/box/BoxStorage.h"

#include "core/SessionManager.h"
#include "storage/FolderCreation.h"
#include "storage/RedirectedDownload.h"
#include "storage/WorkingCopy.h"

#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QUrlQuery>

namespace keskor {

namespace {

const QString kFolderName = QStringLiteral("Keskor");
const QString kRootId = QStringLiteral("0");
/// The service's largest page.
constexpr int kPageSize = 1000;
/// A listing longer than this many pages is a service that never stops paging.
constexpr int kMaxPages = 1000;

QJsonObject jsonOf(const QByteArray& body) {
    return QJsonDocument::fromJson(body).object();
}

QString pathPart(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

/// The upload form: "attributes" before "file", as the upload routes require. Written out here
/// because the HTTP client sends a body of bytes; the random boundary does not occur in a
/// database's text.
QByteArray multipartBody(const QByteArray& boundary, const QJsonObject& attributes,
                         const QByteArray& bytes) {
    return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"attributes\"\r\n\r\n" +
           QJsonDocument(attributes).toJson(QJsonDocument::Compact) + "\r\n--" + boundary +
           "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"UNUSED\"\r\n"
           "Content-Type: application/octet-stream\r\n\r\n" +
           bytes + "\r\n--" + boundary + "--\r\n";
}

QByteArray randomBoundary() {
    QByteArray raw(16, Qt::Uninitialized);
    QRandomGenerator::system()->generate(raw.begin(), raw.end());
    return "keskor-" + raw.toHex();
}

} // namespace

BoxStorage::BoxStorage(Services services, const Deployment::Box& deployment)
    : m_services(std::move(services)), m_deployment(deployment),
      m_tokens(m_services.http, m_services.keychain,
               {deployment.apiHost.resolved(QUrl(QStringLiteral("/oauth2/token"))),
                deployment.clientId,
                deployment.clientSecret,
                kAuthorizerTokenKey,
                kAuthorizerRefreshKey,
                {}},
               m_services.text) {}

QString BoxStorage::text(const char* key) const {
    return m_services.text(QString::fromLatin1(key));
}

QString BoxStorage::redirectUrl() const {
    return QStringLiteral("boxsdk-") + m_deployment.clientId +
           QStringLiteral("://boxsdkoauth2redirect");
}

QUrl BoxStorage::api(const QString& path) const {
    return QUrl(m_deployment.apiHost.toString(QUrl::StripTrailingSlash) + path, QUrl::StrictMode);
}

void BoxStorage::login(Success success, Failure failure) {
    if (m_tokens.hasTokens()) {
        m_tokens.refresh(std::move(success), std::move(failure));
        return;
    }
    m_authSuccessCallback = std::move(success);
    m_authFailCallback = std::move(failure);
    QUrl url = m_deployment.authorizeHost.resolved(QUrl(QStringLiteral("/api/oauth2/authorize")));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("response_type"), QStringLiteral("code"));
    query.addQueryItem(QStringLiteral("scope"), QStringLiteral("root_readwrite"));
    query.addQueryItem(QStringLiteral("client_id"), pathPart(m_deployment.clientId));
    query.addQueryItem(QStringLiteral("redirect_uri"), pathPart(redirectUrl()));
    url.setQuery(query.query(QUrl::FullyEncoded), QUrl::StrictMode);
    m_services.openBrowser(url);
}

void BoxStorage::handleRedirect(const QUrl& url) {
    Success success = std::exchange(m_authSuccessCallback, nullptr);
    Failure failure = std::exchange(m_authFailCallback, nullptr);
    if (!success || !failure) {
        // Only the return of a sign-in this program started is taken.
        qDebug() << "Box redirect without a pending sign-in ignored";
        return;
    }
    const QString absolute = url.toString(QUrl::FullyEncoded);
    const qsizetype equals = absolute.indexOf(QLatin1Char('='));
    if (equals < 0 || equals + 1 == absolute.size()) {
        failure(m_tokens.signInFailedText());
        return;
    }
    m_tokens.exchangeCode(absolute.mid(equals + 1), std::move(success), std::move(failure));
}

bool BoxStorage::isLoggedIn() const {
    return m_tokens.hasTokens();
}

void BoxStorage::logout() {
    m_authSuccessCallback = nullptr;
    m_authFailCallback = nullptr;
    m_tokens.signOut();
}

void BoxStorage::listFolder(const QString& folderId, const QString& fields, int offset,
                            std::shared_ptr<QJsonArray> entries,
                            std::function<bool(const QJsonArray&)> stop, Entries done,
                            Failure failure) {
    if (offset / kPageSize >= kMaxPages) {
        failure(text("failed_load_file"));
        return;
    }
    QUrlQuery query;
    if (!fields.isEmpty()) {
        query.addQueryItem(QStringLiteral("fields"), fields);
    }
    query.addQueryItem(QStringLiteral("limit"), QString::number(kPageSize));
    query.addQueryItem(QStringLiteral("offset"), QString::number(offset));
    HttpClient::Request list;
    list.url = api(QStringLiteral("/2.0/folders/%1/items").arg(pathPart(folderId)));
    list.url.setQuery(query);
    m_tokens.send(
        list,
        [=, this](const HttpClient::Response& response) {
            const QJsonObject answer = jsonOf(response.body);
            if (!answer.value(QStringLiteral("entries")).isArray()) {
                failure(text("failed_load_file"));
                return;
            }
            const QJsonArray page = answer.value(QStringLiteral("entries")).toArray();
            for (const QJsonValue entry : page) {
                entries->append(entry);
            }
            const qint64 next = offset + page.size();
            if ((stop && stop(page)) || page.isEmpty() ||
                next >= answer.value(QStringLiteral("total_count")).toInteger()) {
                done(*entries);
                return;
            }
            listFolder(folderId, fields, static_cast<int>(next), entries, stop, done, failure);
        },
        [failure](const QString& message, int) { failure(message); });
}

void BoxStorage::findOrCreateFolder(std::function<void(const QString&)> found, Failure failure,
                                    bool mayCreate) {
    const auto isFolder = [](const QJsonValue& entry) {
        const QJsonObject o = entry.toObject();
        return o.value(QStringLiteral("name")).toString() == kFolderName &&
               o.value(QStringLiteral("type")).toString() == QLatin1String("folder");
    };
    listFolder(
        kRootId, QStringLiteral("id,type,name"), 0, std::make_shared<QJsonArray>(),
        [isFolder](const QJsonArray& page) {
            return std::any_of(page.begin(), page.end(), isFolder);
        },
        [this, isFolder, found, failure, mayCreate](const QJsonArray& entries) {
            const auto folder = std::find_if(entries.begin(), entries.end(), isFolder);
            if (folder != entries.end()) {
                const QString id = folder->toObject().value(QStringLiteral("id")).toString();
                if (id.isEmpty()) {
                    failure(text("failed_load_file"));
                    return;
                }
                found(id);
                return;
            }
            if (!mayCreate) {
                failure(text("error_create_root_folder"));
                return;
            }
            HttpClient::Request create;
            create.method = "POST";
            create.url = api(QStringLiteral("/2.0/folders"));
            create.headers = {{"Content-Type", "application/json"}};
            create.body = QJsonDocument(QJsonObject{{QStringLiteral("name"), kFolderName},
                                                    {QStringLiteral("parent"),
                                                     QJsonObject{{QStringLiteral("id"), kRootId}}}})
                              .toJson(QJsonDocument::Compact);
            FolderCreation::send(
                m_tokens, std::move(create), text("error_create_root_folder"), found, failure,
                [this, found, failure] { findOrCreateFolder(found, failure, false); });
        },
        failure);
}

void BoxStorage::listFiles(std::function<void(FileList)> success, Failure failure) {
    m_tokens.refresh(
        [this, success, failure] {
            findOrCreateFolder(
                [this, success, failure](const QString& folder) {
                    listFolder(
                        folder, QStringLiteral("id,type,name,content_modified_at,size"), 0,
                        std::make_shared<QJsonArray>(), nullptr,
                        [success](const QJsonArray& entries) {
                            FileList files;
                            for (const QJsonValue entry : entries) {
                                const QJsonObject o = entry.toObject();
                                if (o.value(QStringLiteral("type")).toString() ==
                                    QLatin1String("folder")) {
                                    continue;
                                }
                                auto info = std::make_shared<RemoteFileInfo>(
                                    o.value(QStringLiteral("name")).toString(),
                                    o.value(QStringLiteral("id")).toString());
                                const QDateTime modified = QDateTime::fromString(
                                    o.value(QStringLiteral("content_modified_at")).toString(),
                                    Qt::ISODate);
                                if (modified.isValid()) {
                                    info->modified = modified;
                                }
                                info->size = o.value(QStringLiteral("size")).toInteger();
                                files.push_back(std::move(info));
                            }
                            success(std::move(files));
                        },
                        failure);
                },
                failure);
        },
        failure);
}

void BoxStorage::downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                              Failure failure) {
    const QString target = WorkingCopy::path(m_services.paths, Location::box, file->name);
    if (target.isEmpty()) {
        failure(QString());
        return;
    }
    if (!file->id || file->id->isEmpty()) {
        failure(text("error_unkown"));
        return;
    }
    const QString failed = text("error_file_read");
    HttpClient::Request content;
    content.url = api(QStringLiteral("/2.0/files/%1/content").arg(pathPart(*file->id)));
    RedirectedDownload::fetch(
        [this](HttpClient::Request request, HttpClient::Done done, HttpClient::Failed failed) {
            m_tokens.send(std::move(request), std::move(done), std::move(failed));
        },
        m_services.http, std::move(content), target, failed, std::move(success),
        std::move(failure));
}

void BoxStorage::saveCurrentFile(Success success, Failure failure) {
    const std::shared_ptr<RemoteFileInfo> file = m_services.session.remoteFileInfo;
    if (!file) {
        return;
    }
    QString error;
    const std::optional<QByteArray> bytes =
        WorkingCopy::load(m_services.paths, Location::box, file->name, &error);
    if (!bytes) {
        failure(error.isEmpty() ? error : text("error_upload") + QStringLiteral(": ") + error);
        return;
    }
    m_tokens.refresh(
        [this, file, bytes, success, failure] {
            if (file->id && !file->id->isEmpty()) {
                upload(file, *bytes, {}, success, failure);
                return;
            }
            findOrCreateFolder(
                [this, file, bytes, success, failure](const QString& folder) {
                    upload(file, *bytes, folder, success, failure);
                },
                failure);
        },
        failure);
}

void BoxStorage::upload(const std::shared_ptr<RemoteFileInfo>& file, const QByteArray& bytes,
                        const QString& folderId, Success success, Failure failure) {
    const bool known = file->id && !file->id->isEmpty();
    QJsonObject attributes{{QStringLiteral("name"), file->name}};
    // A new version stays where the file is; only a new file names its folder.
    if (!known) {
        attributes.insert(QStringLiteral("parent"), QJsonObject{{QStringLiteral("id"), folderId}});
    }
    const QByteArray boundary = randomBoundary();
    HttpClient::Request form;
    form.method = "POST";
    form.url =
        QUrl(m_deployment.uploadHost.toString(QUrl::StripTrailingSlash) +
                 (known ? QStringLiteral("/api/2.0/files/%1/content").arg(pathPart(*file->id))
                        : QStringLiteral("/api/2.0/files/content")),
             QUrl::StrictMode);
    form.headers = {{"Content-Type", "multipart/form-data; boundary=" + boundary}};
    form.body = multipartBody(boundary, attributes, bytes);
    m_tokens.send(
        form,
        [this, file, known, success](const HttpClient::Response& response) {
            // The session now names the uploaded file by its id, so the next save sends a new
            // version instead of a second file of the same name, which the service refuses.
            const QJsonArray entries =
                jsonOf(response.body).value(QStringLiteral("entries")).toArray();
            const QString id =
                entries.isEmpty() ? QString()
                                  : entries.at(0).toObject().value(QStringLiteral("id")).toString();
            if (!known && !id.isEmpty() && m_services.session.remoteFileInfo == file) {
                auto uploaded = std::make_shared<RemoteFileInfo>(file->path, id);
                uploaded->modified = file->modified;
                uploaded->size = file->size;
                m_services.session.remoteFileInfo = std::move(uploaded);
            }
            success();
        },
        [this, failure](const QString& message, int) {
            failure(text("error_upload") + QStringLiteral(": ") + message);
        });
}

void BoxStorage::deleteFiles(FileList files, Success success, Failure failure) {
    m_tokens.refresh(
        [this, files, success, failure] {
            for (const std::shared_ptr<RemoteFileInfo>& file : files) {
                if (!file->id || file->id->isEmpty()) {
                    continue;
                }
                HttpClient::Request remove;
                remove.method = "DELETE";
                remove.url = api(QStringLiteral("/2.0/files/%1").arg(pathPart(*file->id)));
                m_tokens.send(
                    remove,
                    [this, success, failure](const HttpClient::Response& response) {
                        if (response.status == 204) {
                            success();
                        } else {
                            failure(text("dialog_error"));
                        }
                    },
                    [this, failure](const QString& message, int status) {
                        failure(status == 0 ? text("error_unkown") : message);
                    });
            }
        },
        failure);
}

} // namespace keskor
