#include "testing/FakeBoxServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace keskor::testing {

namespace {

const QString kRoot = QStringLiteral("0");

HttpServer::Response error(int status, const char* code) {
    return HttpServer::Response::json(status, QByteArray(R"({"type":"error","status":)") +
                                                  QByteArray::number(status) + R"(,"code":")" +
                                                  code + R"(","message":"fake"})");
}

QByteArray compact(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

struct Part {
    QByteArray name;
    QByteArray body;
};

/// The parts of a multipart/form-data body, in order; empty when it is not one.
QList<Part> parts(const HttpServer::Request& request) {
    const QByteArray type = request.headers.value("content-type");
    const qsizetype at = type.indexOf("boundary=");
    if (!type.startsWith("multipart/form-data") || at < 0) {
        return {};
    }
    const QByteArray delimiter = "--" + type.mid(at + 9);
    QList<Part> found;
    const QByteArray& rest = request.body;
    if (!rest.startsWith(delimiter)) {
        return {};
    }
    for (qsizetype from = delimiter.size();;) {
        if (rest.mid(from, 2) == "--") {
            return found; // the closing delimiter
        }
        const qsizetype next = rest.indexOf("\r\n" + delimiter, from);
        if (next < 0) {
            return {};
        }
        const QByteArray piece = rest.mid(from + 2, next - from - 2);
        const qsizetype headEnd = piece.indexOf("\r\n\r\n");
        static const QRegularExpression named(QStringLiteral("name=\"([^\"]*)\""));
        const auto m = named.match(QString::fromUtf8(piece.left(headEnd)));
        if (headEnd < 0 || !m.hasMatch()) {
            return {};
        }
        found.append(Part{m.captured(1).toUtf8(), piece.mid(headEnd + 4)});
        from = next + 2 + delimiter.size();
    }
}

} // namespace

FakeBoxServer::FakeBoxServer()
    : m_api([this](const HttpServer::Request& r) { return m_oauth.handle(r).value_or(api(r)); }),
      m_upload([this](const HttpServer::Request& r) { return upload(r); }) {
    m_oauth.requireClientSecret(kClientId, kClientSecret);
    m_oauth.setSingleUseRefreshTokens(true);
}

QList<HttpServer::Request> FakeBoxServer::requests() const {
    return m_api.requests() + m_upload.requests();
}

QString FakeBoxServer::add(const QString& name, const QString& parentId, const QByteArray& content,
                           const QString& type) {
    const QString id = QString::number(m_nextId++);
    m_items.insert(id, Item{id, name, parentId, type, content,
                            QDateTime::currentDateTimeUtc().addSecs(-3600), 1});
    return id;
}

QJsonObject FakeBoxServer::toJson(const Item& item) const {
    // The service reports times in the account's zone, with its offset.
    return QJsonObject{
        {QStringLiteral("type"), item.type},
        {QStringLiteral("id"), item.id},
        {QStringLiteral("etag"), QString::number(item.versions - 1)},
        {QStringLiteral("name"), item.name},
        {QStringLiteral("size"), item.content.size()},
        {QStringLiteral("content_modified_at"),
         item.modified.toOffsetFromUtc(-8 * 3600).toString(Qt::ISODate)},
        {QStringLiteral("parent"), QJsonObject{{QStringLiteral("type"), QStringLiteral("folder")},
                                               {QStringLiteral("id"), item.parentId}}}};
}

std::optional<HttpServer::Response> FakeBoxServer::refused(const HttpServer::Request& r) {
    if (!m_oauth.isValidAccessToken(r.headers.value("authorization"))) {
        return error(401, "unauthorized");
    }
    if (m_failure != 0) {
        return error(m_failure, "internal_server_error");
    }
    return std::nullopt;
}

std::optional<HttpServer::Response>
FakeBoxServer::badName(const QString& name, const QString& parent, const QString& except) const {
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
        name == QLatin1String(".") || name == QLatin1String("..")) {
        return error(400, "item_name_invalid");
    }
    if (parent != kRoot &&
        (!m_items.contains(parent) || m_items.value(parent).type != QLatin1String("folder"))) {
        return error(404, "not_found");
    }
    for (const Item& item : m_items) {
        if (item.parentId == parent && item.name == name && item.id != except) {
            return error(409, "item_name_in_use");
        }
    }
    return std::nullopt;
}

HttpServer::Response FakeBoxServer::items(const QString& folder, const HttpServer::Request& r) {
    if (folder != kRoot &&
        (!m_items.contains(folder) || m_items.value(folder).type != QLatin1String("folder"))) {
        return error(404, "not_found");
    }
    const QUrlQuery query = r.query();
    const int offset = query.queryItemValue(QStringLiteral("offset")).toInt();
    const int limit = query.hasQueryItem(QStringLiteral("limit"))
                          ? query.queryItemValue(QStringLiteral("limit")).toInt()
                          : 100;
    if (limit < 1 || limit > m_maxPage || offset < 0) {
        return error(400, "bad_request");
    }
    const QStringList fields =
        query.queryItemValue(QStringLiteral("fields")).split(QLatin1Char(','));
    QJsonArray entries;
    int total = 0;
    for (const Item& item : m_items) {
        if (item.parentId != folder) {
            continue;
        }
        if (total >= offset && total < offset + limit) {
            const QJsonObject full = toJson(item);
            QJsonObject entry{{QStringLiteral("type"), item.type},
                              {QStringLiteral("id"), item.id},
                              {QStringLiteral("etag"), full.value(QStringLiteral("etag"))},
                              {QStringLiteral("name"), item.name}};
            for (const QString& field : fields) {
                if (full.contains(field)) {
                    entry.insert(field, full.value(field));
                }
            }
            entries.append(entry);
        }
        ++total;
    }
    return HttpServer::Response::json(200,
                                      compact(QJsonObject{{QStringLiteral("total_count"), total},
                                                          {QStringLiteral("entries"), entries},
                                                          {QStringLiteral("offset"), offset},
                                                          {QStringLiteral("limit"), limit}}));
}

