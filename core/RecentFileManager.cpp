#include "core/RecentFileManager.h"

#include "platform/DefaultsStore.h"

namespace keskor {

RecentFileManager::RecentFileManager(DefaultsStore& standardDefault)
    : m_standardDefault(standardDefault) {}

QString RecentFileManager::encode(const DatabaseInfo& info) const {
    return QStringList{info.name, info.path, QString::number(Locations::raw(info.location)),
                       info.isAzure ? QStringLiteral("true") : QStringLiteral("false")}
        .join(separator);
}

std::optional<DatabaseInfo> RecentFileManager::decode(const QString& text) const {
    const QStringList parts = text.split(separator);
    if (parts.size() != 4 || parts[0].isEmpty()) {
        return std::nullopt;
    }
    bool ok = false;
    const int raw = parts[2].toInt(&ok, 10);
    const std::optional<Location> location = ok ? Locations::fromRaw(raw) : std::nullopt;
    if (!location) {
        return std::nullopt;
    }
    return DatabaseInfo{parts[0], parts[1], *location, parts[3] == QLatin1String("true")};
}

QList<DatabaseInfo> RecentFileManager::recentFiles() const {
    QList<DatabaseInfo> list;
    for (const QString& text : m_standardDefault.stringList(save_key).value_or(QStringList())) {
        if (auto info = decode(text)) {
            list.append(*info);
        }
    }
    while (list.size() > maxCount) {
        list.removeLast();
    }
    return list;
}

void RecentFileManager::addRecentFile(const DatabaseInfo& info) {
    QList<DatabaseInfo> list = recentFiles();
    // A name or path that runs into the separator ("a*" then "***") would read back as some
    // other database; such a database is left out rather than remembered wrongly.
    if (decode(encode(info)) != info) {
        return;
    }
    list.removeIf([&](const DatabaseInfo& old) {
        return old.location == info.location &&
               old.name.compare(info.name, Qt::CaseInsensitive) == 0 &&
               old.path.compare(info.path, Qt::CaseInsensitive) == 0;
    });
    list.prepend(info);
    while (list.size() > maxCount) {
        list.removeLast();
    }
    QStringList texts;
    for (const DatabaseInfo& entry : list) {
        texts.append(encode(entry));
    }
    m_standardDefault.setObject(save_key, texts);
}

} // namespace keskor
