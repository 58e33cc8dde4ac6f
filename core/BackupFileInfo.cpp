#include "core/BackupFileInfo.h"

namespace keskor {

QString BackupFileInfo::sizeString(const QLocale& locale) const {
    return locale.formattedDataSize(size, 1, QLocale::DataSizeSIFormat);
}

QString BackupFileInfo::modifiedString(const QLocale& locale) const {
    if (!modified.isValid()) {
        return QString();
    }
    return locale.toString(modified.toLocalTime(), QLocale::ShortFormat);
}

} // namespace keskor
