#include "storage/WorkingCopy.h"

#include "core/FileFunctions.h"
#include "core/shared/AtomicFile.h"
#include "core/shared/CommonException.h"

#include <QDir>
#include <QFile>

namespace keskor {

bool WorkingCopy::isPlainName(const QString& name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar::Null);
}

QString WorkingCopy::path(const AppPaths& paths, Location location, const QString& name) {
    if (!isPlainName(name)) {
        return {};
    }
    try {
        return QDir(FileFunctions::workingFolder(paths, location, {}, true)).filePath(name);
    } catch (const CommonException&) {
        return {};
    }
}

std::optional<QByteArray> WorkingCopy::load(const AppPaths& paths, Location location,
                                            const QString& name, QString* error) {
    if (error) {
        error->clear();
    }
    const QString source = path(paths, location, name);
    if (source.isEmpty()) {
        return std::nullopt;
    }
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
            *error = file.errorString();
        }
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error) {
            *error = file.errorString();
        }
        return std::nullopt;
    }
    return bytes;
}

bool WorkingCopy::write(const QString& path, const QByteArray& bytes) {
    return AtomicFile::write(path, bytes, nullptr,
                             QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

} // namespace keskor
