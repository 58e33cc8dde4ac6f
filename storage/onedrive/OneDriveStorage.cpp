#include "storage/onedrive/OneDriveStorage.h"

#include "core/FileFunctions.h"
#include "core/SessionManager.h"
#include "core/shared/AtomicFile.h"
#include "core/shared/CommonException.h"
#include "storage/RedirectedDownload.h"
#include "storage/WorkingCopy.h"
#include "storage/onedrive/GraphListing.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace keskor {

namespace {

const QString kFolderName = QStringLiteral("Keskor");
/// A listing longer than this many pages is a service that never stops paging.
constexpr int kMaxPages = 1000;

QJsonObject jsonOf(const QByteArray& body) {
    return QJsonDocument::fromJson(body).object();
}

QString pathPart(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text));
}

OAuthFlow::Config flowConfig(const Deployment::OneDrive& d) {
    const QString authority = d.authority.toString(QUrl::StripTrailingSlash);
    return {QUrl(authority + QStringLiteral("/oauth2/v2.0/authorize")),
            QUrl(authority + QStringLiteral("/oauth2/v2.0/token")),
            d.clientId,
            {},
            {QStringLiteral("openid"), QStringLiteral("offline_access"),
             QStringLiteral("user.read"), QStringLiteral("files.readwrite.all")},
            {{QStringLiteral("prompt"), QStringLiteral("select_account")}}};
}

} // namespace

OneDriveStorage::OneDriveStorage(Services services, const Deployment::OneDrive& deployment)
    : m_services(std::move(services)), m_graphEndpoint(deployment.graphEndpoint),
      m_flow(m_services.http, flowConfig(deployment), m_services.openBrowser, m_services.text),
      m_account(m_services.http, m_flow, m_services.keychain, kTokensKey) {}

QUrl OneDriveStorage::graph(const QString& path) const {
    QString base = m_graphEndpoint.toString();
    if (!base.endsWith(QLatin1Char('/'))) {
        base += QLatin1Char('/');
    }
    return QUrl(base + QStringLiteral("v1.0/") + path, QUrl::StrictMode);
}

QString OneDriveStorage::folderText() const {
    return m_services.text(QStringLiteral("error_find_or_create")) + QLatin1Char(' ') + kFolderName;
}

void OneDriveStorage::login(Success success, Failure failure) {
    if (m_account.hasTokens()) {
        m_account.ensureFresh(std::move(success), std::move(failure));
        return;
    }
    m_account.signIn(std::move(success), std::move(failure));
}

bool OneDriveStorage::isLoggedIn() const {
    return m_account.hasTokens();
}

void OneDriveStorage::logout() {
    m_account.signOut();
}

void OneDriveStorage::refresh(Success success, Failure failure) {
    m_account.ensureFresh(std::move(success), std::move(failure));
}

QString OneDriveStorage::accessToken() const {
    return m_account.tokens() ? m_account.tokens()->accessToken : QString();
}

QString OneDriveStorage::tenantIdentifier() const {
    if (!m_account.tokens()) {
        return {};
    }
    const QList<QByteArray> parts = m_account.tokens()
                                        ->answer.value(QStringLiteral("id_token"))
                                        .toString()
                                        .toLatin1()
                                        .split('.');
    if (parts.size() != 3) {
        return {};
    }
    const QByteArray claims = QByteArray::fromBase64(
        parts[1], QByteArray::Base64UrlEncoding | QByteArray::AbortOnBase64DecodingErrors);
    return jsonOf(claims).value(QStringLiteral("tid")).toString();
}

void OneDriveStorage::findOrCreateFolder(std::function<void(const QString&)> found,
                                         Failure failure) {
    HttpClient::Request find;
    find.url = graph(QStringLiteral("me/drive/special/documents/children"));
    m_account.send(
        find,
        [this, found, failure](const HttpClient::Response& response) {
            const QJsonObject answer = jsonOf(response.body);
            if (!answer.value(QStringLiteral("value")).isArray()) {
                failure(folderText());
                return;
            }
            for (const QJsonValue item : answer.value(QStringLiteral("value")).toArray()) {
                const QJsonObject o = item.toObject();
                if (o.value(QStringLiteral("name")).toString() == kFolderName &&
                    o.contains(QStringLiteral("folder"))) {
                    found(o.value(QStringLiteral("id")).toString());
                    return;
                }
            }
            HttpClient::Request create;
            create.method = "POST";
            create.url = graph(QStringLiteral("me/drive/special/documents/children"));
            create.headers = {{"Content-Type", "application/json"}};
            create.body =
                QJsonDocument(QJsonObject{{QStringLiteral("name"), kFolderName},
                                          {QStringLiteral("folder"), QJsonObject{}},
                                          {QStringLiteral("@microsoft.graph.conflictBehavior"),
                                           QStringLiteral("rename")}})
                    .toJson(QJsonDocument::Compact);
            m_account.send(
                create,
                [this, found, failure](const HttpClient::Response& made) {
                    const QString id = jsonOf(made.body).value(QStringLiteral("id")).toString();
                    if (id.isEmpty()) {
                        failure(folderText());
                        return;
                    }
                    found(id);
                },
                [failure](const QString& message, int) { failure(message); });
        },
        [failure](const QString& message, int) { failure(message); });
}

