#include "testing/FakeGDriveServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <functional>
#include <optional>

namespace keskor::testing {

namespace {

using Item = FakeGDriveServer::Item;
using Predicate = std::function<bool(const Item&)>;

HttpServer::Response error(int status, const QString& message) {
    const QJsonObject body{
        {QStringLiteral("error"),
         QJsonObject{{QStringLiteral("code"), status}, {QStringLiteral("message"), message}}}};
    return HttpServer::Response::json(status, QJsonDocument(body).toJson(QJsonDocument::Compact));
}

HttpServer::Response json(int status, const QJsonObject& o) {
    return HttpServer::Response::json(status, QJsonDocument(o).toJson(QJsonDocument::Compact));
}

struct Token {
    bool quoted = false;
    QString text;
};

/// Words, "=" and quoted texts (with \' and \\ escapes); nullopt for an unterminated text.
std::optional<QList<Token>> tokenize(const QString& q) {
    QList<Token> tokens;
    for (qsizetype i = 0; i < q.size();) {
        if (q[i].isSpace()) {
            ++i;
        } else if (q[i] == QLatin1Char('\'')) {
            Token t{true, {}};
            for (++i; i < q.size() && q[i] != QLatin1Char('\''); ++i) {
                if (q[i] == QLatin1Char('\\') && ++i == q.size()) {
                    return std::nullopt;
                }
                t.text += q[i];
            }
            if (i++ == q.size()) {
                return std::nullopt;
            }
            tokens.append(t);
        } else if (q[i] == QLatin1Char('=')) {
            tokens.append({false, QStringLiteral("=")});
            ++i;
        } else {
            Token t;
            while (i < q.size() && !q[i].isSpace() && q[i] != QLatin1Char('=') &&
                   q[i] != QLatin1Char('\'')) {
                t.text += q[i++];
            }
            tokens.append(t);
        }
    }
    return tokens;
}

/// The terms joined by "and" that the client sends; nullopt for anything else.
std::optional<Predicate> parse(const QString& q) {
    const std::optional<QList<Token>> tokens = tokenize(q);
    if (!tokens || tokens->isEmpty()) {
        return std::nullopt;
    }
    QList<Predicate> terms;
    for (qsizetype i = 0; i < tokens->size();) {
        const Token a = tokens->value(i), op = tokens->value(i + 1), b = tokens->value(i + 2);
        if (a.quoted && op.text == QLatin1String("in") && !b.quoted &&
            (b.text == QLatin1String("parents") || b.text == QLatin1String("owners"))) {
            const bool parents = b.text == QLatin1String("parents");
            terms.append([parents, v = a.text](const Item& item) {
                return parents ? item.parents.contains(v) : item.owner == v;
            });
        } else if (!a.quoted && op.text == QLatin1String("=") && b.quoted &&
                   (a.text == QLatin1String("name") || a.text == QLatin1String("mimeType"))) {
            const bool name = a.text == QLatin1String("name");
            terms.append([name, v = b.text](const Item& item) {
                return (name ? item.name : item.mimeType) == v;
            });
        } else if (a.text == QLatin1String("trashed") && op.text == QLatin1String("=") &&
                   !b.quoted &&
                   (b.text == QLatin1String("true") || b.text == QLatin1String("false"))) {
            terms.append([v = b.text == QLatin1String("true")](const Item& item) {
                return item.trashed == v;
            });
        } else {
            return std::nullopt;
        }
        i += 3;
        if (i == tokens->size()) {
            break;
        }
        if (tokens->value(i).quoted || tokens->value(i).text != QLatin1String("and")) {
            return std::nullopt;
        }
        ++i;
    }
    return [terms](const Item& item) {
        return std::all_of(terms.begin(), terms.end(), [&](const Predicate& p) { return p(item); });
    };
}

} // namespace

FakeGDriveServer::FakeGDriveServer()
    : m_http(
          [this](const HttpServer::Request& r) { return m_oauth.handle(r).value_or(route(r)); }) {}

QString FakeGDriveServer::add(const QString& name, const QString& parent, const QByteArray& content,
                              bool folder, const QString& owner, bool trashed) {
    const QString id = QStringLiteral("F%1").arg(m_nextId++, 6, 10, QLatin1Char('0'));
    m_items.insert(id, Item{id,
                            name,
                            folder ? kFolderType : QStringLiteral("application/octet-stream"),
                            {parent},
                            owner.isEmpty() ? m_email : owner,
                            trashed,
                            content,
                            QDateTime::currentDateTimeUtc()});
    return id;
}

QList<Item> FakeGDriveServer::named(const QString& name) const {
    QList<Item> found;
    for (const Item& item : m_items) {
        if (item.name == name) {
            found.append(item);
        }
    }
    return found;
}

QJsonObject FakeGDriveServer::toJson(const Item& item) const {
    QJsonObject o{{QStringLiteral("id"), item.id},
                  {QStringLiteral("name"), item.name},
                  {QStringLiteral("mimeType"), item.mimeType},
                  {QStringLiteral("modifiedTime"), item.modified.toString(Qt::ISODateWithMs)}};
    if (item.mimeType != kFolderType) {
        o.insert(QStringLiteral("size"), QString::number(item.content.size()));
    }
    return o;
}

HttpServer::Response FakeGDriveServer::list(const HttpServer::Request& r) {
    const QUrlQuery query = r.query();
    const std::optional<Predicate> match =
        parse(query.queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded));
    if (!match) {
        return error(400, QStringLiteral("Invalid Value"));
    }
    const int wanted = query.queryItemValue(QStringLiteral("pageSize")).toInt();
    const int size = wanted > 0 ? std::min(wanted, m_pageSize) : m_pageSize;
    const int skip = query.queryItemValue(QStringLiteral("pageToken")).toInt();
    QJsonArray files;
    int index = 0;
    bool more = false;
    for (const Item& item : m_items) {
        if (!(*match)(item)) {
            continue;
        }
        if (index >= skip + size) {
            more = true;
            break;
        }
        if (index++ >= skip) {
            files.append(toJson(item));
        }
    }
    QJsonObject answer{{QStringLiteral("files"), files}};
    const QString fields = query.queryItemValue(QStringLiteral("fields"), QUrl::FullyDecoded);
    if (more && (fields.isEmpty() || fields.contains(QLatin1String("nextPageToken")))) {
        answer.insert(QStringLiteral("nextPageToken"), QString::number(skip + size));
    }
    return json(200, answer);
}

