#pragma once
// Microsoft Graph v1.0 and the identity platform's endpoints as OneDriveStorage uses them, on
// 127.0.0.1: the children of the special "documents" folder (creating "Keskor" there), the
// paged children of an item ("@odata.nextLink"), the content route that redirects to a
// pre-authenticated download address, uploads by id or by folder and name, and deletion. Every
// Graph route answers 401 without a valid token of the fake's own token endpoint.

#include "testing/FakeOAuthServer.h"
#include "testing/HttpServer.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMap>

namespace keskor::testing {

class FakeGraphServer {
public:
    struct Item {
        QString id;
        QString name;
        QString parentId;
        bool isFolder = false;
        QByteArray content;
        QDateTime modified;
    };

    FakeGraphServer();
    bool listen() { return m_http.listen(); }
    QUrl baseUrl() const { return m_http.baseUrl(); }
    /// The authority and Graph endpoint of a deployment file pointing here.
    QUrl authority() const { return baseUrl().resolved(QUrl(QStringLiteral("/common"))); }
    QUrl graphEndpoint() const { return baseUrl().resolved(QUrl(QStringLiteral("/"))); }

    FakeOAuthServer& oauth() { return m_oauth; }
    /// Adds an item; a parent of "documents" puts it into the special folder.
    QString add(const QString& name, const QString& parentId, const QByteArray& content = {},
                bool folder = false);
    const QMap<QString, Item>& items() const { return m_items; }
    /// Children per page of a listing; 200 as the service does by default.
    void setPageSize(int size) { m_pageSize = size; }
    /// Every Graph route answers with this status (0 for normal answers).
    void setFailure(int status) { m_failure = status; }
    const QList<HttpServer::Request>& requests() const { return m_http.requests(); }

private:
    HttpServer::Response route(const HttpServer::Request& request);
    HttpServer::Response children(const QString& parent, const HttpServer::Request& request);
    static QJsonObject toJson(const Item& item);

    FakeOAuthServer m_oauth;
    HttpServer m_http;
    QMap<QString, Item> m_items;
    int m_nextId = 1;
    int m_pageSize = 200;
    int m_failure = 0;
};

} // namespace keskor::testing
