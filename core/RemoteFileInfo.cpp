#include "core/RemoteFileInfo.h"

#include <QLocale>

namespace keskor {

namespace {
QString lastComponent(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}
} // namespace

RemoteFileInfo::RemoteFileInfo(QString p, std::optional<QString> i)
    : path(std::move(p)), id(std::move(i)), name(lastComponent(path)) {}

QString RemoteFileInfo::sizeString(const std::function<QString(const QString&)>& text) const {
    if (size == 0) {
        return QString();
    }
    if (size <= 1024) {
        return QStringLiteral("%1 ").arg(size) + text(QStringLiteral("Bytes"));
    }
    if (size <= 1024 * 1024) {
        return QString::asprintf("%.2f ", static_cast<double>(size) / 1024.0) +
               text(QStringLiteral("KB"));
    }
    return QString::asprintf("%.2f ", static_cast<double>(size) / 1048576.0) +
           text(QStringLiteral("MB"));
}

QString RemoteFileInfo::modifiedString() const {
    if (!modified) {
        return QString();
    }
    // The pattern's "a" is the English AM/PM marker whatever the user's locale.
    return QLocale::c().toString(*modified, QStringLiteral("MM/dd/yyyy hh:mm:ss AP"));
}

} // namespace keskor
