#include "core/DatabaseInfoHelper.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace keskor {

QString DatabaseInfoHelper::text(const DatabaseInfo& info) {
    const QString path = info.location == Location::localDevice
                             ? QUrl::fromPercentEncoding(info.path.toUtf8())
                             : info.path;
    return QStringLiteral("%1:/%2/%3").arg(Locations::scheme(info.location), path, info.name);
}

QString DatabaseInfoHelper::filePath(const QString& folder, const DatabaseInfo& info) {
    return QDir(folder).filePath(QUrl::fromPercentEncoding(info.name.toUtf8()));
}

DatabaseInfo DatabaseInfoHelper::localFile(const QString& path) {
    const QFileInfo file(path);
    return DatabaseInfo{file.fileName(), file.absolutePath(), Location::localDevice, false};
}

} // namespace keskor
