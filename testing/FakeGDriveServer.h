#pragma once
// The Drive v3 REST interface and Google's OAuth endpoints as GDriveStorage uses them, on
// 127.0.0.1: files.list with the query language's "name =", "mimeType =", "in parents",
// "in owners" and "trashed =" terms and page tokens (a next page token only when the fields
// ask for it, as the service does), files.create of metadata, multipart uploads, media updates,
// media downloads, deletion, and the user information. Every route answers 401 without a
// valid token of the fake's own token endpoint.

#include "testing/FakeOAuthServer.h"
#include "testing/HttpServer.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMap>
#include <QStringList>

namespace keskor::testing {

class FakeGDriveServer {
public:
    struct Item {
        QString id;
        QString name;
        QString mimeType;
        QStringList parents;
        QString owner;
        bool trashed = false;
        QByteArray content;
        QDateTime modified;
    };
    /// How media downloads misbehave.
    enum class DownloadFault { None, RedirectLoop, CutShort };

    static inline const QString kFolderType = QStringLiteral("application/vnd.google-apps.folder");

    FakeGDriveServer();
    bool listen() { return m_http.listen(); }
    QUrl baseUrl() const { return m_http.baseUrl(); }
    QUrl authorizeUrl() const { return baseUrl().resolved(QUrl(QStringLiteral("/o/authorize"))); }
    QUrl tokenUrl() const { return baseUrl().resolved(QUrl(QStringLiteral("/o/token"))); }

    FakeOAuthServer& oauth() { return m_oauth; }
    /// The signed-in account; files added without an owner belong to it.
    QString email() const { return m_email; }
    QString add(const QString& name, const QString& parent, const QByteArray& content = {},
                bool folder = false, const QString& owner = {}, bool trashed = false);
    const QMap<QString, Item>& items() const { return m_items; }
    /// Gone for good, as if deleted in another client (its children stay, orphaned).
    void remove(const QString& id) { m_items.remove(id); }
    QList<Item> named(const QString& name) const;
    /// Files per page unless the request asks for fewer.
    void setPageSize(int size) { m_pageSize = size; }
    /// Every Drive route answers with this status (0 for normal answers).
    void setFailure(int status) { m_failure = status; }
    void setDownloadFault(DownloadFault fault) { m_downloadFault = fault; }
    const QList<HttpServer::Request>& requests() const { return m_http.requests(); }

private:
    HttpServer::Response route(const HttpServer::Request& request);
    HttpServer::Response list(const HttpServer::Request& request);
    HttpServer::Response uploadMultipart(const HttpServer::Request& request);
    QJsonObject toJson(const Item& item) const;

    FakeOAuthServer m_oauth;
    HttpServer m_http;
    QString m_email = QStringLiteral("owner@example.com");
    QMap<QString, Item> m_items;
    int m_nextId = 1;
    int m_pageSize = 100;
    int m_failure = 0;
    DownloadFault m_downloadFault = DownloadFault::None;
};

} // namespace keskor::testing
