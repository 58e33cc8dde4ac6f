#include "core/FileFunctions.h"

#include "core/FilesHelper.h"
#include "core/shared/ArchiveHelper.h"
#include "core/shared/AtomicFile.h"
#include "core/shared/CommonException.h"
#include "core/shared/DateTimeHelper.h"
#include "core/shared/FileFormats.h"
#include "core/shared/PassFile.h"
#include "core/shared/PrivateFiles.h"
#include "platform/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

namespace keskor {

QString FileFunctions::workingFolder(const AppPaths& paths, Location location, const QString& path,
                                     bool create) {
    QString folder;
    if (location == Location::localDevice) {
        folder = QUrl::fromPercentEncoding(path.toUtf8());
    } else {
        const QString name = Locations::workingFolderName(location);
        folder = name.isEmpty() ? paths.documents() : QDir(paths.documents()).filePath(name);
    }
    if (create && !PrivateFiles::makeFolder(folder)) {
        throw CommonException(QStringLiteral("Could not create the folder %1.")
                                  .arg(QDir::toNativeSeparators(folder)));
    }
    return folder;
}

QString FileFunctions::databaseFile(const AppPaths& paths, const DatabaseInfo& info) {
    return QDir(workingFolder(paths, info.location, info.path, false))
        .filePath(QUrl::fromPercentEncoding(info.name.toUtf8()));
}

PassFile FileFunctions::readDatabase(const AppPaths& paths, const DatabaseInfo& info,
                                     const Key256* key, bool noKey) {
    if (!FilesHelper::isSupported(info.name)) {
        throw CommonException(QStringLiteral("Unsupported file format"));
    }
    const QString path = databaseFile(paths, info);
    if (!QFileInfo(path).isFile()) {
        throw CommonException(
            QStringLiteral("The file %1 does not exist.").arg(QDir::toNativeSeparators(path)));
    }
    QByteArray text;
    if (ArchiveHelper::isZipArchive(path)) {
        text = ArchiveHelper::readEntry(path, FileFormats::DATABASE_NAME);
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            throw CommonException(QStringLiteral("Could not read %1: %2")
                                      .arg(QDir::toNativeSeparators(path), file.errorString()));
        }
        text = file.readAll();
    }
    PassFile loaded;
    loaded.load(text, key, noKey);
    loaded.setModified(false);
    loaded.postLoad();
    return loaded;
}

void FileFunctions::writeDatabase(const QString& target, const Key256& key, PassFile& file) {
    const PassFile::FileType type = file.fileType();
    if (type != PassFile::FileType::Plain && type != PassFile::FileType::Zip) {
        throw CommonException(QStringLiteral("The database has the storage type %1, which this "
                                             "version cannot write.")
                                  .arg(static_cast<int>(type)));
    }
    const double previous = file.lastModified;
    file.lastModified = DateTimeHelper::Now();
    try {
        const QByteArray text = file.getData(key);
        if (type == PassFile::FileType::Zip) {
            ArchiveHelper::writeSingleEntry(target, FileFormats::DATABASE_NAME, text);
            return;
        }
        QString error;
        if (!AtomicFile::write(target, text, &error)) {
            throw CommonException(QStringLiteral("Could not write %1: %2")
                                      .arg(QDir::toNativeSeparators(target), error));
        }
    } catch (...) {
        file.lastModified = previous;
        throw;
    }
}

bool FileFunctions::emptyCloudFolders(const AppPaths& paths) {
    for (int raw = Locations::raw(Location::dropbox); raw <= Locations::raw(Location::ftp); ++raw) {
        const QString folder = workingFolder(paths, static_cast<Location>(raw), QString(), false);
        QDir dir(folder);
        if (!dir.exists()) {
            continue;
        }
        for (const QFileInfo& entry : dir.entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                        QDir::System | QDir::NoDotAndDotDot)) {
            const bool removed = entry.isDir() && !entry.isSymLink()
                                     ? QDir(entry.absoluteFilePath()).removeRecursively()
                                     : QFile::remove(entry.absoluteFilePath());
            if (!removed) {
                return false;
            }
        }
    }
    return true;
}

} // namespace keskor
