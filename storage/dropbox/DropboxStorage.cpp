#include "storage/dropbox/DropboxStorage.h"

#include "core/SessionManager.h"
#include "storage/WorkingCopy.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace keskor {

namespace {

/// A listing longer than this many pages is a service that never stops paging.
constexpr int kMaxPages = 1000;

QJsonObject jsonOf(const QByteArray& body) {
    return QJsonDocument::fromJson(body).object();
}

QUrl below(const QUrl& host, const QString& path) {
    return QUrl(host.toString(QUrl::StripTrailingSlash) + path, QUrl::StrictMode);
}

OAuthFlow::Config flowConfig(const Deployment::Dropbox& d) {
    OAuthFlow::Config config{d.authorizeUrl,
                             below(d.apiHost, QStringLiteral("/oauth2/token")),
                             d.appKey,
                             {},
                             {},
                             {{QStringLiteral("token_access_type"), QStringLiteral("offline")}}};
    config.deniedTextKey = QStringLiteral("cloud_storage_auth_canceled");
    return config;
}

HttpClient::Failed passOn(const IRemoteStorage::Failure& failure) {
    return [failure](const QString& message, int) { failure(message); };
}

} // namespace

DropboxStorage::DropboxStorage(Services services, const Deployment::Dropbox& deployment)
    : m_services(std::move(services)), m_apiHost(deployment.apiHost),
      m_contentHost(deployment.contentHost),
      m_flow(m_services.http, flowConfig(deployment), m_services.openBrowser, m_services.text),
      m_account(m_services.http, m_flow, m_services.keychain, kTokensKey) {}

QByteArray DropboxStorage::apiArg(const QJsonObject& argument) {
    const QString json = QString::fromUtf8(QJsonDocument(argument).toJson(QJsonDocument::Compact));
    // HTTP headers carry ASCII only; JSON escapes keep every other character (UTF-16 units,
    // so characters beyond the basic plane become their surrogate pair).
    QByteArray ascii;
    ascii.reserve(json.size());
    for (const QChar c : json) {
        if (c.unicode() < 0x7f) {
            ascii += static_cast<char>(c.unicode());
        } else {
            ascii += "\\u" + QByteArray::number(c.unicode(), 16).rightJustified(4, '0');
        }
    }
    return ascii;
}

QString DropboxStorage::unexpectedText() const {
    return m_services.text(QStringLiteral("error_unkown"));
}

HttpClient::Request DropboxStorage::rpc(const QString& route, const QJsonObject& argument) const {
    HttpClient::Request request;
    request.method = "POST";
    request.url = below(m_apiHost, QStringLiteral("/2/") + route);
    request.headers = {{"Content-Type", "application/json"}};
    request.body = QJsonDocument(argument).toJson(QJsonDocument::Compact);
    return request;
}

QString DropboxStorage::dropboxPath(const RemoteFileInfo& file, const Failure& failure) const {
    if (!WorkingCopy::isPlainName(file.name)) {
        failure(unexpectedText());
        return {};
    }
    return QLatin1Char('/') + file.name;
}

void DropboxStorage::login(Success success, Failure failure) {
    if (m_account.hasTokens()) {
        m_account.ensureFresh(std::move(success), std::move(failure));
        return;
    }
    m_account.signIn(std::move(success), std::move(failure));
}

bool DropboxStorage::isLoggedIn() const {
    return m_account.hasTokens();
}

void DropboxStorage::logout() {
    m_account.signOut();
}

void DropboxStorage::listFiles(std::function<void(FileList)> success, Failure failure) {
    listPage(rpc(QStringLiteral("files/list_folder"),
                 {{QStringLiteral("path"), QString()},
                  {QStringLiteral("recursive"), false},
                  {QStringLiteral("include_deleted"), false},
                  {QStringLiteral("include_mounted_folders"), true},
                  {QStringLiteral("include_non_downloadable_files"), true}}),
             std::make_shared<FileList>(), 0, std::move(success), std::move(failure));
}

