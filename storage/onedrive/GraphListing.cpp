#include "storage/onedrive/GraphListing.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace keskor {

namespace {

bool isDatabaseName(const QString& name) {
    if (!name.endsWith(QLatin1String("pswe")) && !name.endsWith(QLatin1String("pswd"))) {
        return false;
    }
    // A name that could leave the working folder it is downloaded to ("../", "..\\") or that
    // names a Qt resource instead of a file (a leading ':') is not one the service gives.
    if (name.startsWith(QLatin1Char(':'))) {
        return false;
    }
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c == u'/' || c == u'\\') {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<GraphListing::Page> GraphListing::parse(const QByteArray& body) {
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    const QJsonValue value = answer.value(QStringLiteral("value"));
    if (!value.isArray()) {
        return std::nullopt;
    }
    Page page;
    for (const QJsonValue item : value.toArray()) {
        const QJsonObject o = item.toObject();
        const QString name = o.value(QStringLiteral("name")).toString();
        if (!isDatabaseName(name)) {
            continue;
        }
        auto info =
            std::make_shared<RemoteFileInfo>(name, o.value(QStringLiteral("id")).toString());
        const QDateTime modified = QDateTime::fromString(
            o.value(QStringLiteral("lastModifiedDateTime")).toString(), Qt::ISODateWithMs);
        if (modified.isValid()) {
            info->modified = modified;
        }
        info->size = std::max<qint64>(0, o.value(QStringLiteral("size")).toInteger());
        page.files.push_back(std::move(info));
    }
    const QUrl next(answer.value(QStringLiteral("@odata.nextLink")).toString(), QUrl::StrictMode);
    if (next.isValid()) {
        page.next = next;
    }
    return page;
}

bool GraphListing::sameOrigin(const QUrl& page, const QUrl& next) {
    return next.scheme() == page.scheme() && next.host() == page.host() &&
           next.port() == page.port();
}

} // namespace keskor
