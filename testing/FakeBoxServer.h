#pragma once
// The Box content API 2.0 as BoxStorage uses it, on 127.0.0.1: folder items in pages (offset,
// limit, total_count), folder creation, the content route that redirects to a pre-authenticated
// download address, multipart uploads of new files and new versions on a separate upload host,
// and deletion; the authorisation and token endpoints of a confidential client whose refresh
// tokens are good once. Every API route answers 401 without a valid token. Names the service
// refuses (slashes, "." and "..") and a second file of the same name in a folder are refused
// as it does.

#include "testing/FakeOAuthServer.h"
#include "testing/HttpServer.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMap>

namespace keskor::testing {

class FakeBoxServer {
public:
    struct Item {
        QString id;
        QString name;
        QString parentId;
        /// "file", "folder" or "web_link".
        QString type;
        QByteArray content;
        QDateTime modified;
        int versions = 1;
    };
    static inline const QString kClientId = QStringLiteral("abcdefghijklmnopqrstuvwxyz012345");
    static inline const QString kClientSecret = QStringLiteral("S3cretS3cretS3cretS3cretS3cret12");

    FakeBoxServer();
    bool listen() { return m_api.listen() && m_upload.listen(); }
    /// Authorisation, token, API and download routes.
    QUrl apiUrl() const { return m_api.baseUrl(); }
    QUrl uploadUrl() const { return m_upload.baseUrl(); }

    FakeOAuthServer& oauth() { return m_oauth; }
    /// Adds an item; the root folder is "0".
    QString add(const QString& name, const QString& parentId, const QByteArray& content = {},
                const QString& type = QStringLiteral("file"));
    const QMap<QString, Item>& items() const { return m_items; }
    /// The largest page a listing may ask for; 1000 as the service allows.
    void setMaxPageSize(int size) { m_maxPage = size; }
    /// Every API and upload route answers with this status (0 for normal answers).
    void setFailure(int status) { m_failure = status; }
    /// The next upload finds every access token expired, as if it ran out while the bytes
    /// were on their way.
    void expireTokensAtNextUpload() { m_expireAtUpload = true; }
    /// The download address redirects to itself.
    void setDownloadRedirectLoop(bool on) { m_redirectLoop = on; }
    /// The download address sends half the bytes it announces.
    void setDownloadCutShort(bool on) { m_cutShort = on; }
    QList<HttpServer::Request> requests() const;

private:
    HttpServer::Response api(const HttpServer::Request& request);
    HttpServer::Response upload(const HttpServer::Request& request);
    HttpServer::Response items(const QString& folder, const HttpServer::Request& request);
    std::optional<HttpServer::Response> refused(const HttpServer::Request& request);
    std::optional<HttpServer::Response> badName(const QString& name, const QString& parent,
                                                const QString& except = {}) const;
    QJsonObject toJson(const Item& item) const;

    FakeOAuthServer m_oauth;
    HttpServer m_api;
    HttpServer m_upload;
    QMap<QString, Item> m_items;
    /// Nine digits, so that the map keeps the order of adding.
    qint64 m_nextId = 100000000;
    int m_maxPage = 1000;
    int m_failure = 0;
    bool m_expireAtUpload = false;
    bool m_redirectLoop = false;
    bool m_cutShort = false;
};

} // namespace keskor::testing
