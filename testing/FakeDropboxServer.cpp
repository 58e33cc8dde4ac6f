#include "testing/FakeDropboxServer.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace keskor::testing {

namespace {

HttpServer::Response json(int status, const QJsonObject& o) {
    return HttpServer::Response::json(status, QJsonDocument(o).toJson(QJsonDocument::Compact));
}

/// A route error: 409 with the summary and the nested tags the service gives.
HttpServer::Response routeError(const QString& tag, const QString& inner) {
    return json(409, {{QStringLiteral("error_summary"), tag + QLatin1Char('/') + inner + "/.."},
                      {QStringLiteral("error"),
                       QJsonObject{{QStringLiteral(".tag"), tag},
                                   {tag, QJsonObject{{QStringLiteral(".tag"), inner}}}}}});
}

/// A malformed call: 400 with a plain-text explanation, as the service answers.
HttpServer::Response badCall(const QByteArray& why) {
    return HttpServer::Response{
        400, {{"Content-Type", "text/plain"}}, "Error in call to API function: " + why, -1};
}

/// The JSON argument of a content route; nullopt unless it is an ASCII JSON object.
std::optional<QJsonObject> contentArg(const HttpServer::Request& r) {
    const QByteArray header = r.headers.value("dropbox-api-arg");
    if (std::any_of(header.begin(), header.end(), [](char c) { return c & 0x80; })) {
        return std::nullopt;
    }
    const QJsonDocument document = QJsonDocument::fromJson(header);
    return document.isObject() ? std::optional(document.object()) : std::nullopt;
}

/// The one-component path of the root, in lower case; empty for anything else.
QString rootPath(const QString& path) {
    return path.startsWith(QLatin1Char('/')) && path.size() > 1 && path.count(QLatin1Char('/')) == 1
               ? path.toLower()
               : QString();
}

QString tagOf(const QJsonValue& v) {
    return v.isObject() ? v.toObject().value(QStringLiteral(".tag")).toString() : v.toString();
}

} // namespace

FakeDropboxServer::FakeDropboxServer()
    : m_api([this](const HttpServer::Request& r) {
          return m_oauth.handle(r).value_or(route(r, false));
      }),
      m_content([this](const HttpServer::Request& r) { return route(r, true); }) {}

void FakeDropboxServer::add(const QString& name, const QByteArray& content, bool folder) {
    m_entries.insert(QLatin1Char('/') + name.toLower(),
                     Entry{name, folder, content, QDateTime::currentDateTimeUtc()});
}

QJsonObject FakeDropboxServer::metadata(const Entry& entry) const {
    QJsonObject o{{QStringLiteral(".tag"), entry.isFolder ? "folder" : "file"},
                  {QStringLiteral("name"), entry.name},
                  {QStringLiteral("path_lower"), QLatin1Char('/') + entry.name.toLower()},
                  {QStringLiteral("path_display"), QLatin1Char('/') + entry.name}};
    if (!entry.isFolder) {
        o.insert(QStringLiteral("client_modified"), entry.clientModified.toString(Qt::ISODate));
        o.insert(QStringLiteral("size"), entry.content.size());
    }
    return o;
}

HttpServer::Response FakeDropboxServer::listFrom(int offset) {
    QJsonArray entries;
    for (auto it = std::next(m_entries.cbegin(), std::min<qsizetype>(offset, m_entries.size()));
         it != m_entries.cend() && entries.size() < m_pageSize; ++it) {
        entries.append(metadata(*it));
    }
    const int next = offset + static_cast<int>(entries.size());
    return json(200, {{QStringLiteral("entries"), entries},
                      {QStringLiteral("cursor"), QStringLiteral("cursor-%1").arg(next)},
                      {QStringLiteral("has_more"), next < m_entries.size()}});
}

