#include "core/shared/FileFormats.h"

namespace keskor {

const QStringList& FileFormats::SUPPORTED_EXTENSIONS() {
    static const QStringList extensions{QStringLiteral(".pswd"), QStringLiteral(".pswe")};
    return extensions;
}

const QString FileFormats::DATABASE_NAME = QStringLiteral("database.pswd");
const QString FileFormats::DEFAULT_BACKUP_EXTENSION = QStringLiteral(".pswd");

QString FileFormats::createFileName(const QString& name, const QString& format) {
    if (format.isEmpty() || name.endsWith(format, Qt::CaseInsensitive)) {
        return name;
    }
    return name + format;
}

} // namespace keskor