HttpServer::Response FakeBoxServer::api(const HttpServer::Request& r) {
    static const QRegularExpression download(QStringLiteral("^/dl/([0-9]+)$"));
    // The pre-authenticated download address needs no token, as with the real service.
    if (const auto m = download.match(r.path()); m.hasMatch() && r.method == "GET") {
        if (m_redirectLoop) {
            return HttpServer::Response::redirect(m_api.baseUrl().resolved(QUrl(r.path())));
        }
        const auto it = m_items.constFind(m.captured(1));
        if (it == m_items.cend()) {
            return error(404, "not_found");
        }
        if (m_cutShort) {
            return HttpServer::Response{
                200, {}, it->content.left(it->content.size() / 2), it->content.size()};
        }
        return HttpServer::Response{200, {}, it->content, -1};
    }
    if (!r.path().startsWith(QLatin1String("/2.0/"))) {
        return error(404, "not_found");
    }
    if (const auto no = refused(r)) {
        return *no;
    }
    static const QRegularExpression folderItems(QStringLiteral("^/2.0/folders/([0-9]+)/items$"));
    if (const auto m = folderItems.match(r.path()); m.hasMatch() && r.method == "GET") {
        return items(m.captured(1), r);
    }
    if (r.path() == QLatin1String("/2.0/folders") && r.method == "POST") {
        const QJsonObject body = QJsonDocument::fromJson(r.body).object();
        const QString name = body.value(QStringLiteral("name")).toString();
        const QString parent =
            body.value(QStringLiteral("parent")).toObject().value(QStringLiteral("id")).toString();
        if (const auto bad = badName(name, parent)) {
            return *bad;
        }
        const QString id = add(name, parent, {}, QStringLiteral("folder"));
        return HttpServer::Response::json(201, compact(toJson(m_items.value(id))));
    }
    static const QRegularExpression file(QStringLiteral("^/2.0/files/([0-9]+)(/content)?$"));
    const auto m = file.match(r.path());
    if (!m.hasMatch() || !m_items.contains(m.captured(1)) ||
        m_items.value(m.captured(1)).type == QLatin1String("folder")) {
        return error(404, "not_found");
    }
    if (m.captured(2) == QLatin1String("/content") && r.method == "GET") {
        return HttpServer::Response::redirect(
            m_api.baseUrl().resolved(QUrl(QStringLiteral("/dl/") + m.captured(1))));
    }
    if (m.captured(2).isEmpty() && r.method == "DELETE") {
        m_items.remove(m.captured(1));
        return HttpServer::Response{204, {}, {}, -1};
    }
    return error(405, "method_not_allowed");
}

HttpServer::Response FakeBoxServer::upload(const HttpServer::Request& r) {
    if (m_expireAtUpload) {
        m_expireAtUpload = false;
        m_oauth.expireAccessTokens();
    }
    if (const auto no = refused(r)) {
        return *no;
    }
    static const QRegularExpression route(QStringLiteral("^/api/2.0/files/(?:([0-9]+)/)?content$"));
    const auto m = route.match(r.path());
    if (!m.hasMatch() || r.method != "POST") {
        return error(404, "not_found");
    }
    const QList<Part> form = parts(r);
    if (form.size() != 2 || form[0].name != "attributes" || form[1].name != "file") {
        return error(400, "bad_request"); // attributes must come before the file
    }
    const QJsonObject attributes = QJsonDocument::fromJson(form[0].body).object();
    const QString name = attributes.value(QStringLiteral("name")).toString();
    QString id = m.captured(1);
    if (id.isEmpty()) {
        const QString parent = attributes.value(QStringLiteral("parent"))
                                   .toObject()
                                   .value(QStringLiteral("id"))
                                   .toString();
        if (const auto bad = badName(name, parent)) {
            return *bad;
        }
        id = add(name, parent, form[1].body);
    } else {
        if (!m_items.contains(id) || m_items.value(id).type != QLatin1String("file")) {
            return error(404, "not_found");
        }
        Item& item = m_items[id];
        if (!name.isEmpty() && name != item.name) {
            if (const auto bad = badName(name, item.parentId, id)) {
                return *bad;
            }
            item.name = name;
        }
        item.content = form[1].body;
        item.modified = QDateTime::currentDateTimeUtc();
        ++item.versions;
    }
    return HttpServer::Response::json(
        201, compact(QJsonObject{{QStringLiteral("total_count"), 1},
                                 {QStringLiteral("entries"), QJsonArray{toJson(m_items[id])}}}));
}

} // namespace keskor::testing
