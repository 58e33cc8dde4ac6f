#pragma once
// The HiDrive REST API 2.1 as HiDriveStorage uses it, on 127.0.0.1: directories by path or by id
// with the members' fields asked for (names percent-encoded, as the service answers), directory
// creation, file download, upload by directory id and name (replacing a file of that name) and
// deletion; on a separate account host the authorisation page that shows the code to copy and
// the token endpoint, whose answers carry the user's alias. Every API route answers 401 without
// a valid token.

#include "testing/FakeOAuthServer.h"
#include "testing/HttpServer.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMap>

namespace keskor::testing {

class FakeHiDriveServer {
public:
    struct Item {
        QString id;
        QString name;
        QString parentId;
        bool isDir = false;
        QByteArray content;
        qint64 mtime = 0;
    };
    static inline const QString kClientId = QStringLiteral("0123456789abcdef0123456789abcdef");
    static inline const QString kClientSecret = QStringLiteral("fedcba9876543210fedcba9876543210");
    static inline const QString kAlias = QStringLiteral("anna.berg");

    FakeHiDriveServer();
    bool listen() { return m_account.listen() && m_api.listen(); }
    QUrl accountUrl() const { return m_account.baseUrl(); }
    QUrl apiUrl() const { return m_api.baseUrl(); }

    FakeOAuthServer& oauth() { return m_oauth; }
    /// The id of the user's home folder "/users/" + alias.
    QString home() const { return QStringLiteral("b1"); }
    QString add(const QString& name, const QString& parentId, const QByteArray& content = {},
                bool dir = false);
    const QMap<QString, Item>& items() const { return m_items; }
    /// Every API route answers with this status (0 for normal answers).
    void setFailure(int status) { m_failure = status; }
    /// The next upload finds every access token expired.
    void expireTokensAtNextUpload() { m_expireAtUpload = true; }
    /// A download redirects to itself.
    void setDownloadRedirectLoop(bool on) { m_redirectLoop = on; }
    /// A download sends half the bytes it announces.
    void setDownloadCutShort(bool on) { m_cutShort = on; }
    const QList<HttpServer::Request>& apiRequests() const { return m_api.requests(); }

private:
    HttpServer::Response route(const HttpServer::Request& request);
    HttpServer::Response dir(const HttpServer::Request& request, const QUrlQuery& parameters);
    QString idOfPath(const QString& path) const;
    QJsonObject toJson(const Item& item, const QStringList& fields) const;

    FakeOAuthServer m_oauth;
    HttpServer m_account;
    HttpServer m_api;
    QMap<QString, Item> m_items;
    /// Nine digits, so that the map keeps the order of adding.
    qint64 m_nextId = 100000000;
    int m_failure = 0;
    bool m_expireAtUpload = false;
    bool m_redirectLoop = false;
    bool m_cutShort = false;
};

} // namespace keskor::testing
