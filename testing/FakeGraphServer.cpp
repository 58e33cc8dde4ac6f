#include "testing/FakeGraphServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

namespace keskor::testing {

namespace {

const QString kDocuments = QStringLiteral("documents");

HttpServer::Response error(int status, const char* code) {
    return HttpServer::Response::json(status, QByteArray(R"({"error":{"code":")") + code +
                                                  R"(","message":"fake"}})");
}

} // namespace

FakeGraphServer::FakeGraphServer()
    : m_http(
          [this](const HttpServer::Request& r) { return m_oauth.handle(r).value_or(route(r)); }) {}

QString FakeGraphServer::add(const QString& name, const QString& parentId,
                             const QByteArray& content, bool folder) {
    const QString id = QStringLiteral("ITEM%1").arg(m_nextId++);
    m_items.insert(id, Item{id, name, parentId, folder, content, QDateTime::currentDateTimeUtc()});
    return id;
}

QJsonObject FakeGraphServer::toJson(const Item& item) {
    QJsonObject o{
        {QStringLiteral("id"), item.id},
        {QStringLiteral("name"), item.name},
        {QStringLiteral("size"), item.content.size()},
        {QStringLiteral("lastModifiedDateTime"), item.modified.toString(Qt::ISODateWithMs)}};
    if (item.isFolder) {
        o.insert(QStringLiteral("folder"), QJsonObject{{QStringLiteral("childCount"), 0}});
    } else {
        o.insert(QStringLiteral("file"), QJsonObject{});
    }
    return o;
}

HttpServer::Response FakeGraphServer::children(const QString& parent,
                                               const HttpServer::Request& request) {
    const int skip = request.query().queryItemValue(QStringLiteral("$skiptoken")).toInt();
    QJsonArray value;
    int index = 0;
    bool more = false;
    for (const Item& item : m_items) {
        if (item.parentId != parent) {
            continue;
        }
        if (index >= skip + m_pageSize) {
            more = true;
            break;
        }
        if (index++ >= skip) {
            value.append(toJson(item));
        }
    }
    QJsonObject answer{{QStringLiteral("value"), value}};
    if (more) {
        QUrl next = baseUrl().resolved(QUrl(request.path()));
        next.setQuery(QStringLiteral("$skiptoken=%1").arg(skip + m_pageSize));
        answer.insert(QStringLiteral("@odata.nextLink"), next.toString());
    }
    return HttpServer::Response::json(200, QJsonDocument(answer).toJson(QJsonDocument::Compact));
}

HttpServer::Response FakeGraphServer::route(const HttpServer::Request& r) {
    static const QRegularExpression download(QStringLiteral("^/download/([^/]+)$"));
    // The pre-authenticated address needs no token, as with the real service.
    if (const auto m = download.match(r.path()); m.hasMatch() && r.method == "GET") {
        const auto it = m_items.constFind(m.captured(1));
        return it == m_items.cend() ? error(404, "itemNotFound")
                                    : HttpServer::Response{200, {}, it->content, -1};
    }
    if (!r.path().startsWith(QLatin1String("/v1.0/me/drive/"))) {
        return error(404, "invalidRequest");
    }
    if (!m_oauth.isValidAccessToken(r.headers.value("authorization"))) {
        return error(401, "InvalidAuthenticationToken");
    }
    if (m_failure != 0) {
        return error(m_failure, "generalException");
    }
    const QString path =
        r.target.path(QUrl::FullyEncoded).mid(QStringLiteral("/v1.0/me/drive/").size());
    if (path == QLatin1String("special/documents/children")) {
        if (r.method == "GET") {
            return children(kDocuments, r);
        }
        const QJsonObject body = QJsonDocument::fromJson(r.body).object();
        const QString id = add(body.value(QStringLiteral("name")).toString(), kDocuments, {}, true);
        return HttpServer::Response::json(
            201, QJsonDocument(toJson(m_items.value(id))).toJson(QJsonDocument::Compact));
    }
    static const QRegularExpression byName(QStringLiteral("^items/([^/:]+):/(.+):/content$"));
    if (const auto m = byName.match(path); m.hasMatch() && r.method == "PUT") {
        const QString name = QUrl::fromPercentEncoding(m.captured(2).toLatin1());
        for (Item& item : m_items) {
            if (item.parentId == m.captured(1) && item.name == name) {
                item.content = r.body;
                return HttpServer::Response::json(
                    200, QJsonDocument(toJson(item)).toJson(QJsonDocument::Compact));
            }
        }
        const QString id = add(name, m.captured(1), r.body);
        return HttpServer::Response::json(
            201, QJsonDocument(toJson(m_items.value(id))).toJson(QJsonDocument::Compact));
    }
    static const QRegularExpression itemRoute(
        QStringLiteral("^items/([^/]+)(/children|/content)?$"));
    const auto m = itemRoute.match(path);
    if (!m.hasMatch() || !m_items.contains(m.captured(1))) {
        return error(404, "itemNotFound");
    }
    const QString id = m.captured(1);
    const QString rest = m.captured(2);
    if (rest == QLatin1String("/children") && r.method == "GET") {
        return children(id, r);
    }
    if (rest == QLatin1String("/content") && r.method == "GET") {
        return HttpServer::Response::redirect(
            baseUrl().resolved(QUrl(QStringLiteral("/download/") + id)));
    }
    if (rest == QLatin1String("/content") && r.method == "PUT") {
        m_items[id].content = r.body;
        return HttpServer::Response::json(
            200, QJsonDocument(toJson(m_items.value(id))).toJson(QJsonDocument::Compact));
    }
    if (rest.isEmpty() && r.method == "DELETE") {
        m_items.remove(id);
        return HttpServer::Response{204, {}, {}, -1};
    }
    return error(400, "invalidRequest");
}

} // namespace keskor::testing
