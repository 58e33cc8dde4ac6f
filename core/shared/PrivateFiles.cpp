#include "core/shared/PrivateFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace keskor {

QFileDevice::Permissions PrivateFiles::fileMode() {
    return QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
           QFileDevice::WriteUser;
}

QFileDevice::Permissions PrivateFiles::folderMode() {
    return fileMode() | QFileDevice::ExeOwner | QFileDevice::ExeUser;
}

QFileDevice::Permissions PrivateFiles::replacementMode(const QString& path,
                                                       QFileDevice::Permissions wanted) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return wanted;
    }
    const QFileDevice::Permissions existing = info.permissions();
    // Stricter means: grants nothing that `wanted` does not. The "user" bits only mirror the
    // owner bits for the current account, so they take no part.
    const QFileDevice::Permissions others(0x7077);
    return (existing & ~wanted & others) ? wanted : existing;
}

bool PrivateFiles::makeFolder(const QString& folder) {
    QString current = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    QStringList missing;
    while (!QFileInfo::exists(current)) {
        missing.prepend(current);
        const QString parent = QFileInfo(current).absolutePath();
        if (parent == current) {
            break;
        }
        current = parent;
    }
    for (const QString& path : std::as_const(missing)) {
        // mkdir then chmod: the umask could only widen nothing here, but may narrow the owner's
        // bits, so the mode is set explicitly.
        if (!QDir().mkdir(path) && !QFileInfo(path).isDir()) {
            return false;
        }
        if (!QFile::setPermissions(path, folderMode())) {
            return false;
        }
    }
    return QFileInfo(folder).isDir();
}

} // namespace keskor
