#include "core/BackupStorage.h"

#include "core/FileFunctions.h"
#include "core/shared/ArchiveHelper.h"
#include "core/shared/CommonException.h"
#include "core/shared/FileFormats.h"
#include "core/shared/PassFile.h"
#include "core/shared/PrivateFiles.h"
#include "platform/AppPaths.h"
#include "platform/MainThread.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QThreadPool>
#include <algorithm>

namespace keskor {

namespace {

// What a URL query may hold unescaped, besides the unreserved characters that are never
// escaped: '%' itself is escaped, so escapes already in a name survive the round trip.
const QByteArray kQueryAllowed = QByteArrayLiteral("!$&'()*+,/:;=?@");

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

/// Undoes %XX escapes. Qt's own decoder also "decodes" a '%' followed by anything, which turns
/// a plain "100%.pswd" into garbage; here only real escapes are decoded, and a result that is
/// no valid UTF-8 leaves the text as it was.
QString withoutEscapes(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray decoded;
    decoded.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '%' && i + 2 < utf8.size()) {
            const int high = hexValue(utf8[i + 1]);
            const int low = hexValue(utf8[i + 2]);
            if (high >= 0 && low >= 0) {
                decoded.append(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        decoded.append(utf8[i]);
    }
    QStringDecoder utf8Decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString result = utf8Decoder.decode(decoded);
    return utf8Decoder.hasError() ? text : result;
}

bool isSupportedName(const QString& fileName) {
    const QString lower = fileName.toLower();
    return std::any_of(FileFormats::SUPPORTED_EXTENSIONS().cbegin(),
                       FileFormats::SUPPORTED_EXTENSIONS().cend(),
                       [&](const QString& ext) { return lower.endsWith(ext.toLower()); });
}

/// Anything under the name counts as taken, a dangling link or a foreign folder included.
bool isTaken(const QString& path) {
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

/// Compares with digit runs by value and the rest ignoring case: "B_2" < "B_10" < "b_11".
int naturalCompare(const QString& left, const QString& right) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < left.size() && j < right.size()) {
        if (left[i].isDigit() && right[j].isDigit()) {
            qsizetype iEnd = i;
            qsizetype jEnd = j;
            while (iEnd < left.size() && left[iEnd].isDigit()) {
                ++iEnd;
            }
            while (jEnd < right.size() && right[jEnd].isDigit()) {
                ++jEnd;
            }
            // Compare by value without converting, so long digit runs cannot overflow.
            QStringView a = QStringView(left).mid(i, iEnd - i);
            QStringView b = QStringView(right).mid(j, jEnd - j);
            while (a.size() > 1 && a.front() == u'0') {
                a = a.mid(1);
            }
            while (b.size() > 1 && b.front() == u'0') {
                b = b.mid(1);
            }
            if (a.size() != b.size()) {
                return a.size() < b.size() ? -1 : 1;
            }
            if (const int c = a.compare(b); c != 0) {
                return c;
            }
            i = iEnd;
            j = jEnd;
            continue;
        }
        const QChar a = left[i].toCaseFolded();
        const QChar b = right[j].toCaseFolded();
        if (a != b) {
            return a < b ? -1 : 1;
        }
        ++i;
        ++j;
    }
    if (i < left.size() || j < right.size()) {
        return i < left.size() ? 1 : -1;
    }
    return left.compare(right);
}

} // namespace

BackupStorage::BackupStorage(const AppPaths& paths, std::function<int()> backupCount,
                             QThreadPool* pool)
    : m_root(QDir::cleanPath(
          FileFunctions::workingFolder(paths, Location::backupDevice, QString(), false))),
      m_backupCount(std::move(backupCount)), m_pool(pool ? pool : QThreadPool::globalInstance()) {}

int BackupStorage::backupCount() const {
    const int count = m_backupCount ? m_backupCount() : kDefaultBackupCount;
    return std::max(count, 1);
}

QString BackupStorage::backupBaseName(const QString& databaseName) {
    QByteArray encoded = QUrl::toPercentEncoding(databaseName, kQueryAllowed);
    // A colon in the first segment makes a relative reference look like a scheme; RFC 3986
    // lets such a path be written behind "./", which is what we check instead.
    const bool parses =
        !encoded.isEmpty() &&
        (QUrl(QString::fromLatin1(encoded), QUrl::StrictMode).isValid() ||
         QUrl(QStringLiteral("./") + QString::fromLatin1(encoded), QUrl::StrictMode).isValid());
    if (!parses) {
        encoded = QByteArrayLiteral("untitled");
    }
    // The extension belongs to the last segment of the path, which ends where a query begins
    // ('#' is always escaped above, so no fragment can start).
    qsizetype pathEnd = encoded.indexOf('?');
    if (pathEnd < 0) {
        pathEnd = encoded.size();
    }
    const qsizetype segmentStart = encoded.lastIndexOf('/', pathEnd - 1) + 1;
    const qsizetype dot = encoded.lastIndexOf('.', pathEnd - 1);
    // A leading dot names a hidden file rather than starting an extension.
    if (dot > segmentStart && dot < pathEnd - 1) {
        encoded.remove(dot, pathEnd - dot);
    }
    return withoutEscapes(QString::fromLatin1(encoded));
}

QString BackupStorage::backupFileName(const QString& baseName, int index) {
    const QString& ext = FileFormats::DEFAULT_BACKUP_EXTENSION;
    return index <= 0 ? baseName + ext : baseName + u'_' + QString::number(index) + ext;
}

BackupStorage::~BackupStorage() {
    waitForBackups();
}

QString BackupStorage::createBackup(const QString& baseName, const Key256& key,
                                    const PassFile& file) {
    const int count = backupCount();
    // After the queued ones, so the slots fill in the order the backups were asked for.
    waitForBackups();
    return write(baseName, count, key, file);
}

void BackupStorage::startBackup(const QString& baseName, const Key256& key, PassFile file) {
    // The count is read here: the settings belong to the calling thread.
    const int count = backupCount();
    QMutexLocker lock(&m_mutex);
    m_jobs.push_back(Job{baseName, count, key, std::move(file)});
    if (!m_draining) {
        m_draining = true;
        m_pool->start([this] { drain(); });
    }
}

void BackupStorage::drain() {
    for (;;) {
        std::optional<Job> job;
        {
            QMutexLocker lock(&m_mutex);
            if (m_jobs.empty()) {
                m_draining = false;
                m_drained.wakeAll();
                return;
            }
            job.emplace(std::move(m_jobs.front()));
            m_jobs.pop_front();
        }
        try {
            write(job->baseName, job->count, job->key, job->file);
        } catch (const CommonException& e) {
            qWarning().noquote() << "backup failed:" << e.message();
        }
        // The key copy is wiped as it goes.
        job.reset();
    }
}

void BackupStorage::waitForBackups() {
    QMutexLocker lock(&m_mutex);
    while (m_draining) {
        m_drained.wait(&m_mutex);
    }
}

QString BackupStorage::write(const QString& baseName, int count, const Key256& key,
                             const PassFile& file) {
    const QMutexLocker writing(&m_writing);
    if (baseName.isEmpty() || baseName == u"." || baseName == u".." || baseName.contains(u'/') ||
        baseName.contains(QChar(0))) {
        throw CommonException(
            QStringLiteral("\"%1\" cannot be the name of a backup file.").arg(baseName));
    }
    if (!file.hasBody()) {
        throw CommonException(QStringLiteral("The database has no content to back up."));
    }
    if (!PrivateFiles::makeFolder(m_root)) {
        throw CommonException(QStringLiteral("Could not create the backup folder %1.")
                                  .arg(QDir::toNativeSeparators(m_root)));
    }
    const QDir dir(m_root);
    const QString lastSlot = dir.filePath(backupFileName(baseName, count));
    if (QFileInfo(lastSlot).isDir() && !QFileInfo(lastSlot).isSymLink()) {
        throw CommonException(QStringLiteral("Could not delete the oldest backup %1: it is a "
                                             "folder.")
                                  .arg(QDir::toNativeSeparators(lastSlot)));
    }
    // The last slot counts as free: it is given up for the new backup. It is removed only once
    // the new backup is safely written, so a failed write loses nothing.
    QString target;
    for (int index = 0;; ++index) {
        const QString candidate = dir.filePath(backupFileName(baseName, index));
        if (candidate == lastSlot || !isTaken(candidate)) {
            target = candidate;
            break;
        }
    }
    try {
        ArchiveHelper::writeSingleEntry(target, FileFormats::DATABASE_NAME, file.getData(key));
    } catch (const CommonException& e) {
        throw CommonException(QStringLiteral("Could not write the backup %1: %2")
                                  .arg(QDir::toNativeSeparators(target), e.message()));
    }
    if (target != lastSlot && isTaken(lastSlot)) {
        QFile last(lastSlot);
        if (!last.remove()) {
            const QString reason = last.errorString();
            // Undo the new backup, so the folder is as it was before the failed rotation.
            QFile::remove(target);
            throw CommonException(QStringLiteral("Could not delete the oldest backup %1: %2")
                                      .arg(QDir::toNativeSeparators(lastSlot), reason));
        }
    }
    return target;
}

void BackupStorage::list(std::function<void(QList<BackupFileInfo>)> completion) const {
    // The job keeps its own copy of the folder, so it does not depend on this object.
    m_pool->start([folder = m_root, completion = std::move(completion)]() mutable {
        QList<BackupFileInfo> found = backupsIn(folder);
        runOnMain([completion = std::move(completion), found = std::move(found)]() mutable {
            if (completion) {
                completion(std::move(found));
            }
        });
    });
}

QList<BackupFileInfo> BackupStorage::backups() const {
    return backupsIn(m_root);
}

QList<BackupFileInfo> BackupStorage::backupsIn(const QString& folder) {
    QList<BackupFileInfo> found;
    const QDir dir(folder);
    if (!dir.exists()) {
        return found;
    }
    // Files only: sub-folders with a database-like name, and dangling links, are not backups.
    const QFileInfoList entries =
        dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::NoSort);
    for (const QFileInfo& entry : entries) {
        if (!isSupportedName(entry.fileName())) {
            continue;
        }
        BackupFileInfo backup;
        backup.name = withoutEscapes(entry.fileName());
        backup.path = QUrl::fromLocalFile(entry.absoluteFilePath());
        backup.modified = entry.lastModified();
        backup.size = entry.size();
        found.append(std::move(backup));
    }
    sort(found, SortKey::name);
    return found;
}

