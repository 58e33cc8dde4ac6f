#pragma once
// The Dropbox API v2 as DropboxStorage uses it, on 127.0.0.1, with the API host and the content
// host on two ports as the service has them (a route asked of the wrong host fails): OAuth's
// authorise and token endpoints, files/list_folder and files/list_folder/continue with cursors,
// files/download and files/upload with their JSON argument in the ASCII "Dropbox-API-Arg"
// header, and files/delete_v2. Paths are case-insensitive; every route answers 401
// "expired_access_token" without a valid token of the fake's own token endpoint.

#include "testing/FakeOAuthServer.h"
#include "testing/HttpServer.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMap>

namespace keskor::testing {

class FakeDropboxServer {
public:
    struct Entry {
        QString name;
        bool isFolder = false;
        QByteArray content;
        QDateTime clientModified;
    };
    /// How downloads misbehave.
    enum class DownloadFault { None, RedirectLoop, CutShort };

    FakeDropboxServer();
    bool listen() { return m_api.listen() && m_content.listen(); }
    QUrl apiHost() const { return m_api.baseUrl(); }
    QUrl contentHost() const { return m_content.baseUrl(); }
    QUrl authorizeUrl() const {
        return apiHost().resolved(QUrl(QStringLiteral("/oauth2/authorize")));
    }

    FakeOAuthServer& oauth() { return m_oauth; }
    void add(const QString& name, const QByteArray& content = {}, bool folder = false);
    /// By lower-case path ("/name").
    const QMap<QString, Entry>& entries() const { return m_entries; }
    void setPageSize(int size) { m_pageSize = size; }
    /// Every route answers with this status (0 for normal answers).
    void setFailure(int status) { m_failure = status; }
    void setDownloadFault(DownloadFault fault) { m_downloadFault = fault; }
    /// The requests of both hosts, in order per host.
    QList<HttpServer::Request> requests() const { return m_api.requests() + m_content.requests(); }

private:
    HttpServer::Response route(const HttpServer::Request& request, bool onContentHost);
    HttpServer::Response listFrom(int offset);
    QJsonObject metadata(const Entry& entry) const;

    FakeOAuthServer m_oauth;
    HttpServer m_api;
    HttpServer m_content;
    QMap<QString, Entry> m_entries;
    int m_pageSize = 500;
    int m_failure = 0;
    DownloadFault m_downloadFault = DownloadFault::None;
};

} // namespace keskor::testing