HttpServer::Response FakeGDriveServer::uploadMultipart(const HttpServer::Request& r) {
    static const QRegularExpression boundaryOf(
        QStringLiteral("^multipart/related;\\s*boundary=\"?([^\";]+)\"?$"));
    const auto m = boundaryOf.match(QString::fromLatin1(r.headers.value("content-type")));
    if (!m.hasMatch()) {
        return error(400, QStringLiteral("Bad multipart content type"));
    }
    const QByteArray delimiter = "--" + m.captured(1).toLatin1();
    // Parts: metadata, media; each "headers CRLF CRLF body" between CRLF-led delimiters.
    QList<QByteArray> parts;
    qsizetype at = r.body.indexOf(delimiter);
    while (at >= 0) {
        const qsizetype start = at + delimiter.size();
        if (r.body.mid(start, 2) == "--") {
            break;
        }
        const qsizetype next = r.body.indexOf("\r\n" + delimiter, start);
        if (next < 0) {
            return error(400, QStringLiteral("Unterminated multipart body"));
        }
        const QByteArray part = r.body.mid(start + 2, next - start - 2);
        const qsizetype split = part.indexOf("\r\n\r\n");
        parts.append(split < 0 ? QByteArray() : part.mid(split + 4));
        at = next + 2;
    }
    if (parts.size() != 2) {
        return error(400, QStringLiteral("Expected metadata and media"));
    }
    const QJsonObject metadata = QJsonDocument::fromJson(parts[0]).object();
    const QString name = metadata.value(QStringLiteral("name")).toString();
    const QJsonArray parents = metadata.value(QStringLiteral("parents")).toArray();
    if (name.isEmpty() || parents.size() != 1) {
        return error(400, QStringLiteral("Invalid metadata"));
    }
    if (!m_items.contains(parents[0].toString())) {
        return error(404, QStringLiteral("File not found: ") + parents[0].toString());
    }
    return json(200, toJson(m_items.value(add(name, parents[0].toString(), parts[1]))));
}

HttpServer::Response FakeGDriveServer::route(const HttpServer::Request& r) {
    const QString path = r.path();
    if (!m_oauth.isValidAccessToken(r.headers.value("authorization"))) {
        return error(401, QStringLiteral("Invalid Credentials"));
    }
    if (path == QLatin1String("/oauth2/v3/userinfo") && r.method == "GET") {
        return json(200, {{QStringLiteral("sub"), QStringLiteral("1")},
                          {QStringLiteral("email"), m_email},
                          {QStringLiteral("email_verified"), true}});
    }
    if (m_failure != 0) {
        return error(m_failure, QStringLiteral("Backend Error"));
    }
    if (path == QLatin1String("/drive/v3/files") && r.method == "GET") {
        return list(r);
    }
    if (path == QLatin1String("/drive/v3/files") && r.method == "POST") {
        const QJsonObject metadata = QJsonDocument::fromJson(r.body).object();
        const QString name = metadata.value(QStringLiteral("name")).toString();
        if (name.isEmpty()) {
            return error(400, QStringLiteral("Invalid metadata"));
        }
        const bool folder = metadata.value(QStringLiteral("mimeType")).toString() == kFolderType;
        return json(200, toJson(m_items.value(add(name, QStringLiteral("root"), {}, folder))));
    }
    if (path == QLatin1String("/upload/drive/v3/files") && r.method == "POST") {
        return r.query().queryItemValue(QStringLiteral("uploadType")) == "multipart"
                   ? uploadMultipart(r)
                   : error(400, QStringLiteral("Unsupported upload type"));
    }
    static const QRegularExpression fileRoute(
        QStringLiteral("^/(upload/)?drive/v3/files/([^/]+)$"));
    const auto m = fileRoute.match(path);
    if (!m.hasMatch() || !m_items.contains(m.captured(2))) {
        return error(404, QStringLiteral("File not found"));
    }
    Item& item = m_items[m.captured(2)];
    const bool upload = !m.captured(1).isEmpty();
    if (upload && r.method == "PATCH" &&
        r.query().queryItemValue(QStringLiteral("uploadType")) == "media") {
        item.content = r.body;
        item.modified = QDateTime::currentDateTimeUtc();
        return json(200, toJson(item));
    }
    if (!upload && r.method == "GET" &&
        r.query().queryItemValue(QStringLiteral("alt")) == "media") {
        switch (m_downloadFault) {
        case DownloadFault::RedirectLoop:
            return HttpServer::Response::redirect(baseUrl().resolved(r.target));
        case DownloadFault::CutShort:
            return HttpServer::Response{200, {}, item.content.left(2), item.content.size() + 10};
        case DownloadFault::None:
            break;
        }
        return HttpServer::Response{
            200, {{"Content-Type", "application/octet-stream"}}, item.content, -1};
    }
    if (!upload && r.method == "DELETE") {
        const QString id = item.id;
        m_items.remove(id);
        return HttpServer::Response{204, {}, {}, -1};
    }
    return error(400, QStringLiteral("Bad Request"));
}

} // namespace keskor::testing
