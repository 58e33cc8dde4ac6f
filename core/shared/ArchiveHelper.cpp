#include "core/shared/ArchiveHelper.h"

#include "core/shared/AtomicFile.h"
#include "core/shared/CommonException.h"
#include "core/shared/PrivateFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <quazip.h>
#include <quazipfile.h>

namespace keskor {

namespace {

QString damaged(const QString& path) {
    return QStringLiteral("The archive %1 is damaged or cannot be read.")
        .arg(QFileInfo(path).fileName());
}

QByteArray readCurrent(QuaZip& zip, const QString& zipPath) {
    QuaZipFileInfo64 info;
    if (!zip.getCurrentFileInfo(&info) ||
        static_cast<qint64>(info.uncompressedSize) > ArchiveHelper::kMaxEntryBytes) {
        throw CommonException(damaged(zipPath));
    }
    QuaZipFile entry(&zip);
    if (!entry.open(QIODevice::ReadOnly)) {
        throw CommonException(damaged(zipPath));
    }
    QByteArray bytes;
    bytes.reserve(static_cast<qsizetype>(info.uncompressedSize));
    char chunk[64 * 1024];
    while (true) {
        const qint64 n = entry.read(chunk, sizeof chunk);
        if (n < 0) {
            throw CommonException(damaged(zipPath));
        }
        if (n == 0) {
            break;
        }
        if (bytes.size() + n > ArchiveHelper::kMaxEntryBytes) {
            throw CommonException(damaged(zipPath));
        }
        bytes.append(chunk, static_cast<qsizetype>(n));
    }
    entry.close();
    if (entry.getZipError() != UNZ_OK) { // CRC mismatch shows here
        throw CommonException(damaged(zipPath));
    }
    return bytes;
}

/// Writes an archive from (name, bytes) pairs into `zipPath` atomically.
void writeArchive(const QString& zipPath, const QList<QPair<QString, QByteArray>>& entries) {
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    {
        QuaZip zip(&buffer);
        if (!zip.open(QuaZip::mdCreate)) {
            throw CommonException(QStringLiteral("Could not create the archive."));
        }
        for (const auto& [name, bytes] : entries) {
            QuaZipFile out(&zip);
            if (!out.open(QIODevice::WriteOnly, QuaZipNewInfo(name)) ||
                out.write(bytes) != bytes.size()) {
                throw CommonException(QStringLiteral("Could not create the archive."));
            }
            out.close();
        }
        zip.close();
        if (zip.getZipError() != ZIP_OK) {
            throw CommonException(QStringLiteral("Could not create the archive."));
        }
    }
    QString error;
    if (!AtomicFile::write(zipPath, buffer.data(), &error)) {
        throw CommonException(
            QStringLiteral("Could not write %1: %2").arg(QDir::toNativeSeparators(zipPath), error));
    }
}

} // namespace

bool ArchiveHelper::isZipArchive(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = f.read(4);
    // Local file header, or the end record of an empty archive.
    return head == QByteArrayLiteral("PK\x03\x04") || head == QByteArrayLiteral("PK\x05\x06");
}

QByteArray ArchiveHelper::readEntry(const QString& zipPath, const QString& entryName) {
    QuaZip zip(zipPath);
    if (!zip.open(QuaZip::mdUnzip)) {
        throw CommonException(damaged(zipPath));
    }
    if (!zip.setCurrentFile(entryName)) {
        throw CommonException(QStringLiteral("The archive %1 holds no %2.")
                                  .arg(QFileInfo(zipPath).fileName(), entryName));
    }
    return readCurrent(zip, zipPath);
}

void ArchiveHelper::writeSingleEntry(const QString& zipPath, const QString& entryName,
                                     const QByteArray& bytes) {
    writeArchive(zipPath, {{entryName, bytes}});
}

bool ArchiveHelper::unzipFile(const QString& zipPath, const QString& destination) {
    if (!QFileInfo::exists(zipPath)) {
        throw CommonException(
            QStringLiteral("The file %1 does not exist.").arg(QDir::toNativeSeparators(zipPath)));
    }
    if (!isZipArchive(zipPath)) {
        return false;
    }
    QuaZip zip(zipPath);
    if (!zip.open(QuaZip::mdUnzip)) {
        throw CommonException(damaged(zipPath));
    }
    QDir dir(destination);
    if (!PrivateFiles::makeFolder(dir.absolutePath())) {
        throw CommonException(QStringLiteral("Could not create the folder %1.")
                                  .arg(QDir::toNativeSeparators(destination)));
    }
    const QString root = QDir::cleanPath(dir.absolutePath()) + QLatin1Char('/');
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        const QString name = zip.getCurrentFileName();
        const QString target = QDir::cleanPath(dir.absoluteFilePath(name));
        if (name.isEmpty() || !target.startsWith(root)) {
            throw CommonException(damaged(zipPath));
        }
        if (name.endsWith(QLatin1Char('/'))) {
            PrivateFiles::makeFolder(target);
            continue;
        }
        const QByteArray bytes = readCurrent(zip, zipPath);
        PrivateFiles::makeFolder(QFileInfo(target).absolutePath());
        QString error;
        if (!AtomicFile::write(target, bytes, &error)) {
            throw CommonException(QStringLiteral("Could not write %1: %2")
                                      .arg(QDir::toNativeSeparators(target), error));
        }
    }
    if (zip.getZipError() != UNZ_OK) {
        throw CommonException(damaged(zipPath));
    }
    return true;
}

void ArchiveHelper::zipFiles(const QStringList& files, const QString& zipPath) {
    QList<QPair<QString, QByteArray>> entries;
    for (const QString& path : files) {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) {
            throw CommonException(QStringLiteral("Could not read %1: %2")
                                      .arg(QDir::toNativeSeparators(path), f.errorString()));
        }
        entries.append({QFileInfo(path).fileName(), f.readAll()});
    }
    writeArchive(zipPath, entries);
}

} // namespace keskor