void DropboxStorage::listPage(HttpClient::Request request, std::shared_ptr<FileList> files,
                              int pages, std::function<void(FileList)> success, Failure failure) {
    if (pages >= kMaxPages) {
        failure(unexpectedText());
        return;
    }
    m_account.send(
        std::move(request),
        [this, files, pages, success, failure](const HttpClient::Response& response) {
            const QJsonObject answer = jsonOf(response.body);
            if (!answer.value(QStringLiteral("entries")).isArray()) {
                failure(unexpectedText());
                return;
            }
            for (const QJsonValue entry : answer.value(QStringLiteral("entries")).toArray()) {
                const QJsonObject o = entry.toObject();
                if (o.value(QStringLiteral(".tag")).toString() != QLatin1String("file")) {
                    continue; // folders, and deleted entries should the service send them
                }
                auto info =
                    std::make_shared<RemoteFileInfo>(o.value(QStringLiteral("name")).toString());
                const QDateTime modified = QDateTime::fromString(
                    o.value(QStringLiteral("client_modified")).toString(), Qt::ISODate);
                if (modified.isValid()) {
                    info->modified = modified;
                }
                info->size = o.value(QStringLiteral("size")).toInteger();
                files->push_back(std::move(info));
            }
            const QString cursor = answer.value(QStringLiteral("cursor")).toString();
            if (answer.value(QStringLiteral("has_more")).toBool() && !cursor.isEmpty()) {
                listPage(rpc(QStringLiteral("files/list_folder/continue"),
                             {{QStringLiteral("cursor"), cursor}}),
                         files, pages + 1, success, failure);
                return;
            }
            success(std::move(*files));
        },
        passOn(failure));
}

void DropboxStorage::downloadFile(std::shared_ptr<RemoteFileInfo> file, Success success,
                                  Failure failure) {
    const QString path = dropboxPath(*file, failure);
    if (path.isEmpty()) {
        return;
    }
    const QString target = WorkingCopy::path(m_services.paths, Location::dropbox, file->name);
    if (target.isEmpty()) {
        failure(QString());
        return;
    }
    HttpClient::Request request;
    request.method = "POST";
    request.url = below(m_contentHost, QStringLiteral("/2/files/download"));
    request.headers = {{"Dropbox-API-Arg", apiArg({{QStringLiteral("path"), path}})}};
    m_account.send(
        request,
        [this, target, success, failure](const HttpClient::Response& content) {
            if (!WorkingCopy::write(target, content.body)) {
                failure(m_services.text(QStringLiteral("failed_load_file")));
                return;
            }
            success();
        },
        passOn(failure));
}

void DropboxStorage::saveCurrentFile(Success success, Failure failure) {
    const std::shared_ptr<RemoteFileInfo> file = m_services.session.remoteFileInfo;
    if (!file) {
        return;
    }
    const QString path = dropboxPath(*file, failure);
    if (path.isEmpty()) {
        return;
    }
    QString error;
    const std::optional<QByteArray> bytes =
        WorkingCopy::load(m_services.paths, Location::dropbox, file->name, &error);
    if (!bytes) {
        failure(error);
        return;
    }
    HttpClient::Request request;
    request.method = "POST";
    request.url = below(m_contentHost, QStringLiteral("/2/files/upload"));
    // Overwrite keeps one file under the path; mute spares the user's devices a notification.
    const QJsonObject argument{
        {QStringLiteral("path"), path},
        {QStringLiteral("mode"), QStringLiteral("overwrite")},
        {QStringLiteral("autorename"), true},
        {QStringLiteral("client_modified"),
         QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss'Z'"))},
        {QStringLiteral("mute"), true},
        {QStringLiteral("strict_conflict"), false}};
    request.headers = {{"Dropbox-API-Arg", apiArg(argument)},
                       {"Content-Type", "application/octet-stream"}};
    request.body = *bytes;
    m_account.send(
        request, [success](const HttpClient::Response&) { success(); }, passOn(failure));
}

void DropboxStorage::deleteFiles(FileList files, Success success, Failure failure) {
    for (const std::shared_ptr<RemoteFileInfo>& file : files) {
        if (dropboxPath(*file, failure).isEmpty()) {
            return;
        }
    }
    deleteEach(std::move(files), std::move(success), std::move(failure));
}

// One request per file, in turn; the callbacks run once, after the last or at the first error.
void DropboxStorage::deleteEach(FileList files, Success success, Failure failure) {
    if (files.empty()) {
        success();
        return;
    }
    const QString path = QLatin1Char('/') + files.front()->name;
    files.erase(files.begin());
    m_account.send(
        rpc(QStringLiteral("files/delete_v2"), {{QStringLiteral("path"), path}}),
        [this, files, success, failure](const HttpClient::Response&) {
            deleteEach(files, success, failure);
        },
        passOn(failure));
}

} // namespace keskor
