#pragma once
// One backup as the backup manager lists it: what it is called, where it is, how old and how
// large it is.

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QUrl>

namespace keskor {

struct BackupFileInfo {
    /// The file name with percent-escapes removed, for display.
    QString name;
    /// The file itself, as a file URL.
    QUrl path;
    /// Last modification of the file's content.
    QDateTime modified;
    /// In bytes.
    qint64 size = 0;

    /// The size with decimal units ("1.5 MB"), as desktop file managers show it.
    QString sizeString(const QLocale& locale = QLocale()) const;
    /// The modification date and time in the locale's short form, in local time.
    QString modifiedString(const QLocale& locale = QLocale()) const;

    bool operator==(const BackupFileInfo&) const = default;
};

} // namespace keskor
