#include "testing/FakeHiDriveServer.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace keskor::testing {

namespace {

HttpServer::Response error(int status, const char* message) {
    return HttpServer::Response::json(status, QByteArray(R"({"code":")") +
                                                  QByteArray::number(status) + R"(","msg":")" +
                                                  message + R"("})");
}

QByteArray compact(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

/// A parameter as a web server reads it: "+" is a blank.
QString decoded(const QUrlQuery& query, const char* name) {
    QString raw = query.queryItemValue(QString::fromLatin1(name), QUrl::FullyEncoded);
    raw.replace(QLatin1Char('+'), QLatin1Char(' '));
    return QUrl::fromPercentEncoding(raw.toUtf8());
}

} // namespace

FakeHiDriveServer::FakeHiDriveServer()
    : m_account([this](const HttpServer::Request& r) {
          return m_oauth.handle(r).value_or(error(404, "Not Found"));
      }),
      m_api([this](const HttpServer::Request& r) { return route(r); }) {
    m_oauth.requireClientSecret(kClientId, kClientSecret);
    m_oauth.setAnswerExtras(QJsonObject{{QStringLiteral("alias"), kAlias},
                                        {QStringLiteral("userid"), QStringLiteral("1.2.3")},
                                        {QStringLiteral("scope"), QStringLiteral("user,rw")}});
    m_items.insert(home(), Item{home(), kAlias, {}, true, {}, 0});
}

QString FakeHiDriveServer::add(const QString& name, const QString& parentId,
                               const QByteArray& content, bool dir) {
    const QString id =
        (dir ? QStringLiteral("b") : QStringLiteral("f")) + QString::number(m_nextId++);
    m_items.insert(
        id, Item{id, name, parentId, dir, content, QDateTime::currentSecsSinceEpoch() - 3600});
    return id;
}

QString FakeHiDriveServer::idOfPath(const QString& path) const {
    const QString prefix = QStringLiteral("/users/") + kAlias;
    if (path == prefix) {
        return home();
    }
    if (!path.startsWith(prefix + QLatin1Char('/'))) {
        return {};
    }
    QString id = home();
    for (const QString& part : path.mid(prefix.size() + 1).split(QLatin1Char('/'))) {
        const auto child = std::find_if(m_items.cbegin(), m_items.cend(), [&](const Item& item) {
            return item.parentId == id && item.name == part;
        });
        if (child == m_items.cend()) {
            return {};
        }
        id = child->id;
    }
    return id;
}

QJsonObject FakeHiDriveServer::toJson(const Item& item, const QStringList& fields) const {
    const QJsonObject full{
        {QStringLiteral("id"), item.id},
        {QStringLiteral("name"), QString::fromLatin1(QUrl::toPercentEncoding(item.name))},
        {QStringLiteral("type"), item.isDir ? QStringLiteral("dir") : QStringLiteral("file")},
        {QStringLiteral("mtime"), item.mtime},
        {QStringLiteral("size"), item.content.size()}};
    if (fields.isEmpty()) {
        return full;
    }
    QJsonObject chosen;
    for (const QString& field : fields) {
        if (full.contains(field)) {
            chosen.insert(field, full.value(field));
        }
    }
    return chosen;
}

HttpServer::Response FakeHiDriveServer::dir(const HttpServer::Request& r,
                                            const QUrlQuery& parameters) {
    if (r.method == "POST") {
        const QString path = decoded(parameters, "path");
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        const QString parent = idOfPath(path.left(slash));
        const QString name = path.mid(slash + 1);
        if (parent.isEmpty() || name.isEmpty()) {
            return error(404, "Not Found");
        }
        if (!idOfPath(path).isEmpty()) {
            return error(409, "Conflict");
        }
        return HttpServer::Response::json(
            201, compact(toJson(m_items[add(name, parent, {}, true)], {})));
    }
    const QString id = parameters.hasQueryItem(QStringLiteral("pid"))
                           ? decoded(parameters, "pid")
                           : idOfPath(decoded(parameters, "path"));
    if (!m_items.contains(id) || !m_items.value(id).isDir) {
        return error(404, "Not Found");
    }
    QStringList memberFields;
    for (const QString& field : decoded(parameters, "fields").split(QLatin1Char(','))) {
        if (field.startsWith(QLatin1String("members."))) {
            memberFields << field.mid(8);
        }
    }
    QJsonObject answer{{QStringLiteral("id"), id}};
    if (!memberFields.isEmpty()) {
        QJsonArray members;
        for (const Item& item : m_items) {
            if (item.parentId == id) {
                members.append(toJson(item, memberFields));
            }
        }
        answer.insert(QStringLiteral("members"), members);
    }
    return HttpServer::Response::json(200, compact(answer));
}

HttpServer::Response FakeHiDriveServer::route(const HttpServer::Request& r) {
    if (r.method == "PUT" && m_expireAtUpload) {
        m_expireAtUpload = false;
        m_oauth.expireAccessTokens();
    }
    if (!m_oauth.isValidAccessToken(r.headers.value("authorization"))) {
        return error(401, "Unauthorized");
    }
    if (m_failure != 0) {
        return error(m_failure, "Internal Server Error");
    }
    QUrlQuery parameters = r.query();
    if (r.headers.value("content-type") == "application/x-www-form-urlencoded") {
        for (const auto& [name, value] :
             QUrlQuery(QString::fromLatin1(r.body)).queryItems(QUrl::FullyEncoded)) {
            parameters.addQueryItem(name, value);
        }
    }
    if (r.path() == QLatin1String("/2.1/dir")) {
        return dir(r, parameters);
    }
    if (r.path() != QLatin1String("/2.1/file")) {
        return error(404, "Not Found");
    }
    if (r.method == "PUT") {
        const QString parent = decoded(parameters, "dir_id");
        const QString name = decoded(parameters, "name");
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
            name == QLatin1String("..")) {
            return error(400, "Bad Request");
        }
        if (!m_items.contains(parent) || !m_items.value(parent).isDir) {
            return error(404, "Not Found");
        }
        for (Item& item : m_items) {
            if (item.parentId == parent && item.name == name && !item.isDir) {
                item.content = r.body;
                item.mtime = QDateTime::currentSecsSinceEpoch();
                return HttpServer::Response::json(200, compact(toJson(item, {})));
            }
        }
        return HttpServer::Response::json(201,
                                          compact(toJson(m_items[add(name, parent, r.body)], {})));
    }
    const QString id = decoded(parameters, "pid");
    if (!m_items.contains(id) || m_items.value(id).isDir) {
        return error(404, "Not Found");
    }
    if (r.method == "GET") {
        if (m_redirectLoop) {
            return HttpServer::Response::redirect(m_api.baseUrl().resolved(r.target));
        }
        const QByteArray content = m_items.value(id).content;
        return m_cutShort
                   ? HttpServer::Response{200, {}, content.left(content.size() / 2), content.size()}
                   : HttpServer::Response{200, {}, content, -1};
    }
    if (r.method == "DELETE") {
        m_items.remove(id);
        return HttpServer::Response{204, {}, {}, -1};
    }
    return error(400, "Bad Request");
}

} // namespace keskor::testing
