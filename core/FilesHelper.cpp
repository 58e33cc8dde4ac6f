#include "core/FilesHelper.h"

#include "core/shared/FileFormats.h"

namespace keskor {

bool FilesHelper::isSupported(const QString& name) {
    const QString lower = name.toLower();
    for (const QString& extension : FileFormats::SUPPORTED_EXTENSIONS()) {
        if (lower.endsWith(extension.toLower())) {
            return true;
        }
    }
    return false;
}

QStringList FilesHelper::archiveExtensions() {
    QStringList out;
    for (const QString& extension : FileFormats::SUPPORTED_EXTENSIONS()) {
        out << extension.mid(1).toLower() << extension.mid(1).toUpper();
    }
    return out;
}

} // namespace keskor
