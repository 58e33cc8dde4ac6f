#pragma once
// Zip archives of databases and backups (over QuaZip). Entries are read and written in memory;
// archives are written through a temporary file in the target folder and renamed, so a failed
// write never replaces the previous file.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace keskor {

class ArchiveHelper {
public:
    /// Largest entry we unpack: a bound against archives that expand without end.
    static constexpr qint64 kMaxEntryBytes = 1024ll * 1024 * 1024;

    /// True when the file starts like a Zip archive.
    static bool isZipArchive(const QString& path);
    /// The bytes of one entry. Throws CommonException when the archive is damaged or lacks it.
    static QByteArray readEntry(const QString& zipPath, const QString& entryName);
    /// Writes an archive holding exactly one entry.
    static void writeSingleEntry(const QString& zipPath, const QString& entryName,
                                 const QByteArray& bytes);

    /// Unpacks every entry into `destination` (created when missing, files overwritten).
    /// Returns false when the file is not a Zip archive; throws on any other failure. Entry
    /// names that would leave the folder are refused.
    static bool unzipFile(const QString& zipPath, const QString& destination);
    /// Packs the files (by their file names, without folders) into a new archive.
    static void zipFiles(const QStringList& files, const QString& zipPath);
};

} // namespace keskor
