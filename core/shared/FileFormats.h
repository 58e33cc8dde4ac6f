#pragma once
// Names and versions of the database files.

#include <QString>
#include <QStringList>

namespace keskor {

class FileFormats {
public:
    /// Database name endings, compared case-insensitively.
    static const QStringList& SUPPORTED_EXTENSIONS();
    /// The one entry of a database in the Zip form.
    static const QString DATABASE_NAME;
    /// Backups are Zip-form databases and are listed and opened like any database.
    static const QString DEFAULT_BACKUP_EXTENSION;
    /// Version of the item data; written into the XML export's header.
    static constexpr int DATA_FORMAT_VERSION = 12;

    /// `name` with `format` (an extension such as ".pswe") appended unless it already ends
    /// with it (in any case).
    static QString createFileName(const QString& name, const QString& format);
};

} // namespace keskor
