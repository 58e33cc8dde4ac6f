#include "storage/gdrive/GDriveStorage.h"

#include "core/SessionManager.h"
#include "core/shared/CommonException.h"
#include "platform/Keychain.h"
#include "storage/WorkingCopy.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>

namespace keskor {

namespace {

const QString kFolderName = QStringLiteral("Keskor");
const QString kFolderType = QStringLiteral("application/vnd.google-apps.folder");
/// A listing longer than this many pages is a service that never stops paging.
constexpr int kMaxPages = 1000;

QJsonObject jsonOf(const QByteArray& body) {
    return QJsonDocument::fromJson(body).object();
}

/// A text literal of the Drive query language; names may hold quotes and backslashes.
QString literal(QString text) {
    text.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    text.replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

QString pathPart(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

QByteArray boundaryFor(const QByteArray& content) {
    for (;;) {
        const QByteArray boundary =
            "keskor-" + QByteArray::number(QRandomGenerator::system()->generate64(), 16);
        if (!content.contains(boundary)) {
            return boundary;
        }
    }
}

OAuthFlow::Config flowConfig(const Deployment::GDrive& d) {
    return {d.authorizeUrl,
            d.tokenUrl,
            d.clientId,
            d.clientSecret,
            {QStringLiteral("email"), QStringLiteral("https://www.googleapis.com/auth/drive")},
            {{QStringLiteral("access_type"), QStringLiteral("offline")}}};
}

} // namespace

GDriveStorage::GDriveStorage(Services services, const Deployment::GDrive& deployment)
    : m_services(std::move(services)), m_apiHost(deployment.apiHost),
      m_flow(m_services.http, flowConfig(deployment), m_services.openBrowser, m_services.text),
      m_account(m_services.http, m_flow, m_services.keychain, kTokensKey) {
    if (m_account.hasTokens()) {
        const std::optional<QString> email = m_services.keychain.get(kEmailKey);
        if (email && !email->isEmpty()) {
            m_email = *email;
        }
    }
}

QUrl GDriveStorage::api(const QString& path, const QList<QPair<QString, QString>>& query) const {
    QUrl url(m_apiHost.toString(QUrl::StripTrailingSlash) + path, QUrl::StrictMode);
    // Encoded by hand: QUrlQuery leaves "+" alone, which the service reads as a blank.
    QStringList items;
    for (const auto& [name, value] : query) {
        items << name + QLatin1Char('=') + pathPart(value);
    }
    if (!items.isEmpty()) {
        url.setQuery(items.join(QLatin1Char('&')), QUrl::StrictMode);
    }
    return url;
}

QString GDriveStorage::folderText() const {
    return m_services.text(QStringLiteral("error_find_or_create")) + QLatin1Char(' ') + kFolderName;
}

HttpClient::Failed GDriveStorage::passOn(const Failure& failure) const {
    return [failure](const QString& message, int) { failure(message); };
}

void GDriveStorage::login(Success success, Failure failure) {
    if (m_email && m_account.hasTokens()) {
        m_account.ensureFresh(std::move(success), std::move(failure));
        return;
    }
    m_account.signIn([this, success, failure] { fetchUser(success, failure); },
                     [this, failure](const QString&) {
                         failure(m_services.text(QStringLiteral("error_google_signin")));
                     });
}

void GDriveStorage::fetchUser(Success success, Failure failure) {
    HttpClient::Request request;
    request.url = api(QStringLiteral("/oauth2/v3/userinfo"));
    request.maxBodyBytes = 64 * 1024;
    m_account.send(
        request,
        [this, success, failure](const HttpClient::Response& response) {
            const QString email = jsonOf(response.body).value(QStringLiteral("email")).toString();
            if (email.isEmpty()) {
                forgetAccount();
                failure(m_services.text(QStringLiteral("error_google_signin")));
                return;
            }
            try {
                m_services.keychain.set(kEmailKey, email);
            } catch (const CommonException& e) {
                forgetAccount();
                failure(e.message());
                return;
            }
            m_email = email;
            success();
        },
        [this, failure](const QString&, int) {
            forgetAccount();
            failure(QStringLiteral("error")); // not a key: shown as it is
        });
}

void GDriveStorage::forgetAccount() {
    m_rootFolderId.clear();
    m_account.signOut();
    try {
        m_services.keychain.remove(kEmailKey);
    } catch (const CommonException& e) {
        qWarning().noquote() << "Google Drive sign-out: the stored e-mail could not be removed:"
                             << e.message();
    }
}

bool GDriveStorage::isLoggedIn() const {
    return m_email.has_value() && m_account.hasTokens();
}

void GDriveStorage::logout() {
    forgetAccount();
}

void GDriveStorage::search(const QString& q, Found found, Failure failure) {
    if (!m_email) {
        failure(m_flow.signInFailedText());
        return;
    }
    searchPage(q, {}, std::make_shared<QList<QJsonObject>>(), 0, std::move(found),
               std::move(failure));
}

void GDriveStorage::searchPage(const QString& q, const QString& pageToken,
                               std::shared_ptr<QList<QJsonObject>> files, int pages, Found found,
                               Failure failure) {
    if (pages >= kMaxPages) {
        failure(m_services.text(QStringLiteral("error_unkown")));
        return;
    }
    QList<QPair<QString, QString>> query{
        {QStringLiteral("q"), q},
        {QStringLiteral("spaces"), QStringLiteral("drive")},
        {QStringLiteral("corpora"), QStringLiteral("user")},
        {QStringLiteral("pageSize"), QStringLiteral("1000")},
        {QStringLiteral("fields"),
         QStringLiteral("nextPageToken,files(id,name,modifiedTime,size)")}};
    if (!pageToken.isEmpty()) {
        query.append({QStringLiteral("pageToken"), pageToken});
    }
    HttpClient::Request request;
    request.url = api(QStringLiteral("/drive/v3/files"), query);
    m_account.send(
        request,
        [this, q, files, pages, found, failure](const HttpClient::Response& response) {
            const QJsonObject answer = jsonOf(response.body);
            if (!answer.value(QStringLiteral("files")).isArray()) {
                failure(m_services.text(QStringLiteral("error_unkown")));
                return;
            }
            for (const QJsonValue file : answer.value(QStringLiteral("files")).toArray()) {
                files->append(file.toObject());
            }
            const QString next = answer.value(QStringLiteral("nextPageToken")).toString();
            if (!next.isEmpty()) {
                searchPage(q, next, files, pages + 1, found, failure);
                return;
            }
            found(*files);
        },
        passOn(failure));
}

QString GDriveStorage::inFolder(const QString& folder, const std::optional<QString>& name) const {
    QString q = literal(folder) + QStringLiteral(" in parents and ") +
                literal(m_email.value_or(QString())) +
                QStringLiteral(" in owners and trashed = false");
    if (name) {
        q = QStringLiteral("name = ") + literal(*name) + QStringLiteral(" and ") + q;
    }
    return q;
}

void GDriveStorage::findOrCreateFolder(std::function<void(const QString&)> found, Failure failure) {
    if (!m_rootFolderId.isEmpty()) {
        found(m_rootFolderId);
        return;
    }
    const QString q = QStringLiteral("name = ") + literal(kFolderName) +
                      QStringLiteral(" and mimeType = ") + literal(kFolderType) +
                      QStringLiteral(" and ") + literal(m_email.value_or(QString())) +
                      QStringLiteral(" in owners and trashed = false");
    search(
        q,
        [this, found, failure](const QList<QJsonObject>& folders) {
            const auto take = [this, found, failure](const QString& id) {
                if (id.isEmpty()) {
                    failure(folderText());
                    return;
                }
                m_rootFolderId = id;
                found(id);
            };
            if (!folders.isEmpty()) {
                take(folders.first().value(QStringLiteral("id")).toString());
                return;
            }
            HttpClient::Request create;
            create.method = "POST";
            create.url = api(QStringLiteral("/drive/v3/files"),
                             {{QStringLiteral("fields"), QStringLiteral("id")}});
            create.headers = {{"Content-Type", "application/json; charset=UTF-8"}};
            create.body = QJsonDocument(QJsonObject{{QStringLiteral("name"), kFolderName},
                                                    {QStringLiteral("mimeType"), kFolderType}})
                              .toJson(QJsonDocument::Compact);
            m_account.send(
                create,
                [take](const HttpClient::Response& made) {
                    take(jsonOf(made.body).value(QStringLiteral("id")).toString());
                },
                passOn(failure));
        },
        failure);
}

void GDriveStorage::filesNamed(
    const QString& name,
    std::function<void(const QString& folder, const QList<QJsonObject>& files)> found,
    Failure failure) {
    findOrCreateFolder(
        [this, name, found, failure](const QString& folder) {
            search(
                inFolder(folder, name),
                [folder, found](const QList<QJsonObject>& files) { found(folder, files); },
                failure);
        },
        failure);
}

void GDriveStorage::listFiles(std::function<void(FileList)> success, Failure failure) {
    findOrCreateFolder(
        [this, success, failure](const QString& folder) {
            search(
                inFolder(folder, std::nullopt),
                [success](const QList<QJsonObject>& files) {
                    FileList list;
                    for (const QJsonObject& o : files) {
                        auto info = std::make_shared<RemoteFileInfo>(
                            o.value(QStringLiteral("name")).toString(),
                            o.value(QStringLiteral("id")).toString());
                        const QDateTime modified = QDateTime::fromString(
                            o.value(QStringLiteral("modifiedTime")).toString(), Qt::ISODateWithMs);
                        if (modified.isValid()) {
                            info->modified = modified;
                        }
                        // An int64 that the service sends as a JSON text; absent for folders.
                        info->size = o.value(QStringLiteral("size")).toVariant().toLongLong();
                        list.push_back(std::move(info));
                    }
                    success(std::move(list));
                },
                failure);
        },
        failure);
}

void GDriveStorage::downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                                 Failure failure) {
    if (!WorkingCopy::isPlainName(file->name)) {
        failure(m_services.text(QStringLiteral("error_unkown")));
        return;
    }
    const QString target = WorkingCopy::path(m_services.paths, Location::gDrive, file->name);
    if (target.isEmpty()) {
        failure(QString());
        return;
    }
    filesNamed(
        file->path,
        [this, target, success, failure](const QString&, const QList<QJsonObject>& files) {
            if (files.isEmpty()) {
                failure(m_services.text(QStringLiteral("no_remote_file")));
                return;
            }
            HttpClient::Request media;
            media.url = api(QStringLiteral("/drive/v3/files/") +
                                pathPart(files.first().value(QStringLiteral("id")).toString()),
                            {{QStringLiteral("alt"), QStringLiteral("media")}});
            m_account.send(
                media,
                [this, target, success, failure](const HttpClient::Response& content) {
                    if (!WorkingCopy::write(target, content.body)) {
                        failure(m_services.text(QStringLiteral("failed_load_file")));
                        return;
                    }
                    success();
                },
                passOn(failure));
        },
        failure);
}

void GDriveStorage::saveCurrentFile(Success success, Failure failure) {
    const std::shared_ptr<RemoteFileInfo> file = m_services.session.remoteFileInfo;
    if (!file) {
        return;
    }
    if (!WorkingCopy::isPlainName(file->name)) {
        failure(m_services.text(QStringLiteral("error_unkown")));
        return;
    }
    QString error;
    const std::optional<QByteArray> bytes =
        WorkingCopy::load(m_services.paths, Location::gDrive, file->name, &error);
    if (!bytes) {
        failure(error);
        return;
    }
    const QString name = file->path;
    filesNamed(
        name,
        [this, name, bytes, success, failure](const QString& folder,
                                              const QList<QJsonObject>& existing) {
            upload(folder, name, *bytes, existing, success, failure);
        },
        failure);
}

// A known file gets its new content in place, and only after that are further files of the
// same name removed: a failed upload never leaves the drive without the database.
void GDriveStorage::upload(const QString& folder, const QString& name, const QByteArray& bytes,
                           const QList<QJsonObject>& existing, Success success, Failure failure) {
    HttpClient::Request request;
    request.method = existing.isEmpty() ? "POST" : "PATCH";
    if (existing.isEmpty()) {
        const QByteArray boundary = boundaryFor(bytes);
        const QByteArray metadata =
            QJsonDocument(QJsonObject{{QStringLiteral("name"), name},
                                      {QStringLiteral("parents"), QJsonArray{folder}}})
                .toJson(QJsonDocument::Compact);
        request.url = api(QStringLiteral("/upload/drive/v3/files"),
                          {{QStringLiteral("uploadType"), QStringLiteral("multipart")},
                           {QStringLiteral("fields"), QStringLiteral("id")}});
        request.headers = {{"Content-Type", "multipart/related; boundary=" + boundary}};
        request.body = "--" + boundary +
                       "\r\nContent-Type: application/json; charset=UTF-8\r\n\r\n" + metadata +
                       "\r\n--" + boundary + "\r\nContent-Type: application/octet-stream\r\n\r\n" +
                       bytes + "\r\n--" + boundary + "--\r\n";
    } else {
        request.url = api(QStringLiteral("/upload/drive/v3/files/") +
                              pathPart(existing.first().value(QStringLiteral("id")).toString()),
                          {{QStringLiteral("uploadType"), QStringLiteral("media")},
                           {QStringLiteral("fields"), QStringLiteral("id")}});
        request.headers = {{"Content-Type", "application/octet-stream"}};
        request.body = bytes;
    }
    QStringList others;
    for (qsizetype i = 1; i < existing.size(); ++i) {
        others << existing[i].value(QStringLiteral("id")).toString();
    }
    m_account.send(
        request,
        [this, others, success, failure](const HttpClient::Response&) {
            deleteEach(others, success, failure);
        },
        [this, failure](const QString& message, int status) {
            if (status == 404) {
                m_rootFolderId.clear(); // the folder went away meanwhile: look again next time
            }
            failure(message);
        });
}

void GDriveStorage::deleteFiles(FileList files, Success success, Failure failure) {
    if (files.empty()) {
        failure(m_services.text(QStringLiteral("error_file_not_found")));
        return;
    }
    filesNamed(
        files.front()->path,
        [this, success, failure](const QString&, const QList<QJsonObject>& found) {
            QStringList ids;
            for (const QJsonObject& o : found) {
                ids << o.value(QStringLiteral("id")).toString();
            }
            deleteEach(ids, success, failure);
        },
        failure);
}

// One request per file, in turn; the callbacks run once, after the last or at the first error.
void GDriveStorage::deleteEach(QStringList ids, Success success, Failure failure) {
    if (ids.isEmpty()) {
        success();
        return;
    }
    HttpClient::Request remove;
    remove.method = "DELETE";
    remove.url = api(QStringLiteral("/drive/v3/files/") + pathPart(ids.takeFirst()));
    m_account.send(
        remove,
        [this, ids, success, failure](const HttpClient::Response&) {
            deleteEach(ids, success, failure);
        },
        passOn(failure));
}

} // namespace keskor