QString BackupStorage::fileInFolder(const BackupFileInfo& backup) const {
    if (!backup.path.isLocalFile()) {
        return QString();
    }
    const QFileInfo file(backup.path.toLocalFile());
    if (QDir::cleanPath(file.absolutePath()) != m_root) {
        return QString();
    }
    return file.absoluteFilePath();
}

bool BackupStorage::deleteBackup(const BackupFileInfo& backup) {
    const QString path = fileInFolder(backup);
    if (path.isEmpty()) {
        qWarning().noquote() << "backups: refusing to delete a file outside the backup folder";
        return false;
    }
    const QFileInfo info(path);
    if (!info.isFile()) {
        return false;
    }
    return QFile::remove(path);
}

DatabaseInfo BackupStorage::openBackup(const BackupFileInfo& backup) const {
    const QString path = fileInFolder(backup);
    if (path.isEmpty()) {
        throw CommonException(QStringLiteral("%1 is not in the backup folder.")
                                  .arg(backup.path.toDisplayString(QUrl::PreferLocalFile)));
    }
    const QFileInfo file(path);
    if (!file.isFile()) {
        throw CommonException(QStringLiteral("The backup %1 no longer exists.").arg(backup.name));
    }
    if (!isSupportedName(file.fileName())) {
        throw CommonException(QStringLiteral("Unsupported file format"));
    }
    // Database names may hold escapes and are unescaped when the file is looked up; escaping
    // only '%' makes that lookup give back the file name exactly.
    QString name = file.fileName();
    name.replace(u'%', QStringLiteral("%25"));
    return DatabaseInfo{name, m_root, Location::backupDevice, false};
}

void BackupStorage::sort(QList<BackupFileInfo>& backups, SortKey key, Qt::SortOrder order) {
    const auto less = [key](const BackupFileInfo& a, const BackupFileInfo& b) {
        int c = 0;
        switch (key) {
        case SortKey::name:
            break;
        case SortKey::size:
            c = a.size < b.size ? -1 : (a.size > b.size ? 1 : 0);
            break;
        case SortKey::modified:
            c = a.modified < b.modified ? -1 : (a.modified > b.modified ? 1 : 0);
            break;
        }
        if (c == 0) {
            c = naturalCompare(a.name, b.name);
        }
        if (c == 0) {
            c = a.path.toString().compare(b.path.toString());
        }
        return c < 0;
    };
    if (order == Qt::AscendingOrder) {
        std::stable_sort(backups.begin(), backups.end(), less);
    } else {
        std::stable_sort(
            backups.begin(), backups.end(),
            [&less](const BackupFileInfo& a, const BackupFileInfo& b) { return less(b, a); });
    }
}

} // namespace keskor