void OneDriveStorage::listFiles(std::function<void(FileList)> success, Failure failure) {
    findOrCreateFolder(
        [this, success, failure](const QString& folder) {
            listPage(graph(QStringLiteral("me/drive/items/%1/children").arg(pathPart(folder))),
                     std::make_shared<FileList>(), 0, success, failure);
        },
        failure);
}

void OneDriveStorage::listPage(const QUrl& url, std::shared_ptr<FileList> files, int pages,
                               std::function<void(FileList)> success, Failure failure) {
    if (pages >= kMaxPages) {
        failure(folderText());
        return;
    }
    HttpClient::Request list;
    list.url = url;
    m_account.send(
        list,
        [this, url, files, pages, success, failure](const HttpClient::Response& response) {
            std::optional<GraphListing::Page> page = GraphListing::parse(response.body);
            if (!page) {
                failure(folderText());
                return;
            }
            files->insert(files->end(), page->files.begin(), page->files.end());
            // Graph pages long listings; the next page's address comes with the answer, and
            // it gets our token only where this page got it.
            if (!page->next.isEmpty()) {
                if (!GraphListing::sameOrigin(url, page->next)) {
                    failure(folderText());
                    return;
                }
                listPage(page->next, files, pages + 1, success, failure);
                return;
            }
            success(std::move(*files));
        },
        [failure](const QString& message, int) { failure(message); });
}

void OneDriveStorage::downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                                   Failure failure) {
    const QString target = WorkingCopy::path(m_services.paths, Location::oneDrive, file->name);
    if (target.isEmpty()) {
        failure(QString());
        return;
    }
    if (!file->id || file->id->isEmpty()) {
        failure(m_services.text(QStringLiteral("error_unkown")));
        return;
    }
    const QString failed = m_services.text(QStringLiteral("failed_load_file"));
    HttpClient::Request content;
    content.url = graph(QStringLiteral("me/drive/items/%1/content").arg(pathPart(*file->id)));
    RedirectedDownload::fetch(
        [this](HttpClient::Request request, HttpClient::Done done, HttpClient::Failed failed) {
            m_account.send(std::move(request), std::move(done), std::move(failed));
        },
        m_services.http, std::move(content), target, failed, std::move(success),
        std::move(failure));
}

void OneDriveStorage::saveCurrentFile(Success success, Failure failure) {
    const std::shared_ptr<RemoteFileInfo> file = m_services.session.remoteFileInfo;
    if (!file) {
        return;
    }
    QString error;
    const std::optional<QByteArray> bytes =
        WorkingCopy::load(m_services.paths, Location::oneDrive, file->name, &error);
    if (!bytes) {
        failure(error);
        return;
    }
    const auto upload = [this, bytes = *bytes, success, failure](const QUrl& url) {
        HttpClient::Request put;
        put.method = "PUT";
        put.url = url;
        put.headers = {{"Content-Type", "text/plain"}};
        put.body = bytes;
        m_account.send(
            put, [success](const HttpClient::Response&) { success(); },
            [failure](const QString& message, int) { failure(message); });
    };
    if (file->id && !file->id->isEmpty()) {
        upload(graph(QStringLiteral("me/drive/items/%1/content").arg(pathPart(*file->id))));
        return;
    }
    const QString name = file->name;
    findOrCreateFolder(
        [this, upload, name](const QString& folder) {
            upload(graph(QStringLiteral("me/drive/items/%1:/%2:/content")
                             .arg(pathPart(folder), pathPart(name))));
        },
        failure);
}

void OneDriveStorage::deleteFiles(FileList files, Success success, Failure failure) {
    for (const std::shared_ptr<RemoteFileInfo>& file : files) {
        if (!file->id || file->id->isEmpty()) {
            continue;
        }
        HttpClient::Request remove;
        remove.method = "DELETE";
        remove.url = graph(QStringLiteral("me/drive/items/%1").arg(pathPart(*file->id)));
        m_account.send(
            remove, [success](const HttpClient::Response&) { success(); },
            [failure](const QString& message, int) { failure(message); });
    }
}

} // namespace keskor