HttpServer::Response FakeDropboxServer::route(const HttpServer::Request& r, bool onContentHost) {
    const QString path = r.path();
    const bool contentRoute =
        path == QLatin1String("/2/files/download") || path == QLatin1String("/2/files/upload");
    if (contentRoute != onContentHost) {
        return badCall("this route is served by the other host");
    }
    if (!m_oauth.isValidAccessToken(r.headers.value("authorization"))) {
        return json(401,
                    {{QStringLiteral("error_summary"), QStringLiteral("expired_access_token/")},
                     {QStringLiteral("error"),
                      QJsonObject{{QStringLiteral(".tag"), "expired_access_token"}}}});
    }
    if (m_failure != 0) {
        return HttpServer::Response{m_failure, {}, "Internal Server Error", -1};
    }
    if (contentRoute) {
        const std::optional<QJsonObject> arg = contentArg(r);
        if (!arg) {
            return badCall("Bad HTTP \"Dropbox-API-Arg\" header");
        }
        const QString key = rootPath(arg->value(QStringLiteral("path")).toString());
        if (key.isEmpty()) {
            return routeError(QStringLiteral("path"), QStringLiteral("malformed_path"));
        }
        const QByteArray type = r.headers.value("content-type");
        if (path.endsWith(QLatin1String("/download"))) {
            if (!type.isEmpty() && type != "text/plain" && type != "application/octet-stream") {
                return badCall("Bad HTTP \"Content-Type\" header");
            }
            const auto it = m_entries.constFind(key);
            if (it == m_entries.cend() || it->isFolder) {
                return routeError(QStringLiteral("path"), QStringLiteral("not_found"));
            }
            switch (m_downloadFault) {
            case DownloadFault::RedirectLoop:
                return HttpServer::Response::redirect(contentHost().resolved(r.target));
            case DownloadFault::CutShort:
                return HttpServer::Response{200, {}, it->content.left(2), it->content.size() + 10};
            case DownloadFault::None:
                break;
            }
            return HttpServer::Response{
                200,
                {{"Content-Type", "application/octet-stream"},
                 {"Dropbox-API-Result",
                  QJsonDocument(metadata(*it)).toJson(QJsonDocument::Compact)}},
                it->content,
                -1};
        }
        if (type != "application/octet-stream") {
            return badCall("Bad HTTP \"Content-Type\" header");
        }
        QString name = arg->value(QStringLiteral("path")).toString().mid(1);
        if (m_entries.contains(key) &&
            tagOf(arg->value(QStringLiteral("mode"))) != QLatin1String("overwrite")) {
            if (!arg->value(QStringLiteral("autorename")).toBool()) {
                return routeError(QStringLiteral("path"), QStringLiteral("conflict"));
            }
            name = QStringLiteral("%1 (1)").arg(name);
        }
        add(name, r.body);
        m_entries[QLatin1Char('/') + name.toLower()].clientModified = QDateTime::fromString(
            arg->value(QStringLiteral("client_modified")).toString(), Qt::ISODate);
        return json(200, metadata(m_entries.value(QLatin1Char('/') + name.toLower())));
    }

    const QJsonDocument body = QJsonDocument::fromJson(r.body);
    if (!r.headers.value("content-type").startsWith("application/json") || !body.isObject()) {
        return badCall("the body must be a JSON object");
    }
    const QJsonObject arg = body.object();
    if (path == QLatin1String("/2/files/list_folder")) {
        return arg.value(QStringLiteral("path")).toString().isEmpty()
                   ? listFrom(0)
                   : routeError(QStringLiteral("path"), QStringLiteral("not_found"));
    }
    if (path == QLatin1String("/2/files/list_folder/continue")) {
        const QString cursor = arg.value(QStringLiteral("cursor")).toString();
        bool ok = false;
        const int offset = cursor.mid(QStringLiteral("cursor-").size()).toInt(&ok);
        return cursor.startsWith(QLatin1String("cursor-")) && ok
                   ? listFrom(offset)
                   : routeError(QStringLiteral("reset"), QStringLiteral("reset"));
    }
    if (path == QLatin1String("/2/files/delete_v2")) {
        const QString key = rootPath(arg.value(QStringLiteral("path")).toString());
        if (!m_entries.contains(key)) {
            return routeError(QStringLiteral("path_lookup"), QStringLiteral("not_found"));
        }
        const Entry removed = m_entries.take(key);
        return json(200, {{QStringLiteral("metadata"), metadata(removed)}});
    }
    return badCall("unknown route");
}

} // namespace keskor::testing
